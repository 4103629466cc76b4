#include "WmaWriter.h"

#include "DecodeLoop.h"
#include "OutputCheck.h"

namespace tunevale
{

namespace
{

constexpr std::uint32_t WmaChunkBytes = 20000;
constexpr std::uint32_t TagFormText = 0;

// Hands the PCM to the engine's WMA encoder.
class WmaEncoderSink : public PcmSink
{
public:
    WmaEncoderSink(Engine& engine, EngineHandle encoder, const std::string& origfile)
        : engine_(engine), encoder_(encoder), origfile_(origfile)
    {
    }
    std::optional<JobResult> take(const char* pcm, std::size_t bytes) override
    {
        if (engine_.WMAEncodeWrite(encoder_, pcm, static_cast<std::uint32_t>(bytes)))
            return std::nullopt;
        return engineFailure(engineFailureCode(engine_), origfile_, nullptr);
    }

private:
    Engine& engine_;
    EngineHandle encoder_;
    const std::string& origfile_;
};

} // namespace

JobResult ConvertToWMA(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                       PendingOutputFile& output, const WmaOptions& options, WmaBitrateListView* bitrateView,
                       SourceTags* tags)
{
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    engine.SetConfig(EngineConfig::WmaUseEngineFiles, 1);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return engineFailure(engineFailureCode(engine), origfile, &log, engine.ErrorGetMessage());
    if (tags)
        engine.ChannelGetTags(stream, *tags);

    EngineHandle encoder = 0;
    auto fail = [&](JobResult result) {
        if (encoder != 0)
            engine.WMAEncodeClose(encoder);
        engine.ChannelStop(stream);
        engine.StreamFree(stream);
        return result;
    };

    ChannelInfo info;
    if (!engine.ChannelGetInfo(stream, info))
        return fail(engineFailure(engineFailureCode(engine), origfile, nullptr));
    const std::int32_t bitrate = GetWMABitRateFromQuality(
        engine, static_cast<int>(info.freq), static_cast<int>(info.chans), options.quality, false, bitrateView);
    // -1 (no list) reaches the encoder as it stands, which refuses it.
    // 8-bit sources are delivered as unsigned 8-bit PCM; the encoder must be told so.
    const std::uint32_t flags = WmaEncodeFlags | (info.flags & StreamFlag::Sample8Bits);
    // Through the private folder's descriptor: no name in the output folder is ever opened.
    encoder = engine.WMAEncodeOpenFile(info.freq, info.chans, flags, static_cast<std::uint32_t>(bitrate),
                                       output.pathInProcess());
    if (encoder == 0)
        return fail(engineFailure(engineFailureCode(engine), origfile, nullptr));

    if (options.setTags)
        for (std::size_t i = 0; i < options.tags.size(); ++i)
            if (!options.tags[i].empty())
                engine.WMAEncodeSetTag(encoder, options.tagNames[i], options.tags[i], TagFormText);
    engine.WMAEncodeSetTag(encoder, "", "", TagFormText);

    WmaEncoderSink sink(engine, encoder, origfile);
    JobResult result = decodeInto(engine, stream, context, log, origfile, WmaChunkBytes, sink);
    if (result.outcome == JobOutcome::Error)
        return fail(std::move(result));
    const JobOutcome outcome = result.outcome;

    // Closing writes the file's end; a close that fails (a full disk) leaves no valid file, and so
    // does a folder removed meanwhile.
    const bool closed = engine.WMAEncodeClose(encoder);
    encoder = 0;
    if (!closed)
        return fail(engineFailure(engineFailureCode(engine), origfile, nullptr));
    if (output.size().value_or(0) == 0)
        return fail(JobResult::error("the output file was not written completely"));
    return endJob(engine, stream, outcome, output.pathInProcess(), origfile, log);
}

} // namespace tunevale
