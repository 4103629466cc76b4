#include "FileInput.h"

#include "Engine.h"
#include "RegularFile.h"

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

int FileInput::readPacket(void* opaque, std::uint8_t* buffer, int size)
{
    const auto* input = static_cast<const FileInput*>(opaque);
    for (;;) {
        const ssize_t got = ::read(input->m_fd, buffer, static_cast<std::size_t>(size));
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

std::int64_t FileInput::seek(void* opaque, std::int64_t offset, int whence)
{
    const auto* input = static_cast<const FileInput*>(opaque);
    if (whence & AVSEEK_SIZE)
        return static_cast<std::int64_t>(input->m_size);
    const off_t position = ::lseek(input->m_fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
}

int FileInput::refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

} // namespace tunevale
