#pragma once

#include "CommentLimit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVIOContext;
struct AVFormatContext;
struct AVDictionary;

namespace tunevale
{

// One regular file, read by FFmpeg through I/O that the engine opens itself: the demuxer sees
// this file's bytes and nothing else. A FIFO, device or folder is refused before any read could
// block, and the descriptor checked is the one read, so the path cannot be swapped in between.
// Vorbis comment lists beyond what FFmpeg takes in reasonable time are shown cut (CommentLimit.h).
// The one descriptor serves every reader of the file: open it once per stream.
class FileInput
{
public:
    // nullptr with errorCode set when path is not a readable regular file (EngineCode::FileOpen)
    // or holds more comment lists to cut than any real file (EngineCode::Format).
    static std::unique_ptr<FileInput> open(const std::string& path, int& errorCode);
    // The same over a copy of a descriptor open for reading, read from its start; the descriptor
    // shares its offset with the copy.
    static std::unique_ptr<FileInput> openDescriptor(int fd, int& errorCode);
    ~FileInput();
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;

    AVIOContext* io() const { return m_io; }
    std::uint64_t size() const { return m_size; }
    // The file's own bytes from offset on (fewer at its end, none on a read error); the read
    // position of io() stays where it is.
    std::string readAt(std::uint64_t offset, std::size_t size) const;

    // For AVFormatContext::io_open: refuses every further file or URL that a demuxer asks for.
    static int refuseNestedOpen(AVFormatContext* format, AVIOContext** io, const char* url, int flags,
                                AVDictionary** options);

private:
    FileInput() = default;
    static std::unique_ptr<FileInput> wrap(int fd, int& errorCode);
    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    // Puts the patched bytes into what was just read at m_position.
    void overlayPatches(std::uint8_t* buffer, std::size_t size) const;

    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;     // of the descriptor, which io() reads
    std::vector<BytePatch> m_patches; // by offset
    AVIOContext* m_io = nullptr;
};

} // namespace tunevale
