#pragma once

#include "TrackLoudness.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tunevale
{

// The highest peak of any channel: the highest sample, or the true peak between the samples
// (ITU-R BS.1770-4, Annex 2), which is never below it. For the true peak the samples are upsampled
// 4x (2x from 96 kHz; not at all from 192 kHz) through the 49-tap windowed-sinc polyphase filter of
// libebur128, which loudgain and most taggers use, so that peaks agree with theirs.
//
// Most of the audio cannot hold a new peak: a stretch whose loudest output could be (the largest sum
// of the magnitudes of a phase's taps times the loudest input the stretch reads) is no higher than
// the peak found so far is skipped, which changes no result. The other stretches are filtered in
// single precision, sixteen outputs at a time with AVX2 and eight without, and a stretch that may
// hold a new peak is filtered again in double precision, as libebur128 filters, for the peak's exact
// value. Single thread.
class PeakMeter
{
public:
    PeakMeter(PeakKind kind, std::uint32_t rate, std::uint32_t channels);

    // The next samples of one channel, full scale 1.0.
    void add(std::uint32_t channel, const float* samples, std::size_t count);

    // 1.0 = full scale.
    double peak() const;

private:
    // The outputs of one phase: the sum of each tap times the input that many samples back.
    struct Phase {
        std::vector<std::uint32_t> delays;
        std::vector<double> taps;
    };

    void measureStretch(const float* newest, std::size_t count, float reach);
    float singlePrecisionPeak(const float* newest, std::size_t count) const;
    void exactPeak(const float* newest, std::size_t count);

    std::vector<Phase> m_phases; // none for the sample peak
    // The phases but the one that passes the inputs through (the sample peak covers it), in single
    // precision with a tap for every delay.
    std::vector<std::vector<float>> m_singlePhases;
    std::size_t m_history = 0;               // the inputs before the newest that an output reads
    float m_gain = 0;                        // the largest sum of a phase's tap magnitudes
    std::vector<std::vector<float>> m_lines; // per channel: the last inputs, then the samples added
    float m_samplePeak = 0;
    float m_truePeak = 0;
};

} // namespace tunevale
