#include "LoudnessMeter.h"
#include "SignalSupport.h"
#include "TrackLoudness.h"

#include <gtest/gtest.h>

namespace tunevale::test
{
namespace
{

TrackLoudness measured(const std::vector<Tone>& tones, PeakKind peakKind = PeakKind::True)
{
    LoudnessMeter meter({22050, 2, SampleType::Int16}, peakKind);
    const auto pcm = toPcm(toneSamples(tones, 22050, 2), SampleType::Int16);
    meter.add(pcm.data(), pcm.size());
    return meter.result();
}

TEST(TrackLoudness, StoredTextReadsBackAsTheSameMeasurement)
{
    for (const auto peakKind : {PeakKind::True, PeakKind::Sample}) {
        const TrackLoudness track = measured({{8.0, -14.0}, {5.0, -33.0, 250}, {2.0, -80.0}}, peakKind);
        const std::string text = track.serialise();
        const auto back = TrackLoudness::parse(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, track);
        EXPECT_EQ(back->integrated(), track.integrated());
        // Compact: only the bins that hold blocks are written.
        EXPECT_LT(text.size(), 600u) << text;
    }
    // Silence keeps no blocks at all.
    const TrackLoudness silent;
    EXPECT_EQ(silent.serialise(), "tl1 true 0 m s");
    EXPECT_EQ(TrackLoudness::parse(silent.serialise()), silent);
}

TEST(TrackLoudness, DamagedStoredTextsAreRefused)
{
    const std::string good = measured({{5.0, -20.0}}).serialise();
    ASSERT_TRUE(TrackLoudness::parse(good));
    ASSERT_TRUE(TrackLoudness::parse("tl1 true 0.5 m 0:2:2.01e-7 s 999:1:1e9"));
    for (const std::string& bad :
         {std::string(), std::string("tl2") + good.substr(3), good.substr(0, good.find(" s")),
          std::string("tl1 loud 0.5 m s"), std::string("tl1 true -0.5 m s"), std::string("tl1 true nan m s"),
          std::string("tl1 true 0.5 m 1000:3:1e-6 s"), std::string("tl1 true 0.5 m -1:3:1e-6 s"),
          std::string("tl1 true 0.5 m 12:x:1 s"), std::string("tl1 true 0.5 m 12:3 s"),
          std::string("tl1 true 0.5 m 0:0:0 s"),
          // bin 0 holds blocks from -70 to -69.9 LUFS, so 1e-6 each, not 1e-3
          std::string("tl1 true 0.5 m 0:2:2e-3 s"), std::string("tl1 true 0.5 m 0:2:inf s"),
          std::string("tl1 true 0.5 m 0:2:2e-7 s s"), std::string("tl1 true 0.5 m  0:2:2e-7 s"),
          std::string("tl1 true 0.5 m 0:99999999999:1 s"), good + " ", good + " 7"})
        EXPECT_FALSE(TrackLoudness::parse(bad)) << bad;
}

TEST(TrackLoudness, AlbumIsRecomputedFromStoredTracksWhenOneJoins)
{
    const TrackLoudness first = measured({{20.0, -12.0}});
    const TrackLoudness second = measured({{30.0, -28.0, 400}});
    const TrackLoudness joining = measured({{10.0, -18.0, 3000}, {4.0, -40.0}});
    const std::vector<TrackLoudness> live{first, second, joining};
    const TrackLoudness album = combine(live);

    // A later run has only the stored texts of the first two and measures the new one.
    const std::vector<TrackLoudness> later{*TrackLoudness::parse(first.serialise()),
                                           *TrackLoudness::parse(second.serialise()), joining};
    EXPECT_EQ(combine(later), album);
    EXPECT_EQ(album.peak, first.peak);
    EXPECT_EQ(album.momentary.count(), first.momentary.count() + second.momentary.count() + joining.momentary.count());
    EXPECT_FALSE(combine(std::vector<TrackLoudness>{}).integrated());
}

// A normalised output measures as its source's measurement moved by the gain: the same audio at
// -9 dB, measured, against the stored measurement amplified.
TEST(TrackLoudness, AmplifiedMeasuresAsTheAudioAtThatGain)
{
    const std::vector<Tone> tones{{12.0, -12.0}, {8.0, -30.0, 400}, {6.0, -20.0, 3000}};
    const TrackLoudness source = measured(tones);
    std::vector<Tone> quieter = tones;
    for (Tone& tone : quieter)
        tone.peakDbfs -= 9.0;
    const TrackLoudness output = measured(quieter);
    const TrackLoudness moved = amplified(source, -9.0);
    ASSERT_TRUE(moved.integrated() && output.integrated());
    EXPECT_NEAR(*moved.integrated(), *output.integrated(), 0.01);
    EXPECT_NEAR(*moved.integrated(), *source.integrated() - 9.0, 0.01);
    EXPECT_NEAR(moved.range(), output.range(), 0.1);
    EXPECT_NEAR(moved.peakDb(), output.peakDb(), 0.01);
    EXPECT_EQ(moved.momentary.count(), source.momentary.count());
    EXPECT_EQ(amplified(source, 0.0), source);

    // Blocks brought below -70 LUFS are no longer counted, as the meter would not count them.
    const TrackLoudness faint = amplified(measured({{4.0, -20.0}, {4.0, -60.0}}), -15.0);
    EXPECT_EQ(faint.momentary.count(), measured({{4.0, -35.0}, {4.0, -75.0}}).momentary.count());
}

} // namespace
} // namespace tunevale::test
