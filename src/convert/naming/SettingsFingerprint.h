#pragma once

#include "ConversionOptions.h"

#include <string>

namespace tunevale
{

// A text that names everything in the options that shapes an output's bytes: the format, the
// encoder's arguments, the options of the writers without an encoder program, whether tags are
// carried and the loudness choices. Equal options give equal texts; where the output goes is not part
// of it. Empty when no format is chosen.
std::string outputSettingsFingerprint(const ConversionOptions& options);

} // namespace tunevale
