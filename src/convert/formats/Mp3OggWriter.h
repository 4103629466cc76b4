#pragma once

#include "Engine.h"
#include "JobContext.h"
#include "PendingOutputFile.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

class ErrorLog;

// Converts one job to MP3 or OGG Vorbis: the engine decodes the source and feeds it, as a WAV
// header and PCM, to the encoder program of the command, which writes the pending output. The
// command names the output by output.fileName(); the program runs in the output's private folder.
// Ends "Complete", "Cancelled" (a hung encoder is killed 2 s after its input was closed) or
// "Error"; engine failures and a failed encoder (start failure, non-zero exit, killed, no output)
// append an entry to the log. The caller places or discards the output. The source's tags are
// read into tags when one is given.
JobResult ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                           PendingOutputFile& output, const EncoderCommand& command, SourceTags* tags = nullptr);

} // namespace tunevale
