#include "Mp3OggWriter.h"

#include "ErrorLog.h"
#include "NewOutputFile.h"

#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t ReadBufferSize = 0x40000;

// The engine's error code, or "unknown" when a call failed without leaving one.
int failureCode(Engine& engine)
{
    const int code = engine.ErrorGetCode();
    return code > 0 ? code : EngineCode::Unknown;
}

} // namespace

JobOutcome ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                            const std::string& outFile, const EncoderCommand& command)
{
    NewOutputFile output(outFile);
    if (!output.claimable())
        return finishJob(context, JobOutcome::Error);

    engine.SetConfig(EngineConfig::FloatDsp, 0);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0) {
        log.append(failureCode(engine), origfile);
        return finishJob(context, JobOutcome::Error);
    }

    auto fail = [&](int code) {
        engine.EncodeStop(stream);
        engine.StreamFree(stream);
        output.discard();
        if (code != EngineCode::Ok)
            log.append(code, origfile);
        return finishJob(context, JobOutcome::Error);
    };

    if (engine.EncodeStart(stream, command, 0) == 0)
        return fail(failureCode(engine));

    std::vector<char> buffer(ReadBufferSize);
    JobOutcome outcome = JobOutcome::Complete;
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t read = engine.ChannelGetData(stream, buffer.data(), ReadBufferSize);
        if (read <= 0) {
            // A read that fails because the encoder died is an engine error; one that merely
            // delivers nothing ends the job without a log line when no code was left.
            const int code = engine.ErrorGetCode();
            return fail(code > 0 ? code : EngineCode::Ok);
        }
        context.processEvents();
        const std::uint64_t length = engine.ChannelGetLength(stream, 0);
        reportProgress(context, engine.ChannelGetPosition(stream, 0), length);
        if (context.cancelRequested()) {
            outcome = JobOutcome::Cancelled;
            break;
        }
    }

    // Closing the encoder's input lets it finish the file; a failed encoder is an error even after
    // all the audio went in, and so is one that ended without writing the file.
    const bool encoderSucceeded = engine.EncodeStop(stream);
    const int stopCode = encoderSucceeded ? EngineCode::Ok : failureCode(engine);
    engine.StreamFree(stream);
    if (!encoderSucceeded) {
        output.discard();
        log.append(stopCode, origfile);
        return finishJob(context, JobOutcome::Error);
    }
    if (!output.written()) {
        output.discard();
        log.append(EngineCode::Create, origfile);
        return finishJob(context, JobOutcome::Error);
    }
    return finishJob(context, outcome);
}

} // namespace tunevale
