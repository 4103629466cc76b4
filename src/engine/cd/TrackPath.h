#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunevale
{

// A CD track as a list item: "<disc>/TrackNN.cda", where the disc is a drive ("/dev/sr0") or a
// cue sheet ("/music/Album.cue"), and NN the track's number (00 for audio hidden before track 1).
struct TrackPath {
    std::string disc;
    int number = 0;

    bool operator==(const TrackPath&) const = default;
};

// The path of a track: "/dev/sr0", 3 -> "/dev/sr0/Track03.cda".
std::string formatTrackPath(std::string_view disc, int number);

// The disc and number of a track path ("Track03.cda" in any letter case, one or two digits, 0 to
// 99); nothing for any other path.
std::optional<TrackPath> parseTrackPath(std::string_view path);

// True when the disc of a track path is a cue sheet (it ends in ".cue" in any letter case) rather
// than a drive.
bool isCueSheetPath(std::string_view disc);

} // namespace tunevale
