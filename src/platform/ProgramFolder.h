#pragma once

#include <filesystem>

namespace tunevale
{

// The folder that holds the running executable, where Tunevale reads what ships with it (encoders
// found beside it, the manual). Nothing is written there: see UserFolder.h.
std::filesystem::path programFolder();

} // namespace tunevale
