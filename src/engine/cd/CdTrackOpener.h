#pragma once

#include "CueImage.h"
#include "PcmSource.h"
#include "TrackPath.h"

#include <memory>
#include <string>

namespace tunevale
{

// Opens the track a track path names, as one source with the track's tags: a cue sheet's through
// its album image (its files opened with opener), a drive's by reading the disc securely with the
// drive's read offset (in samples). nullptr with errorCode and a message for the log, as
// CueImage::open, CueImage::openTrack and CdTrackReader::open give them.
std::unique_ptr<PcmSource> openCdTrack(const TrackPath& track, const PcmFileOpener& opener, int readOffset,
                                       int& errorCode, std::string& message);

} // namespace tunevale
