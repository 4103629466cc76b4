#pragma once

#include <optional>
#include <string_view>

namespace tunevale
{

// The playing time of a Standard MIDI File in seconds, up to its last event, following the
// tempo map; nothing when the bytes are not a well-formed MIDI file.
std::optional<double> midiDurationSeconds(std::string_view smf);

} // namespace tunevale
