#include "LoudnessMeter.h"
#include "SignalSupport.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace tunevale::test
{
namespace
{

TrackLoudness measure(const std::vector<std::uint8_t>& pcm, const PcmFormat& format, PeakKind peakKind = PeakKind::True,
                      std::size_t chunkBytes = 64 * 1024)
{
    LoudnessMeter meter(format, peakKind);
    EXPECT_TRUE(meter.valid());
    for (std::size_t done = 0; done < pcm.size(); done += chunkBytes)
        meter.add(pcm.data() + done, std::min(chunkBytes, pcm.size() - done));
    return meter.result();
}

// A programme whose blocks spread over many levels: tones that rise and fall, with a pause.
std::vector<Tone> variedProgramme()
{
    return {{3.0, -20},       {2.05, -40, 300}, {5.0, -12, 5000}, {1.3, -90},     {4.0, -25, 100},
            {6.2, -31, 2500}, {2.5, -16, 700},  {3.3, -45, 9000}, {4.4, -22, 440}};
}

struct Reference {
    double integrated = 0;
    double range = 0;
    double truePeak = 0;
};

// libebur128 gating the audio itself, every block kept exactly, for several tracks as one.
Reference referenceOf(const std::vector<std::vector<double>>& tracks, std::uint32_t rate, std::uint32_t channels)
{
    std::vector<ebur128_state*> states;
    Reference reference;
    for (const auto& samples : tracks) {
        ebur128_state* state = ebur128_init(channels, rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
        if (channels == 1)
            ebur128_set_channel(state, 0, EBUR128_DUAL_MONO);
        ebur128_add_frames_double(state, samples.data(), samples.size() / channels);
        for (std::uint32_t channel = 0; channel < channels; ++channel) {
            double peak = 0;
            ebur128_true_peak(state, channel, &peak);
            reference.truePeak = std::max(reference.truePeak, peak);
        }
        states.push_back(state);
    }
    ebur128_loudness_global_multiple(states.data(), states.size(), &reference.integrated);
    ebur128_loudness_range_multiple(states.data(), states.size(), &reference.range);
    for (ebur128_state* state : states)
        ebur128_destroy(&state);
    return reference;
}

TEST(LoudnessMeter, EverySampleTypeMeasuresTheSameTone)
{
    // A stereo 1 kHz sine is as loud in LUFS as its peak in dBFS (EBU Tech 3341, cases 1 and 2); at
    // -12 dBFS even 8-bit samples hold it within 0.1 LU.
    const auto samples = toneSamples({{20.0, -12.0}}, 48000, 2);
    for (const SampleType type :
         {SampleType::UInt8, SampleType::Int16, SampleType::Int24, SampleType::Int32, SampleType::Float32}) {
        const TrackLoudness loudness = measure(toPcm(samples, type), {48000, 2, type});
        ASSERT_TRUE(loudness.integrated()) << static_cast<int>(type);
        EXPECT_NEAR(*loudness.integrated(), -12.0, type == SampleType::UInt8 ? 0.1 : 0.01) << static_cast<int>(type);
        EXPECT_NEAR(loudness.range(), 0.0, 0.1) << static_cast<int>(type);
        EXPECT_NEAR(loudness.peakDb(), -12.0, 0.2) << static_cast<int>(type);
    }
}

TEST(LoudnessMeter, ChunkSizesDoNotChangeTheMeasurement)
{
    // Chunks that end inside a frame and inside a sample, at 11025 Hz where 100 ms is no whole
    // number of frames.
    const auto pcm = toPcm(toneSamples(variedProgramme(), 11025, 2), SampleType::Int24);
    const PcmFormat format{11025, 2, SampleType::Int24};
    const TrackLoudness whole = measure(pcm, format, PeakKind::True, pcm.size());
    for (const std::size_t chunk : {1u, 5u, 4097u, 33333u})
        EXPECT_EQ(measure(pcm, format, PeakKind::True, chunk), whole) << chunk;
    EXPECT_GT(whole.momentary.count(), 300u);
    EXPECT_GT(whole.shortTerm.count(), 25u);
}

TEST(LoudnessMeter, BlocksGateAsLibebur128GatesThem)
{
    for (const auto& [rate, channels] : {std::pair{8000u, 1u}, std::pair{11025u, 2u}, std::pair{44100u, 6u},
                                         std::pair{48000u, 1u}, std::pair{96000u, 2u}}) {
        {
            const auto samples = toneSamples(variedProgramme(), rate, channels);
            const TrackLoudness loudness =
                measure(toPcm(samples, SampleType::Float32), {rate, channels, SampleType::Float32});
            const Reference reference = referenceOf({samples}, rate, channels);
            ASSERT_TRUE(loudness.integrated());
            EXPECT_NEAR(*loudness.integrated(), reference.integrated, 0.01) << rate << " Hz, " << channels;
            EXPECT_NEAR(loudness.range(), reference.range, 0.1) << rate << " Hz, " << channels;
            EXPECT_NEAR(loudness.peak, reference.truePeak, 1e-6) << rate << " Hz, " << channels;
            EXPECT_GT(loudness.range(), 5.0);
        }
    }
}

TEST(LoudnessMeter, EveryLayoutWeighsItsChannelsAsLibebur128Does)
{
    // 4 channels are L R Ls Rs and 5 are L R C Ls Rs; 5.1 is above.
    for (const std::uint32_t channels : {3u, 4u, 5u}) {
        const auto samples = toneSamples(variedProgramme(), 44100, channels);
        const TrackLoudness loudness =
            measure(toPcm(samples, SampleType::Float32), {44100, channels, SampleType::Float32});
        const Reference reference = referenceOf({samples}, 44100, channels);
        ASSERT_TRUE(loudness.integrated()) << channels;
        EXPECT_NEAR(*loudness.integrated(), reference.integrated, 0.001) << channels;
        EXPECT_NEAR(loudness.range(), reference.range, 0.1) << channels;
    }
}

// Signals whose peaks fall between samples, to be found wherever they lie in a long track.
std::vector<double> interSamplePeaks(std::uint32_t rate, std::uint32_t channels)
{
    std::vector<double> samples;
    std::uint32_t seed = 12345;
    const auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / (1u << 24) * 2.0 - 1.0;
    };
    const std::uint64_t frames = 8ull * rate;
    for (std::uint64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Loud noise first, then a quieter stretch, then a sine at a quarter of the rate sampled 45
        // degrees off its crests whose true peak beats every sample before it, then a swell of noise.
        double value = 0;
        if (t < 2)
            value = 0.4 * noise();
        else if (t < 4)
            value = 0.1 * std::sin(2 * std::numbers::pi * 440 * t);
        else if (t < 4.5)
            value = 0.8 * std::sin(std::numbers::pi / 2 * static_cast<double>(i) + std::numbers::pi / 4);
        else
            value = 0.5 * (t - 4.5) / 3.5 * noise();
        for (std::uint32_t channel = 0; channel < channels; ++channel)
            samples.push_back(channel % 2 ? -value : value);
    }
    return samples;
}

TEST(LoudnessMeter, TruePeaksAreLibebur128sWhereverTheyLie)
{
    // 4x below 96 kHz, 2x below 192 kHz, the sample peak from there on.
    for (const std::uint32_t rate : {44100u, 48000u, 96000u, 192000u}) {
        for (const std::uint32_t channels : {1u, 2u, 3u}) {
            const auto samples = interSamplePeaks(rate, channels);
            const auto pcm = toPcm(samples, SampleType::Float32);
            const Reference reference = referenceOf({samples}, rate, channels);
            // Chunks of any size, the last of a frame, find the same peak.
            for (const std::size_t chunk : {std::size_t{4}, std::size_t{4 * 1001}, pcm.size()}) {
                const TrackLoudness loudness =
                    measure(pcm, {rate, channels, SampleType::Float32}, PeakKind::True, chunk);
                EXPECT_NEAR(loudness.peak, reference.truePeak, 1e-6) << rate << " Hz, " << channels << ", " << chunk;
            }
            const TrackLoudness samplePeak = measure(pcm, {rate, channels, SampleType::Float32}, PeakKind::Sample);
            EXPECT_NEAR(samplePeak.peak, 0.8 * std::sqrt(0.5), 1e-6) << rate;
            if (rate < 192000) {
                EXPECT_GT(reference.truePeak, 0.79) << rate;
            }
        }
    }
}

TEST(LoudnessMeter, AlbumGatesAllTracksTogetherAsLibebur128Does)
{
    const std::vector<std::vector<Tone>> album{{{30.0, -14.0}}, {{40.0, -30.0, 200}}, {{6.0, -9.0, 3000}, {9.0, -50}}};
    std::vector<std::vector<double>> samples;
    std::vector<TrackLoudness> tracks;
    for (const auto& tones : album) {
        samples.push_back(toneSamples(tones, 44100, 2));
        tracks.push_back(measure(toPcm(samples.back(), SampleType::Int16), {44100, 2, SampleType::Int16}));
    }
    const TrackLoudness whole = combine(tracks);
    const Reference reference = referenceOf(samples, 44100, 2);
    ASSERT_TRUE(whole.integrated());
    EXPECT_NEAR(*whole.integrated(), reference.integrated, 0.01);
    EXPECT_NEAR(whole.range(), reference.range, 0.1);
    // Gated together, not the mean of the tracks' loudness.
    double mean = 0;
    for (const auto& track : tracks)
        mean += *track.integrated() / 3;
    EXPECT_GT(std::abs(*whole.integrated() - mean), 1.0);
    EXPECT_NEAR(whole.peakDb(), -9.0, 0.1);
}

TEST(LoudnessMeter, MonoCountsAsBothSpeakersOfAPair)
{
    const auto mono =
        measure(toPcm(toneSamples({{20.0, -23.0}}, 44100, 1), SampleType::Int16), {44100, 1, SampleType::Int16});
    const auto stereo =
        measure(toPcm(toneSamples({{20.0, -23.0}}, 44100, 2), SampleType::Int16), {44100, 2, SampleType::Int16});
    EXPECT_NEAR(*mono.integrated(), *stereo.integrated(), 0.01);
    EXPECT_NEAR(*mono.integrated(), -23.0, 0.1);
}

TEST(LoudnessMeter, SamplePeakOrTruePeak)
{
    // A sine at a quarter of the rate, sampled at 45 degrees: its samples stay 3 dB below its peak.
    std::vector<double> samples;
    for (int i = 0; i < 48000 * 2; ++i) {
        const double value = 0.5 * std::sin(std::numbers::pi / 2 * i + std::numbers::pi / 4);
        samples.insert(samples.end(), {value, value});
    }
    const auto pcm = toPcm(samples, SampleType::Float32);
    const auto samplePeak = measure(pcm, {48000, 2, SampleType::Float32}, PeakKind::Sample);
    const auto truePeak = measure(pcm, {48000, 2, SampleType::Float32}, PeakKind::True);
    EXPECT_EQ(samplePeak.peakKind, PeakKind::Sample);
    EXPECT_NEAR(samplePeak.peakDb(), 20 * std::log10(0.5) - 3.01, 0.05);
    EXPECT_NEAR(truePeak.peakDb(), 20 * std::log10(0.5), 0.3);
}

TEST(LoudnessMeter, SilenceAndShortAudioHaveNoIntegratedLoudness)
{
    const PcmFormat format{44100, 2, SampleType::Int16};
    const auto silence = measure(std::vector<std::uint8_t>(44100 * 4 * 10, 0), format);
    EXPECT_FALSE(silence.integrated());
    EXPECT_EQ(silence.range(), 0.0);
    EXPECT_EQ(silence.peak, 0.0);
    EXPECT_TRUE(std::isinf(silence.peakDb()));

    // 0.1 s holds no whole 400 ms block; its peak is still measured.
    const auto blip = measure(toPcm(toneSamples({{0.1, -6.0}}, 44100, 2), SampleType::Int16), format);
    EXPECT_FALSE(blip.integrated());
    EXPECT_NEAR(blip.peakDb(), -6.0, 0.2);
}

TEST(LoudnessMeter, FormatsWithoutChannelsOrRateAreRefused)
{
    for (const PcmFormat format : {PcmFormat{0, 2, SampleType::Int16}, PcmFormat{44100, 0, SampleType::Int16}}) {
        LoudnessMeter meter(format, PeakKind::True);
        EXPECT_FALSE(meter.valid());
        const std::uint8_t bytes[8]{};
        meter.add(bytes, sizeof bytes);
        EXPECT_FALSE(meter.result().integrated());
    }
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST(LoudnessMeter, MemoryStaysFlatOverThreeHours)
{
    const PcmFormat format{8000, 1, SampleType::Int16};
    LoudnessMeter meter(format, PeakKind::Sample);
    const auto minute = toPcm(toneSamples({{60.0, -20.0}}, 8000, 1), SampleType::Int16);
    for (int i = 0; i < 5; ++i)
        meter.add(minute.data(), minute.size());
    const long before = residentKiB();
    for (int i = 0; i < 175; ++i)
        meter.add(minute.data(), minute.size());
    EXPECT_LT(residentKiB() - before, 512);
    const TrackLoudness loudness = meter.result();
    EXPECT_NEAR(*loudness.integrated(), -20.0, 0.1);
    EXPECT_EQ(loudness.momentary.count(), 3u * 3600 * 10 - 3);
}

} // namespace
} // namespace tunevale::test
