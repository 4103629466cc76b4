#pragma once

#include "CRegister.h"

namespace tunevale
{

// The stored settings of CD reading, under the output settings' key.
struct CdSettings {
    // The drive's read offset in samples (AccurateRip's figure for the drive model): CdReadOffset.
    int readOffset = 0;
    // Whether discs are looked up online (MusicBrainz, Cover Art Archive, AccurateRip): CdOnlineLookup.
    bool onlineLookup = true;

    bool operator==(const CdSettings&) const = default;
};

// The offsets AccurateRip lists for drive models lie within this many samples either way.
inline constexpr int DriveReadOffsetLimit = 3000;
// No drive is off by more than this; a stored offset beyond it is taken for damage and read as 0.
inline constexpr int LargestCdReadOffset = 10000;

// The stored settings; a missing or unreadable value reads as its default.
CdSettings loadCdSettings(const CRegister& registry);
// True when the value was written.
bool saveCdSettings(CRegister& registry, const CdSettings& settings);

} // namespace tunevale
