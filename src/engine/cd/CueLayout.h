#pragma once

#include "CueSheet.h"
#include "DiscToc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunevale
{

// A stretch of one of a sheet's files, in sample frames.
struct TrackSegment {
    std::size_t file = 0;
    std::int64_t begin = 0;
    std::int64_t end = 0;

    bool operator==(const TrackSegment&) const = default;
};

// The audio of one track: from its INDEX 01 to the next track's INDEX 01, so that the gap before
// a track (its INDEX 00) ends the previous one; it may run on into the next file. Track 0 holds the
// audio hidden before track 1.
struct CueTrackRange {
    int number = 0;
    bool audio = true;
    std::vector<TrackSegment> segments;

    std::int64_t samples() const;
};

// Each file's length in sample frames and its sample rate (a CD frame is rate / 75 samples).
struct CueFileLength {
    std::int64_t samples = 0;
    std::int64_t rate = 44100;
};

// Splits the sheet's files into its tracks. Every sample of every file belongs to exactly one
// track, so the tracks joined give the files joined, except that audio before track 1's INDEX 01
// becomes track 0 only when it lasts longer than a second (else it starts track 1). False with a
// message when an index lies beyond the end of its file, a track holds no sample, or when a binary file mixes audio
// with data sectors of another size.
bool layoutCueTracks(const CueSheet& sheet, const std::vector<CueFileLength>& files, std::vector<CueTrackRange>& tracks,
                     std::string& error);

// The table of contents of the disc the sheet describes, the files laid end to end in whole
// frames and the PREGAP and POSTGAP silences between them.
DiscToc cueSheetToc(const CueSheet& sheet, const std::vector<CueFileLength>& files);

} // namespace tunevale
