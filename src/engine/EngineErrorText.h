#pragma once

#include <string>

namespace tunevale
{

// The English sentence for an engine error code; empty for a code without one.
std::string EngineErrorText(int code);

} // namespace tunevale
