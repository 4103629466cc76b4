#include "DecodeLoop.h"

#include <vector>

namespace tunevale
{

namespace
{

// Why a read delivered nothing: Stop (an encoder killed on the way out makes reads fail too), a
// damaged source, an engine failure, or a source that simply had no audio.
JobResult failedRead(Engine& engine, EngineHandle stream, JobContext& context, ErrorLog& log,
                     const std::string& origfile, PcmSink& sink)
{
    if (context.cancelRequested())
        return {JobOutcome::Cancelled, {}};
    const int code = engine.ErrorGetCode();
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
    std::vector<char> buffer(chunkBytes);
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t read =
            engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (read <= 0)
            return failedRead(engine, stream, context, log, origfile, sink);
        const auto bytes = static_cast<std::size_t>(read);
        context.decodedPcm(format, buffer.data(), bytes);
        if (auto refused = sink.take(buffer.data(), bytes))
            return std::move(*refused);
        reportProgress(context, engine.ChannelGetPosition(stream, 0), engine.ChannelGetLength(stream, 0));
        if (context.cancelRequested())
            return {JobOutcome::Cancelled, {}};
    }
    return {JobOutcome::Complete, {}};
}

} // namespace tunevale
