#pragma once

#include "CueImage.h"
#include "DiscToc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunevale
{

// One audio track of a disc, as the list shows it.
struct ListedTrack {
    std::string path; // "<disc>/TrackNN.cda"
    double seconds = 0;
};

// The audio tracks of a disc and its table of contents, for the list and the command line.
struct DiscListing {
    std::vector<ListedTrack> tracks; // data tracks left out
    DiscToc toc;
};

// True when a path names a disc rather than a file to decode: a cue sheet (".cue" in any letter
// case) or a block device.
bool isDiscPath(const std::string& path);

// The audio tracks of a drive's disc (from its table of contents) or of a cue sheet (its files
// opened with opener; the audio before track 1 as track 0 when the sheet lays it out). False with
// errorCode and a message as CdDisc::open and CueImage::open give them, and EngineCode::NotAudio
// when the disc holds no audio track.
bool listDiscTracks(const std::string& disc, const PcmFileOpener& opener, DiscListing& listing, int& errorCode,
                    std::string& message);

// Opens files with every format family of the engine, as the list's and the command line's
// listings of cue sheets do.
PcmFileOpener decodingOpener();

// The drives that hold an audio disc now ("/dev/sr0", ...).
std::vector<std::string> drivesWithAudioDiscs();

} // namespace tunevale
