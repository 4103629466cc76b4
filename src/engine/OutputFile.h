#pragma once

#include "OutputEncoding.h"

#include <cstdint>
#include <memory>

struct AVIOContext;

namespace tunevale
{

class WrittenExtent;

// The file an encoder writes, as FFmpeg output I/O: a descriptor given by the caller (kept open)
// or a regular file created at the given path. Writes go to positions of its own (pwrite), so
// muxers may seek back to finish their headers whatever else moves the descriptor's offset.
class OutputFile
{
public:
    // nullptr with errorCode set: Create when the path cannot be created or the target is no
    // regular file, IllegalParam when readable is asked of a descriptor open for writing only.
    static std::unique_ptr<OutputFile> open(const EncodeTarget& target, bool readable, int& errorCode);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    AVIOContext* io() const { return m_io; }
    int descriptor() const { return m_fd; }
    // From now on every write is announced to extent, which must outlive the file's writes.
    void announceTo(WrittenExtent& extent) { m_extent = &extent; }
    // Flushes what FFmpeg buffers and cuts the file after its last byte; false when any write failed.
    bool finish();

private:
    OutputFile() = default;
    static int writePacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    int m_fd = -1;
    bool m_owned = false;
    std::int64_t m_position = 0;
    std::int64_t m_size = 0;
    bool m_failed = false;
    AVIOContext* m_io = nullptr;
    WrittenExtent* m_extent = nullptr;
};

} // namespace tunevale
