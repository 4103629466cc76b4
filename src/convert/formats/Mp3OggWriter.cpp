#include "Mp3OggWriter.h"

#include "DecodeLoop.h"
#include "ErrorLog.h"
#include "OutputCheck.h"

namespace tunevale
{

namespace
{

constexpr std::uint32_t EncoderChunkBytes = 0x40000;

// What the encoder itself said about a failure (its last lines of standard error), or for one
// that could not be started at all, that it was not found.
std::string encoderDetail(Engine& engine, int code, const EncoderCommand& command)
{
    std::string said = engine.EncodeGetMessage();
    if (said.empty() && code == EngineCode::EncoderStart)
        return command.program + " not found";
    return said;
}

// The engine feeds the encoder program as it reads: the chunks need no more handling here. A
// failed read is most often the encoder's, which is stopped first so that its last words are in.
class EncoderFedSink : public PcmSink
{
public:
    EncoderFedSink(Engine& engine, EngineHandle stream, const EncoderCommand& command)
        : engine_(engine), stream_(stream), command_(command)
    {
    }
    std::optional<JobResult> take(const char*, std::size_t) override { return std::nullopt; }
    std::string failureDetail(int code) override
    {
        engine_.EncodeStop(stream_);
        return encoderDetail(engine_, code, command_);
    }

private:
    Engine& engine_;
    EngineHandle stream_;
    const EncoderCommand& command_;
};

} // namespace

JobResult ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                           PendingOutputFile& output, const EncoderCommand& command, SourceTags* tags)
{
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return engineFailure(engineFailureCode(engine), origfile, &log, engine.ErrorGetMessage());
    if (tags)
        engine.ChannelGetTags(stream, *tags);

    auto fail = [&](JobResult result) {
        engine.EncodeStop(stream);
        engine.StreamFree(stream);
        return result;
    };
    // However the encoder ends after a stop (killed when it hangs), the job was cancelled.
    auto cancelled = [&] { return fail({JobOutcome::Cancelled, {}}); };

    // The program writes the pending file by its name inside the private folder, which it runs in.
    EncoderCommand started = command;
    started.workingFolder = output.privateFolder();
    started.cancelled = [&context] { return context.cancelRequested(); };
    if (engine.EncodeStart(stream, started, 0) == 0) {
        const int code = engineFailureCode(engine);
        return fail(engineFailure(code, origfile, &log, encoderDetail(engine, code, command)));
    }

    EncoderFedSink sink(engine, stream, command);
    const JobResult result = decodeInto(engine, stream, context, log, origfile, EncoderChunkBytes, sink);
    if (result.outcome == JobOutcome::Cancelled)
        return cancelled();
    if (result.outcome == JobOutcome::Error)
        return fail(result);

    // Closing the encoder's input lets it finish the file; a failed encoder is an error even after
    // all the audio went in, and so is one that ended without writing the file.
    const bool encoderSucceeded = engine.EncodeStop(stream);
    const int stopCode = encoderSucceeded ? EngineCode::Ok : engineFailureCode(engine);
    if (!encoderSucceeded && context.cancelRequested())
        return cancelled();
    if (!encoderSucceeded)
        return fail(engineFailure(stopCode, origfile, &log, encoderDetail(engine, stopCode, command)));
    if (output.size().value_or(0) == 0)
        return fail(engineFailure(EngineCode::Create, origfile, &log));
    return endJob(engine, stream, JobOutcome::Complete, output.pathInProcess(), origfile, log);
}

} // namespace tunevale
