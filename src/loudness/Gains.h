#pragma once

#include "TrackLoudness.h"

#include <cstdint>
#include <string>

namespace tunevale
{

inline constexpr double kReplayGainReferenceLufs = -18.0; // ReplayGain 2.0
inline constexpr double kR128ReferenceLufs = -23.0;       // EBU R128, the reference of Opus gains (RFC 7845)
inline constexpr double kDefaultTargetLufs = -18.0;
inline constexpr double kPeakCeilingDbtp = -1.0; // normalised audio peaks no higher

// The gains below are 0 dB for audio without an integrated loudness (silence, or shorter than
// 0.4 s): nothing is known to correct, so players leave it as it is.

// The ReplayGain 2.0 gain in dB: what brings the loudness to -18 LUFS.
double replayGain(const TrackLoudness& loudness);
// A gain as players read REPLAYGAIN_*_GAIN: "-6.52 dB", "+1.30 dB".
std::string replayGainText(double gainDb);
// A peak as players read REPLAYGAIN_*_PEAK: "0.988525" (1.0 = full scale).
std::string replayPeakText(double peak);

// The Opus R128_TRACK_GAIN / R128_ALBUM_GAIN value: the gain to -23 LUFS in 1/256 dB (Q7.8).
std::int16_t r128Gain(const TrackLoudness& loudness);

// The gain that brings the audio to the target loudness, lowered where needed so that its peak
// stays at or below the ceiling.
double normalisingGain(const TrackLoudness& loudness, double targetLufs = kDefaultTargetLufs,
                       double ceilingDb = kPeakCeilingDbtp);

} // namespace tunevale
