#include "DecodingEngine.h"
#include "DurationProbe.h"
#include "ForwardingEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

class DurationProbeTest : public ::testing::Test
{
protected:
    std::string duration(const std::filesystem::path& file)
    {
        DurationProbe probe(*engine, nullptr, dir / "CheckWMASupport.wma");
        return probe.GetDurationText(file.string());
    }
    test::TempDir dir;
    std::unique_ptr<Engine> engine = test::decodingEngine();
};

TEST_F(DurationProbeTest, MeasuresRealFilesToTheRoundedSecond)
{
    EXPECT_EQ(duration(test::makeTone(dir / "seven.wav", 7)), "00:07");
    EXPECT_EQ(duration(test::makeTone(dir / "four.flac", 245, 8000, 1)), "04:05");
    EXPECT_EQ(duration(test::makeTone(dir / "three.mp3", 180, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "32k"})),
              "03:00");
}

TEST_F(DurationProbeTest, RoundsHalfSecondsToTheEvenNeighbour)
{
    EXPECT_EQ(duration(test::makeTone(dir / "a.wav", 59.5, 8000, 1)), "01:00");
    EXPECT_EQ(duration(test::makeTone(dir / "b.wav", 58.5, 8000, 1)), "00:58");
}

TEST_F(DurationProbeTest, WritesMinutesBeyondTwoDigits)
{
    EXPECT_EQ(duration(test::makeTone(dir / "long.flac", 7503, 8000, 1)), "125:03");
}

TEST_F(DurationProbeTest, GivesErrorForFilesTheEngineCannotOpen)
{
    test::writeFile(dir / "broken.mp3", std::string(4000, 'x'));
    test::writeFile(dir / "empty.flac", "");
    EXPECT_EQ(duration(dir / "broken.mp3"), "Error");
    EXPECT_EQ(duration(dir / "empty.flac"), "Error");
    EXPECT_EQ(duration(dir / "missing.wav"), "Error");
}

// Stands between the probe and the real engine to see and steer the probe's calls.
class SteeredEngine : public ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                  std::uint32_t flags) override
    {
        streamFlags = flags;
        return streamFails ? 0 : ForwardingEngine::StreamCreateFile(path, offset, length, flags);
    }
    EngineHandle MusicLoad(const std::string& path, std::uint64_t offset, std::uint32_t length, std::uint32_t flags,
                           std::uint32_t freq) override
    {
        musicFlags = flags;
        musicFreq = freq;
        return musicHandle ? musicHandle : ForwardingEngine::MusicLoad(path, offset, length, flags, freq);
    }
    std::uint64_t ChannelGetLength(EngineHandle handle, std::uint32_t mode) override
    {
        return length ? *length : ForwardingEngine::ChannelGetLength(handle, mode);
    }
    double ChannelBytes2Seconds(EngineHandle, std::uint64_t bytes) override
    {
        secondsAskedFor = bytes;
        return bytes * 1.0 / (44100 * 4);
    }
    bool StreamFree(EngineHandle handle) override
    {
        freed.push_back(handle);
        return handle == musicHandle || ForwardingEngine::StreamFree(handle);
    }
    bool streamFails = false;
    EngineHandle musicHandle = 0;
    std::optional<std::uint64_t> length;
    std::uint32_t streamFlags = 0, musicFlags = 0, musicFreq = 99;
    std::uint64_t secondsAskedFor = 0;
    std::vector<EngineHandle> freed;
};

TEST_F(DurationProbeTest, OpensAStreamElseTrackerMusicAndFreesIt)
{
    SteeredEngine steered(*engine);
    DurationProbe probe(steered, nullptr, dir / "CheckWMASupport.wma");
    const auto file = test::makeTone(dir / "t.wav", 2).string();
    EXPECT_EQ(probe.GetDurationText(file), "00:02");
    EXPECT_EQ(steered.streamFlags, 132u | 0x80000000u);
    EXPECT_EQ(steered.musicFlags, 0u) << "music is tried only when the stream fails";
    ASSERT_EQ(steered.freed.size(), 1u);

    steered.streamFails = true;
    steered.musicHandle = 0x7777;
    steered.length = 44100 * 4 * 10;
    EXPECT_EQ(probe.GetDurationText(file), "00:10");
    EXPECT_EQ(steered.musicFlags, 516u | 0x80000000u);
    EXPECT_EQ(steered.musicFreq, 0u);
    EXPECT_EQ(steered.freed.back(), 0x7777u);
}

TEST_F(DurationProbeTest, MeasuresLengthsOfFourGibibytesAndMoreInFull)
{
    SteeredEngine steered(*engine);
    steered.streamFails = true;
    steered.musicHandle = 0x7777;
    steered.length = 0x100000000ULL + 44100 * 4 * 5; // 6:45:48 of 16-bit stereo plus 5 seconds
    DurationProbe probe(steered, nullptr, dir / "CheckWMASupport.wma");
    EXPECT_EQ(probe.GetDurationText("/any.mod"), "405:53");
    EXPECT_EQ(steered.secondsAskedFor, *steered.length);
}

TEST_F(DurationProbeTest, GivesErrorWhenTheLengthCannotBeRead)
{
    SteeredEngine steered(*engine);
    steered.streamFails = true;
    steered.musicHandle = 0x7777;
    steered.length = EngineFailure64;
    DurationProbe probe(steered, nullptr, dir / "CheckWMASupport.wma");
    EXPECT_EQ(probe.GetDurationText("/any.mod"), "Error");
    EXPECT_EQ(steered.freed.size(), 1u) << "the channel is released all the same";
}

TEST(MinutesAndSeconds, PadsToTwoDigitsEach)
{
    EXPECT_EQ(minutesAndSeconds(0), "00:00");
    EXPECT_EQ(minutesAndSeconds(7), "00:07");
    EXPECT_EQ(minutesAndSeconds(245), "04:05");
    EXPECT_EQ(minutesAndSeconds(7503), "125:03");
}

} // namespace
} // namespace tunevale
