#pragma once

#include "Engine.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunevale
{

class ErrorLog;

enum class JobOutcome { Complete, Cancelled, Error };

// How a job ended, and for an error the reason shown to the user.
struct JobResult {
    JobOutcome outcome = JobOutcome::Complete;
    std::string failure;

    static JobResult error(std::string why) { return {JobOutcome::Error, std::move(why)}; }
};

// What a writer reports to and asks of its run while it converts one job. Called on the thread
// that runs the writer, which may be any worker of the run.
class JobContext
{
public:
    virtual ~JobContext() = default;
    // The percentage of the job done so far.
    virtual void setProgress(float percent) = 0;
    // "Stop" was clicked: the writer ends the job as "Cancelled" after its current chunk.
    virtual bool cancelRequested() const = 0;
    // Every chunk of PCM the writer decoded, in order (format: as the engine delivers it), for the
    // run to measure; called by one thread at a time, the writer's or its decoding thread. A gain is
    // the engine's to apply: the MP3 and OGG encoders are fed inside the engine's read, before this
    // sees the chunk.
    virtual void decodedPcm(const ChannelInfo& format, const void* pcm, std::size_t bytes)
    {
        (void)format, (void)pcm, (void)bytes;
    }
    // A core is idle beside this job: the writer may decode on a thread of its own while it encodes.
    virtual bool decodeAhead() const { return false; }
    // The gain in dB the engine applies to the job's audio (normalising); 0 for none.
    virtual double gainDb() const { return 0; }
};

// Reports position ÷ length × 100 as the job's progress when both counts are usable (a failed
// position, an unknown or zero length report nothing).
void reportProgress(JobContext& context, std::uint64_t position, std::uint64_t length);

// The engine's last error code on this thread, or "unknown" when a call failed without leaving one.
int engineFailureCode(Engine& engine);

// An "Error" result for an engine failure with the engine's text for code, then the detail; when
// log is given the failure is also appended to it.
JobResult engineFailure(int code, const std::string& origfile, ErrorLog* log, const std::string& detail = {});

// Whether a failed read's code says that the source is damaged (cut short or corrupt).
bool sourceDamaged(int code);

// The failure of a decode that found the source damaged (code: see sourceDamaged): how much of
// the stated length was delivered, logged and given as the reason.
JobResult damagedSource(Engine& engine, std::uint32_t stream, int code, const std::string& origfile, ErrorLog& log);

// "12.5 s": a duration as the log and the reasons give it.
std::string secondsText(double seconds);

} // namespace tunevale
