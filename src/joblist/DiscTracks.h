#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// The tracks of discs, for adding them to the list: an audio CD in a drive, or an album image
// described by a cue sheet. Each track is listed under its track path ("<disc>/TrackNN.cda").
class DiscTracks
{
public:
    struct Track {
        std::string path;
        std::string duration; // minutes and seconds from the table of contents, such as "03:07"
    };

    virtual ~DiscTracks() = default;
    // True when the path names a disc (a cue sheet, a drive) rather than a file.
    virtual bool isDisc(const std::string& path) = 0;
    // The disc's audio tracks in order; none, with the reason, when it cannot be read or holds no
    // audio ("No CD in drive: ...").
    virtual std::vector<Track> tracks(const std::string& disc, std::string& reason) = 0;
    // The drives that hold an audio disc now.
    virtual std::vector<std::string> audioDrives() = 0;
};

} // namespace tunevale
