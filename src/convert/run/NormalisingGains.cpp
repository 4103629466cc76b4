#include "NormalisingGains.h"

#include "Gains.h"

namespace tunevale
{

std::vector<double> normalisingGains(const std::vector<MeasuredSource>& sources, NormalizeChoice choice,
                                     double targetLufs)
{
    std::vector<double> gains(sources.size(), 0.0);
    if (choice == NormalizeChoice::Off)
        return gains;
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i].loudness)
            gains[i] = normalisingGain(*sources[i].loudness, targetLufs);
    if (choice != NormalizeChoice::Album)
        return gains;
    std::vector<AlbumKey> keys;
    for (const MeasuredSource& source : sources)
        keys.push_back(source.album);
    for (const std::vector<std::size_t>& album : groupAlbums(keys)) {
        std::vector<TrackLoudness> tracks;
        for (const std::size_t i : album)
            if (sources[i].loudness)
                tracks.push_back(*sources[i].loudness);
        if (tracks.empty())
            continue;
        const double gain = normalisingGain(combine(tracks), targetLufs);
        for (const std::size_t i : album)
            if (sources[i].loudness)
                gains[i] = gain;
    }
    return gains;
}

} // namespace tunevale
