#pragma once

#include "DiscLookup.h"

#include <string>

namespace tunevale
{

// What the online services say of a disc: its release, the release's front cover and the
// AccurateRip database's checksums.
struct OnlineDisc {
    ReleaseLookup release;
    TagPicture cover;
    AccurateRipLookup accurateRip;

    const DiscRelease* found() const { return release.state == LookupState::Found ? &release.release : nullptr; }
};

// Looks a disc up, one request a second per host, each given a few seconds to answer.
OnlineDisc lookUpDisc(const DiscToc& toc);

// "MusicBrainz: <release id>\t<artist> - <album>" when found, else "MusicBrainz: not found" or
// "MusicBrainz: not checked (WHY)"; the texts escaped for the terminal.
std::string releaseLine(const ReleaseLookup& release);

} // namespace tunevale
