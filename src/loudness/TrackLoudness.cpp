#include "TrackLoudness.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tunevale
{

namespace
{

constexpr std::string_view kVersion = "tl1";

// The shortest text that reads back as the same double, without the user's locale.
std::string shortest(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

void appendBins(std::string& text, char name, const BlockHistogram& histogram)
{
    text += ' ';
    text += name;
    const auto& bins = histogram.bins();
    for (int bin = 0; bin < BlockHistogram::kBins; ++bin) {
        if (bins[bin] == 0)
            continue;
        text += ' ' + std::to_string(bin) + ':' + std::to_string(bins[bin]) + ':' + shortest(histogram.energies()[bin]);
    }
}

// Reads words one at a time from a text of words separated by single spaces.
class Words
{
public:
    explicit Words(std::string_view text) : m_text(text) {}

    bool next(std::string_view& word)
    {
        if (m_done)
            return false;
        const auto space = m_text.find(' ');
        word = m_text.substr(0, space);
        m_done = space == std::string_view::npos;
        if (!m_done)
            m_text.remove_prefix(space + 1);
        return true;
    }

private:
    std::string_view m_text;
    bool m_done = false;
};

template <typename Number> bool readNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool readBin(std::string_view word, BlockHistogram& histogram)
{
    const auto first = word.find(':');
    const auto second = word.find(':', first + 1);
    int bin = 0;
    std::uint32_t count = 0;
    double energy = 0;
    return second != std::string_view::npos && readNumber(word.substr(0, first), bin) &&
           readNumber(word.substr(first + 1, second - first - 1), count) &&
           readNumber(word.substr(second + 1), energy) && histogram.addToBin(bin, count, energy);
}

} // namespace

double TrackLoudness::peakDb() const
{
    return peak > 0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}

std::string TrackLoudness::serialise() const
{
    std::string text(kVersion);
    text += peakKind == PeakKind::True ? " true " : " sample ";
    text += shortest(peak);
    appendBins(text, 'm', momentary);
    appendBins(text, 's', shortTerm);
    return text;
}

std::optional<TrackLoudness> TrackLoudness::parse(std::string_view text)
{
    Words words(text);
    std::string_view word;
    TrackLoudness result;
    if (!words.next(word) || word != kVersion || !words.next(word))
        return std::nullopt;
    if (word == "true")
        result.peakKind = PeakKind::True;
    else if (word == "sample")
        result.peakKind = PeakKind::Sample;
    else
        return std::nullopt;
    if (!words.next(word) || !readNumber(word, result.peak) || !(result.peak >= 0) || !std::isfinite(result.peak))
        return std::nullopt;
    if (!words.next(word) || word != "m")
        return std::nullopt;
    BlockHistogram* into = &result.momentary;
    bool shortTermSeen = false;
    while (words.next(word)) {
        if (word == "s" && !shortTermSeen) {
            into = &result.shortTerm;
            shortTermSeen = true;
        } else if (!readBin(word, *into)) {
            return std::nullopt;
        }
    }
    if (!shortTermSeen)
        return std::nullopt;
    return result;
}

TrackLoudness amplified(const TrackLoudness& loudness, double gainDb)
{
    if (gainDb == 0)
        return loudness;
    TrackLoudness result = loudness;
    result.momentary = loudness.momentary.amplified(gainDb);
    result.shortTerm = loudness.shortTerm.amplified(gainDb);
    result.peak = loudness.peak * std::pow(10.0, gainDb / 20.0);
    return result;
}

TrackLoudness combine(std::span<const TrackLoudness> tracks)
{
    TrackLoudness whole;
    if (!tracks.empty())
        whole.peakKind = tracks.front().peakKind;
    for (const TrackLoudness& track : tracks) {
        whole.momentary.add(track.momentary);
        whole.shortTerm.add(track.shortTerm);
        whole.peak = std::max(whole.peak, track.peak);
    }
    return whole;
}

} // namespace tunevale
