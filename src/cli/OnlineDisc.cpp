#include "OnlineDisc.h"

#include "QtHttpClient.h"
#include "RequestSpacing.h"
#include "TerminalText.h"

namespace tunevale
{

OnlineDisc lookUpDisc(const DiscToc& toc)
{
    QtHttpClient network;
    SpacedHttpClient client(network, std::chrono::seconds(1));
    DiscLookup lookup(client, tunevaleUserAgent(TUNEVALE_VERSION), 8000);
    OnlineDisc disc;
    disc.release = lookup.release(toc);
    if (const DiscRelease* release = disc.found())
        disc.cover = lookup.frontCover(release->id);
    disc.accurateRip = lookup.accurateRip(toc);
    return disc;
}

std::string releaseLine(const ReleaseLookup& release)
{
    switch (release.state) {
    case LookupState::Found:
        return "MusicBrainz: " + escapedText(release.release.id) + "\t" +
               escapedText(release.release.artist + " - " + release.release.album);
    case LookupState::NotFound:
        return "MusicBrainz: not found";
    case LookupState::Unavailable:
    case LookupState::Damaged:
        break;
    }
    return "MusicBrainz: not checked (" + escapedText(release.problem) + ")";
}

} // namespace tunevale
