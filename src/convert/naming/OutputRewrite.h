#pragma once

#include "ConversionOptions.h"
#include "LibraryRecords.h"
#include "OutputTags.h"
#include "SourceTags.h"

#include <optional>
#include <string>

namespace tunevale
{

// Rewrites the tags of a finished output from its source's tags without encoding again: a copy of
// the output is tagged in a private folder beside it, recorded as made from the source (stamp
// sourceStamp, settings fingerprint) and then put in its place in one step, so the name holds the
// old file or the complete new one at every moment. False with error set when the output is as it was.
bool retagOutput(const std::string& outputPath, const ConversionOptions& options, const SourceTags& tags,
                 const FileStamp& sourceStamp, const std::string& fingerprint, std::string& error);

// Sets the gain tags of a finished output the same way, through a copy placed over it in one step;
// with sourceStamp the copy is recorded as made from the source with those settings.
bool regainOutput(const std::string& outputPath, OutputTagFormat format, const GainTags& gains,
                  const std::optional<FileStamp>& sourceStamp, const std::string& fingerprint, std::string& error,
                  OtherGains others = OtherGains::Kept);

// Copies the file at sourcePath to outputPath (its folders made as needed) with the source's
// modification time, through a private folder beside it: placed over what holds the name when
// replace, else only where nothing does. False with error set when nothing was placed.
bool copyFileInto(const std::string& sourcePath, const std::string& outputPath, bool replace, std::string& error);

} // namespace tunevale
