#pragma once

#include "KWeightingFilter.h"
#include "PcmFormat.h"
#include "PeakMeter.h"
#include "TrackLoudness.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tunevale
{

// Measures interleaved PCM as it passes, chunk by chunk, in constant memory: each channel is
// K-weighted and its energy summed every 100 ms, from which every 400 ms block (each 100 ms) and
// 3 s block (each second) is counted into the track's histograms, and the peaks are found. Channels
// count as ITU-R BS.1770-4 weighs them, mapped by their number as libebur128 maps them, so that
// results agree with its: the LFE not at all, surrounds 1.41 times. A mono track counts as both
// speakers of a stereo pair, as players play it, so a mono file and its stereo copy measure alike.
// Single thread; one meter per track.
class LoudnessMeter
{
public:
    LoudnessMeter(const PcmFormat& format, PeakKind peakKind);

    // False when the format cannot be measured (no channels, no rate) or memory ran out; add() then
    // does nothing.
    bool valid() const { return m_peaks.has_value(); }

    // Takes the next bytes of PCM in the meter's format; a frame split between chunks is joined.
    void add(const void* pcm, std::size_t bytes);

    // The measurement of everything added so far.
    TrackLoudness result() const;

private:
    static constexpr std::size_t kHopsPerShortTermBlock = 30;

    void addFrames(const std::uint8_t* pcm, std::size_t frames);
    void toPlanar(const std::uint8_t* pcm, std::size_t frames);
    void measure(std::size_t frames);
    std::size_t secondOfPair(std::size_t pair) const;
    void hopEnded();
    double loudnessOfLastHops(std::size_t hops) const;
    const float* planar(std::size_t channel) const { return m_planar.data() + channel * kChunkFrames; }

    // Frames converted to single precision planes at a time.
    static constexpr std::size_t kChunkFrames = 4096;

    PcmFormat m_format;
    PeakKind m_peakKind;
    std::optional<PeakMeter> m_peaks;
    std::vector<double> m_weights;
    std::vector<std::uint32_t> m_counted;    // the channels of some weight, in pairs for the filters
    std::vector<KWeightingFilter> m_filters; // one per pair
    std::vector<float> m_planar;             // kChunkFrames samples of each channel, then silence
    std::size_t m_framesPerHop = 0;          // 100 ms, rounded as libebur128 rounds it
    std::size_t m_framesInHop = 0;
    std::array<double, kHopsPerShortTermBlock> m_recentHops{}; // weighted energies by hop number, modulo 30
    std::uint64_t m_hops = 0;
    TrackLoudness m_measured;
    std::vector<std::uint8_t> m_partialFrame;
};

} // namespace tunevale
