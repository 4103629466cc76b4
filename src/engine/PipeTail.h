#pragma once

#include "LastLines.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tunevale
{

// A pipe whose read end is read on a thread of its own until its writers close it or finish() is
// called, keeping only the last lines. The pipe never fills, so the program writing into it is
// never held up, and a chatty program costs no more than a few lines of memory.
class PipeTail
{
public:
    // Makes the pipe (both ends close-on-exec) and starts reading; nullptr when that fails.
    static std::unique_ptr<PipeTail> start();
    ~PipeTail();
    PipeTail(const PipeTail&) = delete;
    PipeTail& operator=(const PipeTail&) = delete;

    // The end to hand to the writer; close it here once the writer has its own copy.
    int writeEnd() const { return m_writeEnd; }
    void closeWriteEnd();
    // Reads what is already in the pipe, then stops reading: for when the writer has ended (a
    // process that it started may still hold the pipe open). Idempotent.
    void finish();
    // The kept lines; may be called while reading goes on.
    std::string text();

private:
    PipeTail() = default;
    void run();
    // Reads what the pipe holds without waiting; false at its end or on an error.
    bool drain();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    int m_wake = -1; // an eventfd that finish() signals
    std::thread m_reader;
    std::mutex m_mutex;
    LastLines m_lines; // under m_mutex
};

} // namespace tunevale
