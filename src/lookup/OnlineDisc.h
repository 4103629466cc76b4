#pragma once

#include "DiscLookup.h"
#include "Engine.h"
#include "cd/AccurateRipChecksum.h"

#include <optional>
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

// Looks a disc up through client, one request a second per host, each given a few seconds to
// answer. Blocks for as long as the services take: call it off the window's thread.
OnlineDisc lookUpDisc(HttpClient& client, const DiscToc& toc, const std::string& userAgent);

// The AccurateRip checksums for a disc's track of bytes of decoded PCM; none unless it is 16-bit
// stereo CD audio of a track the database can list (not the audio before track 1).
std::optional<AccurateRipChecksum> discTrackChecksum(const DiscToc& toc, int number, const ChannelInfo& info,
                                                     std::uint64_t bytes);

} // namespace tunevale
