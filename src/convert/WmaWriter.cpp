#include "WmaWriter.h"

#include "NewOutputFile.h"

#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t ReadBufferSize = 20000;
constexpr std::uint32_t TagFormText = 0;

} // namespace

JobOutcome ConvertToWMA(Engine& engine, JobContext& context, const std::string& origfile, const std::string& outFile,
                        const WmaOptions& options)
{
    NewOutputFile output(outFile);
    if (!output.claimable())
        return finishJob(context, JobOutcome::Error);

    engine.SetConfig(EngineConfig::FloatDsp, 0);
    engine.SetConfig(EngineConfig::WmaUseEngineFiles, 1);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return finishJob(context, JobOutcome::Error);

    EngineHandle encoder = 0;
    auto fail = [&] {
        if (encoder != 0)
            engine.WMAEncodeClose(encoder);
        engine.ChannelStop(stream);
        engine.StreamFree(stream);
        output.discard();
        return finishJob(context, JobOutcome::Error);
    };

    ChannelInfo info;
    if (!engine.ChannelGetInfo(stream, info))
        return fail();
    const std::int32_t bitrate = GetWMABitRateFromQuality(
        engine, static_cast<int>(info.freq), static_cast<int>(info.chans), options.quality, false, options.bitrateView);
    // -1 (no list) reaches the encoder as it stands, which refuses it.
    // 8-bit sources are delivered as unsigned 8-bit PCM; the encoder must be told so.
    const std::uint32_t flags = WmaEncodeFlags | (info.flags & StreamFlag::Sample8Bits);
    encoder = engine.WMAEncodeOpenFile(info.freq, info.chans, flags, static_cast<std::uint32_t>(bitrate), outFile);
    if (encoder == 0)
        return fail();

    if (options.setTags)
        for (std::size_t i = 0; i < options.tags.size(); ++i)
            if (!options.tags[i].empty())
                engine.WMAEncodeSetTag(encoder, options.tagNames[i], options.tags[i], TagFormText);
    engine.WMAEncodeSetTag(encoder, "", "", TagFormText);

    std::vector<char> buffer(ReadBufferSize);
    JobOutcome outcome = JobOutcome::Complete;
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t read = engine.ChannelGetData(stream, buffer.data(), ReadBufferSize);
        if (read <= 0)
            return fail();
        if (!engine.WMAEncodeWrite(encoder, buffer.data(), static_cast<std::uint32_t>(read)))
            return fail();
        context.processEvents();
        const std::uint64_t length = engine.ChannelGetLength(stream, 0);
        reportProgress(context, engine.ChannelGetPosition(stream, 0), length);
        context.processEvents();
        if (context.cancelRequested()) {
            outcome = JobOutcome::Cancelled;
            break;
        }
    }

    // Closing writes the file's end; a close that fails (a full disk) leaves no valid file.
    const bool closed = engine.WMAEncodeClose(encoder);
    encoder = 0;
    if (!closed)
        return fail();
    engine.ChannelStop(stream);
    engine.StreamFree(stream);
    return finishJob(context, outcome);
}

} // namespace tunevale
