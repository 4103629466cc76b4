#include "ConsoleLookup.h"

#include "QtHttpClient.h"
#include "TerminalText.h"

namespace tunevale
{

OnlineDisc lookUpDiscOnline(const DiscToc& toc)
{
    QtHttpClient network;
    return lookUpDisc(network, toc, tunevaleUserAgent(TUNEVALE_VERSION));
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
