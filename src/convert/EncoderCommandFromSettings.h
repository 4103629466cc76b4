#pragma once

#include "EncoderCommandLine.h"

#include <optional>
#include <string>

namespace tunevale
{

struct OutputSettings;

// The encoder command of an MP3, "Ipod Default" or OGG job, chosen by optFileFormat in that order
// (MP3: constant, else average, else variable bitrate; OGG: variable, else constant bitrate), with
// the values of the settings panel; nothing when none of the three members is set.
std::optional<EncoderCommandLine> encoderCommandFromSettings(const OutputSettings& settings,
                                                             const std::string& outFile);

} // namespace tunevale
