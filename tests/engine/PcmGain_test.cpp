#include "Engine.h"
#include "PcmGain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tunevale
{
namespace
{

std::vector<std::uint8_t> bytesOf(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    return samples;
}

TEST(PcmGain, SixteenBitSamplesRoundToNearestAndClipAtFullScale)
{
    auto pcm = bytesOf({0, 1, 3, -3, 1000, -1000, 20000, -20000, 32767, -32768});
    applyGain(pcm.data(), pcm.size(), 0, 2.0);
    EXPECT_EQ(samplesOf(pcm), (std::vector<std::int16_t>{0, 2, 6, -6, 2000, -2000, 32767, -32768, 32767, -32768}));
    // Halves go to the even neighbour: 3 * 0.5 = 1.5 gives 2, 5 * 0.5 = 2.5 gives 2.
    pcm = bytesOf({3, 5, -3, -5, 32767});
    applyGain(pcm.data(), pcm.size(), 0, 0.5);
    EXPECT_EQ(samplesOf(pcm), (std::vector<std::int16_t>{2, 2, -2, -2, 16384}));
}

TEST(PcmGain, OtherSampleFormats)
{
    // Unsigned 8-bit around 128.
    std::vector<std::uint8_t> eight{128, 138, 118, 250, 5};
    applyGain(eight.data(), eight.size(), StreamFlag::Sample8Bits, 2.0);
    EXPECT_EQ(eight, (std::vector<std::uint8_t>{128, 148, 108, 255, 0}));
    // 24-bit little-endian, three bytes a sample: 0x100000 doubled, -0x400000 doubled reaches the bottom.
    std::vector<std::uint8_t> wide{0x00, 0x00, 0x10, 0x00, 0x00, 0xC0};
    applyGain(wide.data(), wide.size(), StreamFlag::Sample24Bits, 2.0);
    EXPECT_EQ(wide, (std::vector<std::uint8_t>{0x00, 0x00, 0x20, 0x00, 0x00, 0x80}));
    // 32-bit integers clip at the top.
    std::vector<std::int32_t> words{0x40000000, -5};
    applyGain(reinterpret_cast<std::uint8_t*>(words.data()), 8, StreamFlag::Sample32Bits, 4.0);
    EXPECT_EQ(words, (std::vector<std::int32_t>{0x7FFFFFFF, -20}));
    // Float is only scaled.
    std::vector<float> floats{0.75f, -0.25f};
    applyGain(reinterpret_cast<std::uint8_t*>(floats.data()), 8, StreamFlag::SampleFloat, 2.0);
    EXPECT_EQ(floats, (std::vector<float>{1.5f, -0.5f}));
}

} // namespace
} // namespace tunevale
