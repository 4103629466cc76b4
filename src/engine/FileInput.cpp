#include "FileInput.h"

#include "Engine.h"
#include "RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

constexpr int BufferSize = 64 * 1024;

} // namespace

std::unique_ptr<FileInput> FileInput::open(const std::string& path, int& errorCode)
{
    return wrap(openRegularFile(path), errorCode);
}

std::unique_ptr<FileInput> FileInput::openDescriptor(int fd, int& errorCode)
{
    const int copy = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (copy >= 0 && ::lseek(copy, 0, SEEK_SET) != 0) {
        ::close(copy);
        return wrap(-1, errorCode);
    }
    return wrap(copy, errorCode);
}

std::unique_ptr<FileInput> FileInput::wrap(int fd, int& errorCode)
{
    errorCode = EngineCode::FileOpen;
    std::unique_ptr<FileInput> input(new FileInput);
    input->m_fd = fd;
    struct stat status {
    };
    if (input->m_fd < 0 || ::fstat(input->m_fd, &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    input->m_size = static_cast<std::uint64_t>(status.st_size);
    auto patches = commentLimitPatches(input->m_fd, input->m_size);
    if (!patches) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    input->m_patches = std::move(*patches);

    auto* buffer = static_cast<unsigned char*>(av_malloc(BufferSize));
    if (!buffer) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    input->m_io =
        avio_alloc_context(buffer, BufferSize, 0, input.get(), &FileInput::readPacket, nullptr, &FileInput::seek);
    if (!input->m_io) {
        av_free(buffer);
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    errorCode = EngineCode::Ok;
    return input;
}

FileInput::~FileInput()
{
    if (m_io) {
        // The context may have replaced its buffer; the one it holds now is the one to free.
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string FileInput::readAt(std::uint64_t offset, std::size_t size) const
{
    std::string bytes(size, '\0');
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::pread(m_fd, bytes.data() + filled, size - filled, static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {};
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

int FileInput::readPacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* input = static_cast<FileInput*>(opaque);
    for (;;) {
        const ssize_t got = ::read(input->m_fd, buffer, static_cast<std::size_t>(size));
        if (got > 0) {
            input->overlayPatches(buffer, static_cast<std::size_t>(got));
            input->m_position += static_cast<std::uint64_t>(got);
            return static_cast<int>(got);
        }
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

void FileInput::overlayPatches(std::uint8_t* buffer, std::size_t size) const
{
    const std::uint64_t start = m_position;
    const std::uint64_t end = start + size;
    for (const BytePatch& patch : m_patches) {
        const std::uint64_t patchEnd = patch.offset + patch.bytes.size();
        if (patch.offset >= end)
            break;
        if (patchEnd <= start)
            continue;
        const std::uint64_t from = std::max(start, patch.offset);
        const std::uint64_t to = std::min(end, patchEnd);
        std::memcpy(buffer + (from - start), patch.bytes.data() + (from - patch.offset), to - from);
    }
}

std::int64_t FileInput::seek(void* opaque, std::int64_t offset, int whence)
{
    auto* input = static_cast<FileInput*>(opaque);
    if (whence & AVSEEK_SIZE)
        return static_cast<std::int64_t>(input->m_size);
    const off_t position = ::lseek(input->m_fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    if (position < 0)
        return AVERROR(errno);
    input->m_position = static_cast<std::uint64_t>(position);
    return static_cast<std::int64_t>(position);
}

int FileInput::refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

} // namespace tunevale
