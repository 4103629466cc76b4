#include "DecodeLoop.h"

#include "DecodeAhead.h"

#include <memory>

namespace tunevale
{

namespace
{

// Why a read delivered nothing: Stop (an encoder killed on the way out makes reads fail too), a
// damaged source, an engine failure, or a source that simply had no audio.
JobResult failedRead(Engine& engine, EngineHandle stream, int code, JobContext& context, ErrorLog& log,
                     const std::string& origfile, PcmSink& sink)
{
    if (context.cancelRequested())
        return {JobOutcome::Cancelled, {}};
    if (sourceDamaged(code))
        return damagedSource(engine, stream, code, origfile, log);
    if (code > 0)
        return engineFailure(code, origfile, &log, sink.failureDetail(code));
    return JobResult::error("the source delivered no audio");
}

} // namespace

JobResult decodeInto(Engine& engine, EngineHandle stream, JobContext& context, ErrorLog& log,
                     const std::string& origfile, std::size_t chunkBytes, PcmSink& sink)
{
    ChannelInfo format;
    if (!engine.ChannelGetInfo(stream, format))
        return engineFailure(engineFailureCode(engine), origfile, &log);
    if (const double gain = context.gainDb();
        gain != 0 && !engine.ChannelSetAttribute(stream, ChannelAttribGain, static_cast<float>(gain)))
        return engineFailure(engineFailureCode(engine), origfile, &log, "the normalising gain was refused");

    // Decoding ahead ends before the stream is looked at again (a damaged source's position).
    auto ahead =
        context.decodeAhead() ? std::make_unique<DecodeAhead>(engine, stream, context, format, chunkBytes) : nullptr;
    DecodedChunk own;
    own.pcm.resize(ahead ? 0 : chunkBytes);
    for (;;) {
        if (!ahead)
            readChunk(engine, stream, context, format, own);
        const DecodedChunk& chunk = ahead ? ahead->next() : own;
        if (chunk.ended)
            return {JobOutcome::Complete, {}};
        if (chunk.failed) {
            const int code = chunk.code;
            ahead.reset();
            return failedRead(engine, stream, code, context, log, origfile, sink);
        }
        if (auto refused = sink.take(chunk.pcm.data(), chunk.bytes))
            return std::move(*refused);
        reportProgress(context, chunk.position, chunk.length);
        if (context.cancelRequested())
            return {JobOutcome::Cancelled, {}};
    }
}

} // namespace tunevale
