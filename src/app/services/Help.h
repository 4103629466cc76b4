#pragma once

#include "Shell.h"

#include <filesystem>

namespace tunevale
{

// The manual's start page for a program in the given folder: beside the executable (the build
// tree) or in the installed data folder; empty when neither exists.
std::filesystem::path findManual(const std::filesystem::path& programFolder);

// The Help button: opens the manual in the browser. Nothing is reported when that fails.
void openHelp(Shell& shell);

// The web-site label of the about panel: opens the maker's web site.
void openMakerWebSite(Shell& shell);

} // namespace tunevale
