#pragma once

#include "Shell.h"

#include <filesystem>

namespace tunevale
{

class MessageBox;

// The manual's start page for a program in the given folder: beside the executable (the build
// tree) or in the installed data folder; empty when neither exists.
std::filesystem::path findManual(const std::filesystem::path& programFolder);

// The Help button: opens the manual in the browser. When it is missing, or the desktop cannot
// show it (no browser), a message names the file, so that the user can open it some other way.
void openHelp(Shell& shell, MessageBox& messages);

// The web-site label of the about panel: opens the maker's web site.
void openMakerWebSite(Shell& shell);

} // namespace tunevale
