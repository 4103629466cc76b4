#include "Gains.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tunevale::test
{
namespace
{

// A measurement of this integrated loudness and peak.
TrackLoudness loudnessOf(double lufs, double peakDb)
{
    TrackLoudness loudness;
    for (int i = 0; i < 20; ++i)
        loudness.momentary.add(lufs);
    loudness.peak = std::pow(10.0, peakDb / 20.0);
    return loudness;
}

TEST(Gains, ReplayGainIsTheDistanceToMinus18Lufs)
{
    const TrackLoudness loud = loudnessOf(-11.45, -0.1);
    ASSERT_NEAR(*loud.integrated(), -11.45, 1e-9);
    EXPECT_NEAR(replayGain(loud), -6.55, 1e-9);
    EXPECT_EQ(replayGainText(replayGain(loud)), "-6.55 dB");
    EXPECT_EQ(replayGainText(replayGain(loudnessOf(-23.05, -10))), "+5.05 dB");
    EXPECT_EQ(replayGainText(-6.524), "-6.52 dB");
    EXPECT_EQ(replayGainText(-0.004), "+0.00 dB");
    EXPECT_EQ(replayGainText(12.0), "+12.00 dB");
    EXPECT_EQ(replayPeakText(0.98852539), "0.988525");
    EXPECT_EQ(replayPeakText(1.2), "1.200000");
    EXPECT_EQ(replayPeakText(0), "0.000000");
}

TEST(Gains, OpusGainIsQ7Dot8RelativeToMinus23Lufs)
{
    EXPECT_EQ(r128Gain(loudnessOf(-23.05, -10)), 13);    // +0.05 dB = 12.8 / 256
    EXPECT_EQ(r128Gain(loudnessOf(-11.45, -1)), -2957);  // -11.55 dB
    EXPECT_EQ(r128Gain(loudnessOf(-69.95, -60)), 12019); // +46.95 dB
}

TEST(Gains, NormalisingGainStopsAtTheCeiling)
{
    // Room enough: the whole way to the target.
    EXPECT_NEAR(normalisingGain(loudnessOf(-23.05, -10)), 5.05, 1e-9);
    // The peak would pass -1 dBTP: only up to it.
    EXPECT_NEAR(normalisingGain(loudnessOf(-23.05, -3)), 2.0, 1e-9);
    // Turning down never needs a limit, even with a peak above full scale.
    EXPECT_NEAR(normalisingGain(loudnessOf(-8.05, 1.5)), -9.95, 1e-9);
    EXPECT_NEAR(normalisingGain(loudnessOf(-8.05, 1.5), -16, -2), -7.95, 1e-9);
    EXPECT_NEAR(normalisingGain(loudnessOf(-30.05, -20), -23), 7.05, 1e-9);
}

TEST(Gains, AudioWithoutLoudnessKeepsItsLevel)
{
    // Silence, or a blip too short for a block: every gain is 0 dB, even with a loud peak.
    TrackLoudness blip;
    blip.peak = 1.0;
    EXPECT_EQ(replayGain(blip), 0.0);
    EXPECT_EQ(replayGainText(replayGain(blip)), "+0.00 dB");
    EXPECT_EQ(r128Gain(blip), 0);
    EXPECT_EQ(normalisingGain(blip), 0.0);
    EXPECT_EQ(normalisingGain(TrackLoudness{}), 0.0);
}

} // namespace
} // namespace tunevale::test
