#pragma once

#include "BlockHistogram.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tunevale
{

// Which peak a measurement keeps: the true peak (4x oversampled, dBTP) or the highest sample.
enum class PeakKind { True, Sample };

// What is kept of one track's measurement: enough to report it and to gate it again together with
// the other tracks of its album, without the audio.
struct TrackLoudness {
    BlockHistogram momentary; // 400 ms blocks every 100 ms, for the integrated loudness
    BlockHistogram shortTerm; // 3 s blocks every second, for the loudness range
    double peak = 0;          // the highest peak of any channel, 1.0 = full scale
    PeakKind peakKind = PeakKind::True;

    // LUFS; none for audio without a block above -70 LUFS (silence, or shorter than 0.4 s).
    std::optional<double> integrated() const { return momentary.integratedLoudness(); }
    double range() const { return shortTerm.loudnessRange(); } // LU
    // The peak in dB (dBTP for a true peak); -inf for digital silence.
    double peakDb() const;

    bool operator==(const TrackLoudness&) const = default;

    // A compact text that holds the whole measurement (for a database): "tl1", the peak kind and
    // value, then the non-empty bins of each histogram as bin:count:energy.
    std::string serialise() const;
    // Reads serialise()'s text back; none when it is not such a text.
    static std::optional<TrackLoudness> parse(std::string_view text);
};

// The measurement of the same audio after a gain in dB, as a normalised output measures.
TrackLoudness amplified(const TrackLoudness& loudness, double gainDb);

// Several tracks measured as one programme: their blocks gated together, the highest peak. The
// peak kind is the first track's.
TrackLoudness combine(std::span<const TrackLoudness> tracks);

} // namespace tunevale
