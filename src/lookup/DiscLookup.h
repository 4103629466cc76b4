#pragma once

#include "AccurateRipDatabase.h"
#include "HttpClient.h"
#include "MusicBrainzRelease.h"
#include "SourceTags.h"
#include "cd/DiscToc.h"

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// How a lookup went: Found, NotFound (the service answered that it has nothing, or 404),
// Unavailable (no answer: offline, refused, timed out, a server error) or Damaged (an answer
// that could not be read).
enum class LookupState { Found, NotFound, Unavailable, Damaged };

struct ReleaseLookup {
    LookupState state = LookupState::Unavailable;
    DiscRelease release;
    std::string problem; // why, when not Found
};

struct AccurateRipLookup {
    LookupState state = LookupState::Unavailable;
    AccurateRipDiscIds disc;
    std::vector<AccurateRipEntry> entries;
    std::string problem;

    // The verdict on a track whose checksums were computed: accuracy when the database answered,
    // else "not in database" or "not checked (WHY)".
    std::string verdict(std::size_t trackIndex, std::uint32_t v1, std::uint32_t v2) const;
};

// The online lookups of a disc, through client (give it a SpacedHttpClient: MusicBrainz allows
// one request a second). Addresses come from ServiceAddresses.
class DiscLookup
{
public:
    // userAgent as MusicBrainz asks: "Tunevale/1.0.0.4 ( contact )".
    DiscLookup(HttpClient& client, std::string userAgent, int timeoutMs = 10000)
        : m_client(client), m_userAgent(std::move(userAgent)), m_timeoutMs(timeoutMs)
    {
    }

    ReleaseLookup release(const DiscToc& toc);
    // The release's front cover from the Cover Art Archive; empty when there is none or it is no
    // JPEG, PNG or GIF picture.
    TagPicture frontCover(const std::string& releaseId);
    AccurateRipLookup accurateRip(const DiscToc& toc);

private:
    HttpResponse fetch(const std::string& url, const char* accept);

    HttpClient& m_client;
    std::string m_userAgent;
    int m_timeoutMs;
};

// Tags for track number of a disc from its release (title, artists, album, date), kept over the
// tags the disc itself gave where MusicBrainz has none; without a title from either, "Track NN".
SourceTags tagsWithRelease(SourceTags tags, const DiscRelease* release, int number);

// The User-Agent Tunevale sends: "Tunevale/<version> ( <contact> )".
std::string tunevaleUserAgent(const std::string& version);

} // namespace tunevale
