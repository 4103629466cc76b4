#pragma once

#include "LibraryRecords.h"

#include <optional>
#include <string>

namespace tunevale
{

// What an output was made from, kept with the file in an extended attribute: the source's stamp,
// the output's own stamp when it was finished and the fingerprint of the settings. A later run that
// updates outputs tells from it whether an output still holds what a conversion would write; a
// sync, whether an output it finds is the one it made when a crash came before its database knew.
struct OutputOrigin {
    FileStamp source;
    FileStamp output;
    std::string settings;
    bool operator==(const OutputOrigin&) const = default;
};

// Records the origin on the finished file at path, with the file's stamp as it is now; false when
// the file system keeps no such attributes (FAT, some network ones), which is no failure of the job.
bool writeOutputOrigin(const std::string& path, const FileStamp& source, const std::string& settings);

// The origin recorded on the file at path; nullopt when there is none or it cannot be read.
std::optional<OutputOrigin> readOutputOrigin(const std::string& path);

// Whether the output at outputPath is up to date for the source: made from the source as it is now
// with these settings by its record; without a record, not older than the source (settings changes
// are then not seen).
bool outputUpToDate(const std::string& sourcePath, const std::string& outputPath, const std::string& settings);

} // namespace tunevale
