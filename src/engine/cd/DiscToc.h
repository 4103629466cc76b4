#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunevale
{

// A disc's table of contents: where each track starts and where the audio ends, in frames of
// 1/75 s counted from the first track's start address (a logical sector number: the 150 frames
// of lead-in pregap before it are not counted).
struct DiscToc {
    int firstTrack = 1;
    std::vector<std::int32_t> offsets; // track firstTrack + i starts at offsets[i]
    std::vector<bool> audio;           // false for a data track
    std::int32_t leadout = 0;

    int lastTrack() const { return firstTrack + static_cast<int>(offsets.size()) - 1; }
    bool hasTrack(int number) const { return number >= firstTrack && number <= lastTrack(); }
    // Frames from the track's start to the next one's (or to the lead-out); 0 for no such track.
    std::int32_t trackFrames(int number) const;
};

// The MusicBrainz disc ID: SHA-1 over the first and last audio track numbers and the 100
// addresses (lead-out, then tracks 1 to 99 in the places of their numbers; +150 frames), in upper-case hex, in base64
// with "._-" in place of "+/=". A data track after the audio (Enhanced CD) is left out, the lead-out then lying 11400
// frames before it, as MusicBrainz counts such discs.
std::string musicBrainzDiscId(const DiscToc& toc);

// The freedb (CDDB) disc ID.
std::uint32_t cddbDiscId(const DiscToc& toc);

// The identifiers under which the AccurateRip database files a disc's checksums.
struct AccurateRipDiscIds {
    int audioTracks = 0;
    std::uint32_t id1 = 0; // sum of the audio tracks' offsets and the lead-out
    std::uint32_t id2 = 0; // sum of each offset (at least 1) times its track number, and of the lead-out's
    std::uint32_t cddb = 0;

    bool operator==(const AccurateRipDiscIds&) const = default;
};
AccurateRipDiscIds accurateRipDiscIds(const DiscToc& toc);

// The address of a disc's AccurateRip database file.
std::string accurateRipUrl(const AccurateRipDiscIds& ids);

} // namespace tunevale
