#include "EngineDiscTracks.h"

#include "EngineErrorText.h"
#include "cd/DiscListing.h"

#include <cmath>
#include <cstdio>

namespace tunevale
{

namespace
{

std::string minutesAndSeconds(double seconds)
{
    const auto whole = static_cast<unsigned long long>(std::nearbyint(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02llu", whole / 60, whole % 60);
    return text;
}

} // namespace

bool EngineDiscTracks::isDisc(const std::string& path)
{
    return isDiscPath(path);
}

std::vector<DiscTracks::Track> EngineDiscTracks::tracks(const std::string& disc, std::string& reason)
{
    DiscListing listing;
    int error = 0;
    std::string message;
    if (!listDiscTracks(disc, decodingOpener(), listing, error, message)) {
        reason = EngineErrorText(error);
        if (!message.empty())
            reason += ": " + message;
        return {};
    }
    std::vector<Track> tracks;
    for (const ListedTrack& track : listing.tracks)
        tracks.push_back({track.path, minutesAndSeconds(track.seconds)});
    return tracks;
}

std::vector<std::string> EngineDiscTracks::audioDrives()
{
    return drivesWithAudioDiscs();
}

} // namespace tunevale
