#pragma once

#include "ClaimedOutputFile.h"
#include "Engine.h"
#include "JobContext.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

// Converts one job to PCM WAV written by the program itself into the claimed output: the source's
// sample rate and channel count, 16-bit (8-bit for 8-bit sources). Ends "Complete", "Cancelled" (a
// valid, shorter file) or "Error" (no file left behind); a source that breaks off is logged.
// The source's tags are read into tags when one is given.
JobResult ConvertToWAV(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                       ClaimedOutputFile& output, SourceTags* tags = nullptr);

} // namespace tunevale
