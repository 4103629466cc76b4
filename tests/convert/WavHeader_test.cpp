#include "Job.h"
#include "JobContext.h"
#include "TestSupport.h"
#include "WavHeader.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tunevale;

namespace
{

std::uint32_t read32(const std::uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint16_t read16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

} // namespace

TEST(WavHeader, StereoCdQualityFields)
{
    const auto header = makeWavHeader({2, 44100, 16});
    ASSERT_EQ(header.size(), 44u);
    EXPECT_EQ(std::memcmp(header.data(), "RIFF", 4), 0);
    EXPECT_EQ(read32(&header[4]), 0u); // placeholder until the data size is known
    EXPECT_EQ(std::memcmp(&header[8], "WAVEfmt ", 8), 0);
    EXPECT_EQ(read32(&header[16]), 16u);
    EXPECT_EQ(read16(&header[20]), 1u);
    EXPECT_EQ(read16(&header[22]), 2u);
    EXPECT_EQ(read32(&header[24]), 44100u);
    EXPECT_EQ(read32(&header[28]), 176400u);
    EXPECT_EQ(read16(&header[32]), 4u);
    EXPECT_EQ(read16(&header[34]), 16u);
    EXPECT_EQ(std::memcmp(&header[36], "data", 4), 0);
    EXPECT_EQ(read32(&header[40]), 0u);
}

TEST(WavHeader, MonoEightBitAndManyChannels)
{
    const auto mono = makeWavHeader({1, 8000, 8});
    EXPECT_EQ(read16(&mono[22]), 1u);
    EXPECT_EQ(read16(&mono[32]), 1u);
    EXPECT_EQ(read16(&mono[34]), 8u);
    EXPECT_EQ(read32(&mono[28]), 8000u);

    const auto surround = makeWavHeader({6, 48000, 16});
    EXPECT_EQ(read16(&surround[22]), 6u);
    EXPECT_EQ(read16(&surround[32]), 12u);
    EXPECT_EQ(read32(&surround[28]), 576000u);
}

TEST(WavHeader, SizeFieldsAreLittleEndian)
{
    const auto field = wavSizeField(0x12345678);
    EXPECT_EQ(field[0], 0x78);
    EXPECT_EQ(field[3], 0x12);
    EXPECT_EQ(WavMaxDataSize + 36, 0x7FFFFFFFu);
}

TEST(ProgressText, SevenSignificantDigitsWithAPoint)
{
    EXPECT_EQ(progressText(12.5f), "12.5");
    EXPECT_EQ(progressText(100.0f), "100");
    EXPECT_EQ(progressText(0.0f), "0");
    EXPECT_EQ(progressText(37.512344f), "37.51234");
    EXPECT_EQ(progressText(100.0f / 3.0f), "33.33333");
}

namespace
{

class RecordingContext : public JobContext
{
public:
    void setProgress(float percent) override { texts.push_back(progressText(percent)); }
    bool cancelRequested() const override { return false; }
    std::vector<std::string> texts;
};

} // namespace

TEST(ProgressText, ReportedOnlyWithUsableCounts)
{
    RecordingContext context;
    reportProgress(context, 50, 200);
    reportProgress(context, 10, 0);
    reportProgress(context, static_cast<std::uint64_t>(-1), 200);
    reportProgress(context, 100, static_cast<std::uint64_t>(-1));
    reportProgress(context, 1, 3);
    EXPECT_EQ(context.texts, (std::vector<std::string>{"25", "33.33334"}));
}
