#pragma once

#include "Engine.h"
#include "MessageBox.h"

#include <array>
#include <string>

namespace tunevale
{

// The plug-in file names, in the order they are loaded.
const std::array<const char*, 14>& enginePluginNames();

// Opens the engine for output (device 1, 44100 Hz), tells the user in a dialog when that fails,
// loads the format plug-ins and fills WMATagNames. Returns whether start-up goes on: false after
// every failure but "already initialised".
bool InitAudioEngine(Engine& engine, MessageBox& messages, std::array<std::string, 8>& WMATagNames);

} // namespace tunevale
