#include "RawCdSource.h"

#include "RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

std::unique_ptr<RawCdSource> RawCdSource::open(const std::string& path, bool bigEndian, std::int64_t begin,
                                               std::int64_t end, int& errorCode)
{
    const int fd = openRegularFile(path);
    struct stat status {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0)
            ::close(fd);
        errorCode = EngineCode::FileOpen;
        return nullptr;
    }
    const std::int64_t samples = fileSamples(static_cast<std::uint64_t>(status.st_size));
    const std::int64_t last = end < 0 ? samples : std::min(end, samples);
    errorCode = EngineCode::Ok;
    return std::unique_ptr<RawCdSource>(new RawCdSource(fd, bigEndian, std::min(begin, last), last));
}

RawCdSource::RawCdSource(int fd, bool bigEndian, std::int64_t begin, std::int64_t end)
    : m_fd(fd), m_bigEndian(bigEndian), m_begin(begin), m_end(end), m_position(begin)
{
}

RawCdSource::~RawCdSource()
{
    ::close(m_fd);
}

std::size_t RawCdSource::read(std::uint8_t* out, std::size_t size)
{
    const auto frames = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(size / 4), finished() ? 0 : m_end - m_position));
    std::size_t filled = 0;
    while (filled < frames * 4) {
        const ssize_t got = ::pread(m_fd, out + filled, frames * 4 - filled,
                                    static_cast<off_t>(m_position * 4) + static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_failed = true;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    filled -= filled % 4;
    if (m_bigEndian)
        for (std::size_t i = 0; i + 1 < filled; i += 2)
            std::swap(out[i], out[i + 1]);
    m_position += static_cast<std::int64_t>(filled / 4);
    return filled;
}

bool RawCdSource::rewind()
{
    return seekFrame(0);
}

bool RawCdSource::seekFrame(std::uint64_t frame)
{
    if (static_cast<std::int64_t>(frame) > m_end - m_begin)
        return false;
    m_position = m_begin + static_cast<std::int64_t>(frame);
    m_failed = false;
    return true;
}

} // namespace tunevale
