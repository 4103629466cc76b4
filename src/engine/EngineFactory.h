#pragma once

#include "Engine.h"

#include <memory>

namespace tunevale
{

// The engine on FFmpeg (decoding), SDL2 (output), FluidSynth (MIDI) and the encoder programs.
std::unique_ptr<Engine> makeEngine();

} // namespace tunevale
