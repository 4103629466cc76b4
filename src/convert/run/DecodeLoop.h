#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tunevale
{

// Where one job's decoded PCM goes: the format's encoder, or a file.
class PcmSink
{
public:
    virtual ~PcmSink() = default;
    // Takes the next chunk; a failure to take it ends the job with the result returned.
    virtual std::optional<JobResult> take(const char* pcm, std::size_t bytes) = 0;
    // More about an engine failure met while reading (an encoder's own last words), for the log
    // and the reason. Called once, before the failure is reported.
    virtual std::string failureDetail(int code)
    {
        (void)code;
        return {};
    }
};

// The one decode loop of every writer: reads stream chunk by chunk to its end, hands each chunk
// first to the run (JobContext::decodedPcm) and then to sink, with the run's gain applied by the
// engine to both (JobContext::gainDb), reports progress, and stops after the current chunk when
// Stop is clicked. When the run has a core to spare (JobContext::decodeAhead), the stream is
// decoded on a thread of its own while sink encodes. Ends Complete or Cancelled, or Error for a damaged
// source, a failed read (both logged) or a chunk the sink could not take.
JobResult decodeInto(Engine& engine, EngineHandle stream, JobContext& context, ErrorLog& log,
                     const std::string& origfile, std::size_t chunkBytes, PcmSink& sink);

} // namespace tunevale
