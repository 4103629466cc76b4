#pragma once

#include "Engine.h"
#include "JobContext.h"
#include "PendingOutputFile.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

// Converts one job to PCM WAV written by the program itself into the pending output: the source's
// sample rate and channel count, 16-bit (8-bit for 8-bit sources). Ends "Complete", "Cancelled" or
// "Error"; the caller places or discards the output. A source that breaks off is logged.
// The source's tags are read into tags when one is given.
JobResult ConvertToWAV(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                       PendingOutputFile& output, SourceTags* tags = nullptr);

} // namespace tunevale
