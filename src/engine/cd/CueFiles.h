#pragma once

#include <filesystem>
#include <string>

namespace tunevale
{

enum class CueFileCheck {
    Found,
    Missing, // no such file, not even under another audio extension
    Refused, // a device, FIFO, folder or socket, or a file outside the sheet's folder
};

// Finds the file that a cue sheet in folder names. Names are relative to the sheet's folder;
// Windows sheets write "\" between folders. A sheet whose audio was converted after ripping still
// names "Album.wav": when the named file is missing, the one file beside it with the same name
// and an audio extension is taken. Only regular files inside the sheet's folder are read, so that
// a sheet cannot make the program read a device, wait on a FIFO or reach another user's files.
// message says what is wrong for Missing and Refused.
CueFileCheck findCueFile(const std::filesystem::path& folder, const std::string& name, std::filesystem::path& found,
                         std::string& message);

} // namespace tunevale
