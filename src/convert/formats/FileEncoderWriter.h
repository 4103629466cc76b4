#pragma once

#include "Engine.h"
#include "JobContext.h"
#include "PendingOutputFile.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

// Converts one job with the engine's in-process encoder (FLAC, Opus, AAC, ALAC, AIFF, WavPack) into
// the pending output. Lossless codecs get the source at its own resolution and, with
// setup.verify, end "Complete" only when the finished file decodes back to the very PCM that was
// encoded (a "Complete" result then means verified): a mismatch is an "Error", logged. Lossy outputs are checked for
// their length. The caller places or discards the output. The source's tags are read into tags when one is given.
JobResult ConvertWithFileEncoder(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                                 PendingOutputFile& output, const EncodeSetup& setup, SourceTags* tags = nullptr);

} // namespace tunevale
