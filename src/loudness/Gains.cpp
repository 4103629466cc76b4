#include "Gains.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tunevale
{

namespace
{

// Fixed-point text without the user's locale.
std::string fixed(double value, int decimals)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

double gainTo(const TrackLoudness& loudness, double targetLufs)
{
    const auto integrated = loudness.integrated();
    return integrated ? targetLufs - *integrated : 0.0;
}

} // namespace

double replayGain(const TrackLoudness& loudness)
{
    return gainTo(loudness, kReplayGainReferenceLufs);
}

std::string replayGainText(double gainDb)
{
    // Rounded first, so that a gain of -0.004 dB reads "+0.00 dB", not "-0.00 dB".
    const double rounded = std::round(gainDb * 100.0) / 100.0;
    return (rounded < 0 ? "" : "+") + fixed(rounded == 0 ? 0.0 : rounded, 2) + " dB";
}

std::string replayPeakText(double peak)
{
    return fixed(peak, 6);
}

std::int16_t r128Gain(const TrackLoudness& loudness)
{
    const double steps = std::round(gainTo(loudness, kR128ReferenceLufs) * 256.0);
    return static_cast<std::int16_t>(std::clamp(steps, -32768.0, 32767.0));
}

double normalisingGain(const TrackLoudness& loudness, double targetLufs, double ceilingDb)
{
    const double gain = gainTo(loudness, targetLufs);
    if (!loudness.integrated() || loudness.peak <= 0)
        return gain;
    return std::min(gain, ceilingDb - loudness.peakDb());
}

} // namespace tunevale
