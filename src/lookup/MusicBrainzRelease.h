#pragma once

#include <map>
#include <optional>
#include <string>

namespace tunevale
{

// What MusicBrainz knows of the release a disc belongs to.
struct DiscRelease {
    std::string id; // the release's MBID, for its cover
    std::string artist;
    std::string album;
    std::string date;
    std::map<int, std::string> titles;       // by track number on the disc
    std::map<int, std::string> trackArtists; // where a track credits others than the release

    bool operator==(const DiscRelease&) const = default;
};

// The release in an answer of /ws/2/discid/<discId>?inc=artist-credits+recordings: the first one
// with a medium carrying that disc ID (a release may hold several discs), else the first one with a
// medium of trackCount tracks. Nothing when the answer is no JSON of that shape or names no
// such release.
std::optional<DiscRelease> parseDiscIdAnswer(const std::string& json, const std::string& discId, int trackCount);

// True when json is an object with a "releases" list: an answer, though perhaps without a match.
bool isDiscIdAnswer(const std::string& json);

} // namespace tunevale
