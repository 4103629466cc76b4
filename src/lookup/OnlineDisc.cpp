#include "OnlineDisc.h"

#include "RequestSpacing.h"

namespace tunevale
{

OnlineDisc lookUpDisc(HttpClient& client, const DiscToc& toc, const std::string& userAgent)
{
    SpacedHttpClient spaced(client, std::chrono::seconds(1));
    DiscLookup lookup(spaced, userAgent, 8000);
    OnlineDisc disc;
    disc.release = lookup.release(toc);
    if (const DiscRelease* release = disc.found())
        disc.cover = lookup.frontCover(release->id);
    disc.accurateRip = lookup.accurateRip(toc);
    return disc;
}

std::optional<AccurateRipChecksum> discTrackChecksum(const DiscToc& toc, int number, const ChannelInfo& info,
                                                     std::uint64_t bytes)
{
    if (!toc.hasTrack(number) || info.freq != 44100 || info.chans != 2 || bytesPerSample(info.flags) != 2)
        return std::nullopt;
    int lastAudio = toc.firstTrack;
    for (int track = toc.firstTrack; track <= toc.lastTrack(); ++track)
        if (toc.audio[static_cast<std::size_t>(track - toc.firstTrack)])
            lastAudio = track;
    return AccurateRipChecksum(number == toc.firstTrack, number == lastAudio, static_cast<std::int64_t>(bytes / 4));
}

} // namespace tunevale
