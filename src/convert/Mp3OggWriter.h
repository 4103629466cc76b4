#pragma once

#include "ClaimedOutputFile.h"
#include "Engine.h"
#include "JobContext.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

class ErrorLog;

// Converts one job to MP3 or OGG Vorbis: the engine decodes the source and feeds it, as a WAV
// header and PCM, to the encoder program of the command, which writes the claimed output. Ends
// "Complete", "Cancelled" (the encoder finishes a shorter file) or "Error"; engine failures and a
// failed encoder (start failure, non-zero exit, killed, no output) append an entry to the log.
// The source's tags are read into tags when one is given.
JobResult ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                           ClaimedOutputFile& output, const EncoderCommand& command, SourceTags* tags = nullptr);

} // namespace tunevale
