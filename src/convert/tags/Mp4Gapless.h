#pragma once

#include <optional>
#include <string>

namespace tunevale
{

// The iTunes gapless note ("iTunSMPB") of an AAC track in an M4A file, read off the file's own
// sample tables: the encoder's delay (the edit list's media time), the padding of its last frame
// and the track's length in samples. Apple's players need the note to play a track gaplessly; the
// edit list alone says the same to others. None when the file has no AAC track with an edit list,
// or cannot be read.
std::optional<std::string> aacGaplessNote(const std::string& path);

} // namespace tunevale
