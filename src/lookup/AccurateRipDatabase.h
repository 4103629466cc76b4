#pragma once

#include "cd/DiscToc.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// One submission group of an AccurateRip database file: the disc it was filed under and, per
// track, how many rips agreed on the checksum.
struct AccurateRipEntry {
    AccurateRipDiscIds disc;
    struct Track {
        int confidence = 0;
        std::uint32_t checksum = 0; // a v1 or a v2 checksum of the whole track
        std::uint32_t frame450 = 0; // of sector 450 alone (for offset finding; unused here)
    };
    std::vector<Track> tracks;
};

// The entries of a dBAR file: each a byte of track count, the two AccurateRip disc IDs and the
// freedb ID (32-bit little-endian), then per track a confidence byte and two little-endian 32-bit
// checksums. Nothing when the file is cut short or holds no entry.
std::optional<std::vector<AccurateRipEntry>> parseAccurateRipFile(const std::string& bytes);

// The verdict on one track (index from 0 among the disc's audio tracks) whose checksums were
// computed: "accurate (confidence N)" with the best agreeing entry's count, "mismatch" when the
// disc is filed but neither checksum agrees, "not in database" when no entry is for this disc.
std::string accurateRipVerdict(const std::vector<AccurateRipEntry>& entries, const AccurateRipDiscIds& disc,
                               std::size_t trackIndex, std::uint32_t v1, std::uint32_t v2);

} // namespace tunevale
