#include "Mp3OggWriter.h"

#include "ErrorLog.h"
#include "OutputCheck.h"

#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t ReadBufferSize = 0x40000;

// What the encoder itself said about a failure (its last lines of standard error), or for one
// that could not be started at all, that it was not found.
std::string encoderDetail(Engine& engine, int code, const EncoderCommand& command)
{
    std::string said = engine.EncodeGetMessage();
    if (said.empty() && code == EngineCode::EncoderStart)
        return command.program + " not found";
    return said;
}

} // namespace

JobResult ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                           PendingOutputFile& output, const EncoderCommand& command, SourceTags* tags)
{
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return engineFailure(engineFailureCode(engine), origfile, &log);
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

    std::vector<char> buffer(ReadBufferSize);
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t read = engine.ChannelGetData(stream, buffer.data(), ReadBufferSize);
        if (read <= 0) {
            if (context.cancelRequested())
                return cancelled();
            // A read that fails because the encoder died is an engine error; one that merely
            // delivers nothing ends the job without a log entry when no code was left.
            const int code = engine.ErrorGetCode();
            if (sourceDamaged(code))
                return fail(damagedSource(engine, stream, code, origfile, log));
            if (code > 0) {
                engine.EncodeStop(stream);
                return fail(engineFailure(code, origfile, &log, encoderDetail(engine, code, command)));
            }
            return fail(JobResult::error("the source delivered no audio"));
        }
        const std::uint64_t length = engine.ChannelGetLength(stream, 0);
        reportProgress(context, engine.ChannelGetPosition(stream, 0), length);
        if (context.cancelRequested())
            return cancelled();
    }

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
    if (auto broken = checkOutput(engine, stream, JobOutcome::Complete, output.pathInProcess(), origfile, log))
        return fail(std::move(*broken));
    engine.StreamFree(stream);
    return {JobOutcome::Complete, {}};
}

} // namespace tunevale
