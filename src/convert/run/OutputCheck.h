#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <optional>
#include <string>

namespace tunevale
{

class ErrorLog;

// Checks the file a job wrote before it is tagged and kept: the engine opens it as the audio it
// claims to be and reads its exact length (from a header its size backs up, else by decoding it),
// which is compared with what the source stream delivered into it. For a job that ended
// "Complete", a file that does not decode or that is more than 1 % short (a tenth of a second for
// short files) is an "Error", logged; nothing otherwise. The caller removes the file on an error.
std::optional<JobResult> checkOutput(Engine& engine, EngineHandle source, JobOutcome outcome,
                                     const std::string& outFile, const std::string& origfile, ErrorLog& log);

// The end of a job whose output is written and closed: the output checked as checkOutput does
// (unless check is false: an output the encoder verified itself), then the source stream stopped
// and freed. The job's result: outcome, or the check's error.
JobResult endJob(Engine& engine, EngineHandle source, JobOutcome outcome, const std::string& outFile,
                 const std::string& origfile, ErrorLog& log, bool check = true);

} // namespace tunevale
