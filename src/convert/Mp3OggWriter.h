#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <string>

namespace tunevale
{

class ErrorLog;

// Converts one job to MP3 or OGG Vorbis: the engine decodes the source and feeds it, as a WAV
// header and PCM, to the encoder program of the command, which writes outFile. Ends the job
// "Complete", "Cancelled" (the encoder finishes a shorter file) or "Error"; engine failures and
// a failed encoder (start failure, non-zero exit, killed, no output) append a line to the log.
JobOutcome ConvertToMP3_OGG(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                            const std::string& outFile, const EncoderCommand& command);

} // namespace tunevale
