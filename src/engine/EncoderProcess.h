#pragma once

#include "Engine.h"
#include "PipeTail.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tunevale
{

// A command-line encoder fed through its standard input: first a 44-byte WAV header for the PCM
// format (both size fields 0xFFFFFFFF, the length being unknown), then the PCM itself.
//
// The program is started from an argument vector, never through a shell. A name with a '/' is used
// as given; a bare name is looked for beside the executable, then on PATH.
//
// `lame` reads at most two channels, so for it a source of more channels is mixed down to stereo
// here (the header then describes two channels); other programs receive every channel.
//
// Error codes (EngineCode):
//  - EncoderStart (100): the program was not found or could not be started;
//  - EncoderFailed (101): the program failed: it ended before its input did, exited with a non-zero
//    status, was killed by a signal, or neither read nor ended for 60 s (it is then killed); and
//    a program stopped because the command's cancelled() said so (see stop());
//  - Format (6): the PCM format cannot be described (no channels or no sample rate).
//
// The program's standard output is discarded; of its standard error the last few lines are kept
// (message()), read on a thread of their own so that a chatty program never waits for Tunevale.
//
// The program runs in the command's working folder when it names one. While Tunevale waits on the
// program (for room in the pipe, for its end), the command's cancelled() is asked every 100 ms;
// once it says true, the write under way fails and stop() kills a program that has not ended 2 s
// after its input was closed, so a hung encoder never holds up a stop.
//
// SIGPIPE is ignored process-wide from the first start on, so a dying encoder turns into a failed
// write rather than the death of the caller; the child gets the default disposition back.
class EncoderProcess
{
public:
    // Starts command and writes the WAV header for the PCM format; nullptr with errorCode set on
    // failure, and failureMessage (when given) set to message() of a program that ran and ended.
    static std::unique_ptr<EncoderProcess> start(const EncoderCommand& command, const ChannelInfo& pcmFormat,
                                                 int& errorCode, std::string* failureMessage = nullptr);
    ~EncoderProcess();
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;

    // Writes PCM of the format given at start; false once the program has died.
    bool write(const void* data, std::size_t size, int& errorCode);
    // Closes the program's input, waits for it to end and reaps it; false when the program failed.
    // Cancelled, it waits 2 s at most, then kills the program.
    bool stop(int& errorCode);
    // The last lines (at most 4, 1 KB) that the program wrote to its standard error; complete once
    // stop() has returned.
    std::string message();

private:
    struct Downmix {
        unsigned sourceChannels = 0;
        unsigned bytesPerSample = 2;
    };

    EncoderProcess(pid_t pid, int input, int pipeCapacity, Downmix downmix, std::unique_ptr<PipeTail> errors,
                   std::function<bool()> cancelled);
    bool cancelRequested() const { return m_cancelled && m_cancelled(); }
    bool writeAll(const unsigned char* data, std::size_t size);
    // Waits until the encoder has drained half of a full pipe rather than until it has read one
    // page: waking for every page it reads would cost two task switches per 4 KB. False when the
    // encoder neither read nor ended for the stall limit.
    bool waitForRoom();
    const unsigned char* mixDown(const void* data, std::size_t& size);
    bool waitForExit();

    pid_t m_pid = -1;
    int m_input = -1;
    int m_pipeCapacity;
    bool m_failed = false;
    bool m_stopped = false;
    bool m_stopResult = false;
    Downmix m_downmix;
    std::vector<unsigned char> m_pending; // a partial sample frame held back until the next write
    std::vector<unsigned char> m_mixed;
    std::unique_ptr<PipeTail> m_errors; // none when its pipe could not be made
    std::function<bool()> m_cancelled;
};

} // namespace tunevale
