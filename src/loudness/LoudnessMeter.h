#pragma once

#include "PcmFormat.h"
#include "TrackLoudness.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tunevale
{

// Measures interleaved PCM as it passes, chunk by chunk, in constant memory: libebur128 weights
// the audio and finds its peaks, and every 400 ms block (each 100 ms) and 3 s block (each second)
// is counted into the track's histograms. A mono track counts as both speakers of a stereo pair,
// as players play it, so a mono file and its stereo copy measure alike. Single thread; one meter
// per track.
class LoudnessMeter
{
public:
    LoudnessMeter(const PcmFormat& format, PeakKind peakKind);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // False when the format cannot be measured (no channels, no rate) or memory ran out; add() then
    // does nothing.
    bool valid() const { return m_state != nullptr; }

    // Takes the next bytes of PCM in the meter's format; a frame split between chunks is joined.
    void add(const void* pcm, std::size_t bytes);

    // The measurement of everything added so far.
    TrackLoudness result() const;

private:
    void addFrames(const std::uint8_t* pcm, std::size_t frames);
    template <typename Sample> void feed(const Sample* samples, std::size_t frames);
    void blockEnded();

    struct State;

    PcmFormat m_format;
    PeakKind m_peakKind;
    std::unique_ptr<State> m_state;
    std::size_t m_framesPerHop = 0; // 100 ms, as libebur128 counts it
    std::size_t m_framesInHop = 0;
    std::uint64_t m_hops = 0;
    TrackLoudness m_measured;
    std::vector<std::uint8_t> m_partialFrame;
    std::vector<std::int32_t> m_widened; // 8 and 24-bit samples as 32-bit ones
};

} // namespace tunevale
