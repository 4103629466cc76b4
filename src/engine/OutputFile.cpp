#include "OutputFile.h"

#include "Engine.h"
#include "WrittenExtent.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace tunevale
{

namespace
{

constexpr int BufferSize = 256 * 1024;

bool isRegularFile(int fd)
{
    struct stat status {
    };
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Creates or replaces the file at path. O_NONBLOCK keeps a FIFO put in its place from blocking
// the open; anything but a regular file is refused before a byte is written.
int createFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    if (!isRegularFile(fd) || ::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::unique_ptr<OutputFile> OutputFile::open(const EncodeTarget& target, bool readable, int& errorCode)
{
    std::unique_ptr<OutputFile> file(new OutputFile);
    errorCode = EngineCode::Create;
    if (target.fd >= 0) {
        const int access = ::fcntl(target.fd, F_GETFL);
        if (access < 0 || !isRegularFile(target.fd))
            return nullptr;
        if (readable && (access & O_ACCMODE) != O_RDWR) {
            errorCode = EngineCode::IllegalParam;
            return nullptr;
        }
        file->m_fd = target.fd;
    } else {
        file->m_fd = createFile(target.path);
        if (file->m_fd < 0)
            return nullptr;
        file->m_owned = true;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(BufferSize));
    file->m_io = buffer ? avio_alloc_context(buffer, BufferSize, 1, file.get(), nullptr, &OutputFile::writePacket,
                                             &OutputFile::seek)
                        : nullptr;
    if (!file->m_io) {
        av_free(buffer);
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    errorCode = EngineCode::Ok;
    return file;
}

OutputFile::~OutputFile()
{
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_owned)
        ::close(m_fd);
}

int OutputFile::writePacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* file = static_cast<OutputFile*>(opaque);
    std::unique_lock<std::mutex> rewriting;
    if (file->m_extent && file->m_position < file->m_size)
        rewriting = file->m_extent->holdReaders();
    int done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(file->m_fd, buffer + done, static_cast<std::size_t>(size - done),
                                     static_cast<off_t>(file->m_position + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            file->m_failed = true;
            return put < 0 ? AVERROR(errno) : AVERROR(EIO);
        }
        done += static_cast<int>(put);
    }
    file->m_position += size;
    file->m_size = std::max(file->m_size, file->m_position);
    if (file->m_extent) {
        if (rewriting.owns_lock())
            rewriting.unlock();
        file->m_extent->grow(static_cast<std::uint64_t>(file->m_size));
    }
    return size;
}

std::int64_t OutputFile::seek(void* opaque, std::int64_t offset, int whence)
{
    auto* file = static_cast<OutputFile*>(opaque);
    std::int64_t position = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file->m_size;
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position = file->m_position + offset;
        break;
    case SEEK_END:
        position = file->m_size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (position < 0)
        return AVERROR(EINVAL);
    file->m_position = position;
    return position;
}

bool OutputFile::finish()
{
    avio_flush(m_io);
    if (m_io->error < 0)
        m_failed = true;
    if (!m_failed && ::ftruncate(m_fd, static_cast<off_t>(m_size)) != 0)
        m_failed = true;
    return !m_failed;
}

} // namespace tunevale
