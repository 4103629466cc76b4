#include "ConversionRig.h"
#include "ForwardingEngine.h"
#include "WavWriter.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::uint32_t field32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::uint16_t field16(const std::string& bytes, std::size_t at)
{
    std::uint16_t value = 0;
    std::memcpy(&value, bytes.data() + at, 2);
    return value;
}

// The samples of a file as ffmpeg decodes them, in the given raw format.
std::string decodedSamples(const std::filesystem::path& file, const std::string& rawFormat, const TempDir& dir)
{
    const auto raw = dir / "decoded.raw";
    ffmpeg({"-i", file.string(), "-f", rawFormat, raw.string()});
    return readFile(raw);
}

void expectValidSizes(const std::string& bytes)
{
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(field32(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(field32(bytes, 4), bytes.size() - 8);
}

} // namespace

TEST(ConvertToWAV, StereoSixteenBitIsBitExactWithItsHeader)
{
    ConversionRig rig;
    // FLAC and WAV sources of 16 bits pass without any change of their samples.
    for (const std::string name : {"tone.flac", "tone.wav"}) {
        const auto source = makeTone(rig.dir / "in" / name, 2.5, 44100, 2, {"-sample_fmt", "s16"});
        const auto out = rig.out(name + ".out.wav");
        std::filesystem::create_directories(out.parent_path());
        PlainContext context;
        ASSERT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Complete);
        EXPECT_GT(context.progress.size(), 2u); // progress numbers before the final word

        const std::string bytes = readFile(out);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(field16(bytes, 22), 2u);
        EXPECT_EQ(field32(bytes, 24), 44100u);
        EXPECT_EQ(field32(bytes, 28), 176400u);
        EXPECT_EQ(field16(bytes, 32), 4u);
        EXPECT_EQ(field16(bytes, 34), 16u);
        expectValidSizes(bytes);
        EXPECT_EQ(bytes.size() - 44, 2.5 * 44100 * 4);
        EXPECT_TRUE(bytes.substr(44) == decodedSamples(source, "s16le", rig.dir)) << name;
        expectAudio(out, "pcm_s16le", 44100, 2, 2.5, 0.05);
    }
}

TEST(ConvertToWAV, MonoEightBitStaysEightBit)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "u8.wav", 1.0, 8000, 1, {"-c:a", "pcm_u8"});
    const auto out = rig.dir / "u8.out.wav";
    PlainContext context;
    ASSERT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Complete);
    const std::string bytes = readFile(out);
    EXPECT_EQ(field16(bytes, 22), 1u);
    EXPECT_EQ(field16(bytes, 34), 8u);
    EXPECT_EQ(field16(bytes, 32), 1u);
    EXPECT_EQ(field32(bytes, 28), 8000u);
    expectValidSizes(bytes);
    EXPECT_TRUE(bytes.substr(44) == decodedSamples(source, "u8", rig.dir));
}

TEST(ConvertToWAV, SourceWithoutSamplesGivesAnEmptyValidFile)
{
    ConversionRig rig;
    const auto source = rig.dir / "in" / "empty.wav";
    ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "0", "-c:a", "pcm_s16le", source.string()});
    const auto out = rig.dir / "empty.out.wav";
    PlainContext context;
    ASSERT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Complete);
    const std::string bytes = readFile(out);
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(field32(bytes, 4), 36u);
    EXPECT_EQ(field32(bytes, 40), 0u);
}

TEST(ConvertToWAV, MoreThanTwoChannelsKeepTheirTrueCount)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "six.flac", 1.5, 48000, 6);
    const auto out = rig.dir / "six.wav";
    PlainContext context;
    ASSERT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Complete);
    const std::string bytes = readFile(out);
    EXPECT_EQ(field16(bytes, 22), 6u);
    EXPECT_EQ(field16(bytes, 32), 12u);
    expectValidSizes(bytes);
    expectAudio(out, "pcm_s16le", 48000, 6, 1.5, 0.05);
    EXPECT_TRUE(bytes.substr(44) == decodedSamples(source, "s16le", rig.dir));
}

