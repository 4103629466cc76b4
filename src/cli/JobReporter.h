#pragma once

#include "RunLoudness.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// How one job of a run ended.
struct JobReport {
    std::string source, output; // output: the written file, empty when there is none
    // Kept: a sync left a file as it was (its source gone, or changed by the user).
    enum class Outcome { Complete, Error, Cancelled, Refused, Waiting, UpToDate, Kept } outcome = Outcome::Error;
    double seconds = 0;      // time the job took, 0 for jobs that never started
    std::string error;       // why the job did not complete, empty when it did
    std::string warning;     // what a completed job's output lacks ("tags not written: ..."), else empty
    std::string action = {}; // a sync's action ("convert", "retag", "album-gain", "move", "delete", ...), else empty
    bool verified = {};      // the lossless output was decoded back and holds exactly the audio encoded
    std::optional<JobLoudness> loudness = {}; // what a complete job measured, when it was measured
    std::string accurateRip = {}; // a disc track's AccurateRip verdict ("accurate (confidence 12)", ...), else empty
};

// Where a run stands.
struct BatchProgress {
    std::size_t done = 0;               // jobs ended
    std::size_t total = 0;              // jobs of the run
    std::vector<double> running;        // percentages of the jobs converting now
    double elapsed = 0;                 // seconds since the run began
    std::vector<double> measuring = {}; // percentages of the sources a normalised run is measuring now
};

// "Complete", "Error", "Cancelled", "Refused", "Waiting", "Up To Date" or "Kept".
const char* outcomeText(JobReport::Outcome outcome);

// The live status text: files done of total, the percentages of the sources being measured and of
// the running jobs, the elapsed time and, once something is converted, an estimate of the time left.
std::string statusText(const BatchProgress& progress);

// Prints a run's job ends as they happen: one tab-separated line per job (status, the action when
// there is one, source, then the
// output or the reason it failed, then for a job completed with a warning "warning: " and the
// warning, each escaped by escapedText), or one JSON object per line (paths that are not UTF-8 also
// as their exact bytes, "source_bytes" and "output_bytes" in base64; a measured job's loudness as
// "loudness": integrated, range, peak, peakKind, trackGain, trackPeak, appliedGain). On a terminal a status line,
// rewritten in place, shows the progress and is cleared before each job line. Single thread.
class JobReporter
{
public:
    enum class Style { Lines, Json };

    // failuresOnly: jobs that completed are not printed. liveStatus: out is a terminal.
    JobReporter(std::FILE* out, Style style, bool failuresOnly, bool liveStatus);

    void jobEnded(const JobReport& report);
    void progress(const BatchProgress& progress);
    // Clears the status line; call once the run has ended.
    void finish();

private:
    void clearStatus();

    std::FILE* m_out;
    Style m_style;
    bool m_failuresOnly;
    bool m_liveStatus;
    std::string m_shownStatus;
    std::size_t m_shownDone = 0;
    std::chrono::steady_clock::time_point m_shownAt;
};

} // namespace tunevale
