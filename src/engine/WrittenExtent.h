#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tunevale
{

// How much of a file one thread is writing another may read already: the writer announces each
// new end (every byte before it written), then the final end or that it gave up. Reads wait for
// what they ask to be written; rewrites of bytes already announced exclude reads, so that a
// reader never sees a header half rewritten.
class WrittenExtent
{
public:
    // Writer: bytes [0, end) are written.
    void grow(std::uint64_t end);
    // Writer: held while rewriting bytes already announced.
    std::unique_lock<std::mutex> holdReaders() { return std::unique_lock(m_mutex); }
    // Writer: the file is complete, or will never be.
    void finish();
    void abandon();

    // Reader: up to size bytes at offset of fd once they are written (or 128 KiB of them); 0 at the end of the finished
    // file, -1 when the writer gave up or the read failed.
    long readAt(int fd, std::uint8_t* buffer, std::size_t size, std::uint64_t offset);

private:
    static constexpr std::uint64_t SmallestWait = 128 * 1024;
    static constexpr std::uint64_t NoReader = UINT64_MAX;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_end = 0;
    std::uint64_t m_wanted = NoReader; // the end a waiting reader waits for
    bool m_finished = false;
    bool m_abandoned = false;
};

} // namespace tunevale