TEST(ConvertToWAV, StopEndsCancelledAndLeavesNothingBehind)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "long.flac", 10.0);
    const auto out = rig.dir / "long.wav";
    PlainContext context;
    context.stopAfter = 20; // 20 chunks of 20,000 bytes
    ASSERT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Cancelled);
    EXPECT_EQ(context.reports, 20);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(privateFolders(rig.dir.path()).empty());
}

TEST(ConvertToWAV, FailuresEndInErrorAndLeaveNothingBehind)
{
    ConversionRig rig;
    const auto good = makeTone(rig.dir / "in" / "good.flac", 1.0);

    // A damaged source and a source removed after it was listed.
    const auto damaged = rig.dir / "in" / "damaged.flac";
    writeFile(damaged, readFile(good).substr(0, 30));
    for (const auto& source : {damaged, rig.dir / "in" / "gone.flac"}) {
        PlainContext context;
        const auto out = rig.dir / (source.stem().string() + ".wav");
        EXPECT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), out.string()), JobOutcome::Error) << source;
        EXPECT_FALSE(std::filesystem::exists(out));
    }

    // An output folder that cannot be written.
    const auto locked = rig.dir / "locked";
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) {
        PlainContext context;
        EXPECT_EQ(runWAV(*rig.engine, context, rig.log, good.string(), (locked / "x.wav").string()), JobOutcome::Error);
        EXPECT_FALSE(std::filesystem::exists(locked / "x.wav"));
    }
    PlainContext emptyName;
    EXPECT_EQ(runWAV(*rig.engine, emptyName, rig.log, good.string(), ""), JobOutcome::Error);

    // The output's folder removed during the job: no file, so no success.
    PendingOutputFile vanishing = pendingFor(rig.dir / "gone" / "t.wav");
    ASSERT_TRUE(vanishing.valid());
    FolderRemovingContext removing(rig.dir / "gone");
    EXPECT_EQ(ConvertToWAV(*rig.engine, removing, rig.log, good.string(), vanishing).outcome, JobOutcome::Error);
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "gone"));

    // A missing output folder is made, every level of it.
    PlainContext missingFolder;
    EXPECT_EQ(
        runWAV(*rig.engine, missingFolder, rig.log, good.string(), (rig.dir / "no" / "deeper" / "x.wav").string()),
        JobOutcome::Complete);
    expectAudio(rig.dir / "no" / "deeper" / "x.wav", "pcm_s16le", 44100, 2, 1.0, 0.01);
}

namespace
{

// Makes the engine's reads fail after a number of good ones.
class FailingReads : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) override
    {
        if (goodReads-- <= 0)
            return -1;
        return ForwardingEngine::ChannelGetData(handle, buffer, length);
    }
    int goodReads = 3;
};

} // namespace

TEST(ConvertToWAV, ReadFailureMidwayRemovesThePartialFile)
{
    ConversionRig rig;
    const auto source = makeTone(rig.dir / "in" / "t.flac", 3.0);
    FailingReads engine(*rig.engine);
    PlainContext context;
    const auto out = rig.dir / "t.wav";
    EXPECT_EQ(runWAV(engine, context, rig.log, source.string(), out.string()), JobOutcome::Error);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ConvertToWAV, FullDiskEndsInErrorWithoutAPartialFile)
{
    ConversionRig rig;
    const ScratchMount mount(rig.dir / "small", "300k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const auto& small = mount.path();

    const auto source = makeTone(rig.dir / "in" / "big.flac", 5.0); // 882,000 bytes of samples
    PlainContext context;
    EXPECT_EQ(runWAV(*rig.engine, context, rig.log, source.string(), (small / "big.wav").string()), JobOutcome::Error);
    EXPECT_FALSE(std::filesystem::exists(small / "big.wav"));
    // The space is free again for the next job.
    const auto shortSource = makeTone(rig.dir / "in" / "short.flac", 0.5);
    PlainContext next;
    EXPECT_EQ(runWAV(*rig.engine, next, rig.log, shortSource.string(), (small / "short.wav").string()),
              JobOutcome::Complete);
}
