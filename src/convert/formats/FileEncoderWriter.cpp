#include "FileEncoderWriter.h"

#include "DecodeLoop.h"
#include "OutputCheck.h"

namespace tunevale
{

namespace
{

constexpr std::uint32_t InProcessChunkBytes = 0x40000;

// Hands the PCM to the engine's file encoder.
class FileEncoderSink : public PcmSink
{
public:
    FileEncoderSink(Engine& engine, EngineHandle encoder, const std::string& origfile, ErrorLog& log)
        : engine_(engine), encoder_(encoder), origfile_(origfile), log_(log)
    {
    }
    std::optional<JobResult> take(const char* pcm, std::size_t bytes) override
    {
        if (engine_.EncodeFileWrite(encoder_, pcm, static_cast<std::uint32_t>(bytes)))
            return std::nullopt;
        return engineFailure(engineFailureCode(engine_), origfile_, &log_);
    }

private:
    Engine& engine_;
    EngineHandle encoder_;
    const std::string& origfile_;
    ErrorLog& log_;
};

} // namespace

JobResult ConvertWithFileEncoder(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                                 PendingOutputFile& output, const EncodeSetup& setup, SourceTags* tags)
{
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    // Lossless stays lossless: the source's own resolution, never the 16-bit road.
    const std::uint32_t resolution = isLosslessCodec(setup.codec) ? StreamFlag::SourceResolution : 0;
    const EngineHandle stream =
        engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode | resolution);
    if (stream == 0)
        return engineFailure(engineFailureCode(engine), origfile, &log);
    if (tags)
        engine.ChannelGetTags(stream, *tags);

    EngineHandle encoder = 0;
    auto fail = [&](JobResult result) {
        if (encoder != 0)
            engine.EncodeFileClose(encoder);
        engine.ChannelStop(stream);
        engine.StreamFree(stream);
        return result;
    };

    ChannelInfo info;
    if (!engine.ChannelGetInfo(stream, info))
        return fail(engineFailure(engineFailureCode(engine), origfile, &log));
    // Through the pending file's descriptor: no name in the output folder is ever opened.
    encoder = engine.EncodeFileOpen(setup, info, EncodeTarget{output.fd(), {}});
    if (encoder == 0)
        return fail(engineFailure(engineFailureCode(engine), origfile, &log));

    FileEncoderSink sink(engine, encoder, origfile, log);
    JobResult result = decodeInto(engine, stream, context, log, origfile, InProcessChunkBytes, sink);
    if (result.outcome != JobOutcome::Complete)
        return fail(std::move(result));

    // Closing finishes the file and, for lossless codecs, decodes it back and compares.
    const bool closed = engine.EncodeFileClose(encoder);
    encoder = 0;
    if (!closed)
        return fail(engineFailure(engineFailureCode(engine), origfile, &log));
    if (output.size().value_or(0) == 0)
        return fail(JobResult::error("the output file was not written completely"));
    // A verified output decodes to exactly what went in; the others are checked for their length.
    return endJob(engine, stream, JobOutcome::Complete, output.pathInProcess(), origfile, log, !setup.verify);
}

} // namespace tunevale
