#include "OutputCheck.h"

#include "EngineErrorText.h"

#include <algorithm>

namespace tunevale
{

namespace
{

// More than this share of the audio missing means it was lost. Short files may lose more of their
// share to the encoder's framing: WMA drops up to one frame (2048 samples, under 0.07 s) at the end.
constexpr double AllowedShortfall = 0.01;
constexpr double FramingSeconds = 0.1;

} // namespace

std::optional<JobResult> checkOutput(Engine& engine, EngineHandle source, JobOutcome outcome,
                                     const std::string& outFile, const std::string& origfile, ErrorLog& log)
{
    if (outcome != JobOutcome::Complete)
        return std::nullopt;
    const double delivered = engine.ChannelBytes2Seconds(source, engine.ChannelGetPosition(source, 0));
    const EngineHandle output = engine.StreamCreateFile(outFile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Prescan);
    const std::uint64_t length = output != 0 ? engine.ChannelGetLength(output, 0) : EngineFailure64;
    if (length == EngineFailure64) {
        const int code = engineFailureCode(engine);
        if (output != 0)
            engine.StreamFree(output);
        return engineFailure(EngineCode::OutputUnreadable, origfile, &log,
                             EngineErrorText(code) + " " + std::to_string(code));
    }
    const double written = engine.ChannelBytes2Seconds(output, length);
    engine.StreamFree(output);
    if (delivered - written > std::max(delivered * AllowedShortfall, FramingSeconds))
        return engineFailure(EngineCode::OutputShort, origfile, &log,
                             "it decodes to " + secondsText(written) + " of the " + secondsText(delivered) +
                                 " that went in");
    return std::nullopt;
}

JobResult endJob(Engine& engine, EngineHandle source, JobOutcome outcome, const std::string& outFile,
                 const std::string& origfile, ErrorLog& log, bool check)
{
    std::optional<JobResult> broken;
    if (check)
        broken = checkOutput(engine, source, outcome, outFile, origfile, log);
    engine.ChannelStop(source);
    engine.StreamFree(source);
    return broken ? std::move(*broken) : JobResult{outcome, {}};
}

} // namespace tunevale
