#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <string>

namespace tunevale
{

// Converts one job to PCM WAV written by the program itself: the source's sample rate and channel
// count, 16-bit (8-bit for 8-bit sources). Ends the job "Complete", "Cancelled" (a valid, shorter
// file) or "Error" (no file left behind).
JobOutcome ConvertToWAV(Engine& engine, JobContext& context, const std::string& origfile, const std::string& outFile);

} // namespace tunevale
