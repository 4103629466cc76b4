#include "ConversionRig.h"
#include "DecodeLoop.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// Keeps what it is given; refuses the chunk after refuseAfter of them, as a full disk would.
class KeepingSink : public PcmSink
{
public:
    std::optional<JobResult> take(const char* pcm, std::size_t bytes) override
    {
        if (refuseAfter > 0 && chunks == refuseAfter)
            return JobResult::error("no space left");
        kept.append(pcm, bytes);
        ++chunks;
        return std::nullopt;
    }
    std::string kept;
    std::size_t chunks = 0;
    std::size_t refuseAfter = 0;
};

// A job's context that keeps what the run's meter would see, and on which threads.
class MeteringContext : public PlainContext
{
public:
    explicit MeteringContext(bool ahead) : m_ahead(ahead) {}
    bool decodeAhead() const override { return m_ahead; }
    void decodedPcm(const ChannelInfo&, const void* pcm, std::size_t bytes) override
    {
        metered.append(static_cast<const char*>(pcm), bytes);
        threads.insert(std::this_thread::get_id());
    }
    std::string metered;
    std::set<std::thread::id> threads;

private:
    bool m_ahead;
};

constexpr std::size_t SmallChunk = 16 * 1024;

JobResult decode(ConversionRig& rig, const std::filesystem::path& source, MeteringContext& context, KeepingSink& sink)
{
    const EngineHandle stream =
        rig.engine->StreamCreateFile(source.string(), 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    EXPECT_NE(stream, 0u);
    JobResult result = decodeInto(*rig.engine, stream, context, rig.log, source.string(), SmallChunk, sink);
    rig.engine->StreamFree(stream);
    return result;
}

} // namespace

TEST(DecodeAhead, TheWriterAndTheMeterGetWhatTheyGetWithoutIt)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "tone.flac", 3.0);
    MeteringContext inlineContext(false), aheadContext(true);
    KeepingSink inlineSink, aheadSink;
    EXPECT_EQ(decode(rig, source, inlineContext, inlineSink).outcome, JobOutcome::Complete);
    EXPECT_EQ(decode(rig, source, aheadContext, aheadSink).outcome, JobOutcome::Complete);

    EXPECT_EQ(inlineSink.kept.size(), 3u * 44100 * 4);
    EXPECT_TRUE(aheadSink.kept == inlineSink.kept) << "the same PCM in the same order";
    EXPECT_TRUE(aheadContext.metered == aheadSink.kept);
    EXPECT_EQ(aheadContext.progress, inlineContext.progress);
    ASSERT_EQ(aheadContext.threads.size(), 1u);
    EXPECT_NE(*aheadContext.threads.begin(), std::this_thread::get_id()) << "decoded on a thread of its own";
}

TEST(DecodeAhead, ADamagedSourceEndsAsItDoesWithoutIt)
{
    ConversionRig rig;
    const auto whole = makeTone(rig.dir / "whole.flac", 4.0);
    const auto cut = rig.dir / "in" / "cut.flac";
    writeFile(cut, readFile(whole).substr(0, std::filesystem::file_size(whole) / 2));
    MeteringContext inlineContext(false), aheadContext(true);
    KeepingSink inlineSink, aheadSink;
    const JobResult inlineResult = decode(rig, cut, inlineContext, inlineSink);
    const JobResult aheadResult = decode(rig, cut, aheadContext, aheadSink);
    EXPECT_EQ(inlineResult.outcome, JobOutcome::Error);
    EXPECT_EQ(aheadResult.outcome, JobOutcome::Error);
    EXPECT_EQ(aheadResult.failure, inlineResult.failure);
    EXPECT_NE(aheadResult.failure.find("decoded "), std::string::npos) << aheadResult.failure;
    EXPECT_TRUE(aheadSink.kept == inlineSink.kept);
}

TEST(DecodeAhead, ARefusedChunkOrStopEndsTheDecodingSoon)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "long.flac", 30.0);
    {
        MeteringContext context(true);
        KeepingSink sink;
        sink.refuseAfter = 2;
        const JobResult result = decode(rig, source, context, sink);
        EXPECT_EQ(result.outcome, JobOutcome::Error);
        EXPECT_EQ(result.failure, "no space left");
        EXPECT_EQ(sink.chunks, 2u);
        // No further than the few chunks it may hold ahead of the writer.
        EXPECT_LE(context.metered.size(), 8 * SmallChunk);
    }
    {
        MeteringContext context(true);
        context.stopAfter = 3;
        KeepingSink sink;
        EXPECT_EQ(decode(rig, source, context, sink).outcome, JobOutcome::Cancelled);
        EXPECT_EQ(sink.chunks, 3u);
        EXPECT_LE(context.metered.size(), 9 * SmallChunk);
    }
}
