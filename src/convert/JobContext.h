#pragma once

#include "Job.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

enum class JobOutcome { Complete, Cancelled, Error };

// What a writer may touch while it converts one job: that job's Status, the event pump and the
// run's flags. Called on the thread that runs the writer.
class JobContext
{
public:
    virtual ~JobContext() = default;
    // Writes the job's Status text; a colour also sets its fore colour, none keeps it.
    virtual void setStatus(const std::string& text, std::optional<CellColour> colour) = 0;
    // Lets the window handle pending events (a "Stop" click among them).
    virtual void processEvents() = 0;
    // bCancelConversion: "Stop" was clicked.
    virtual bool cancelRequested() const = 0;
    // bConverting: a run is active, so progress may be written.
    virtual bool converting() const = 0;
};

// Progress in percent as Status text: the single-precision value with at most 7 significant
// digits and a point as decimal separator whatever the locale ("12.5", "37.51234", "100").
std::string progressText(float percent);

// Writes position ÷ length × 100 as the job's progress, when a run is active and both counts are
// usable (a failed position, an unknown or zero length write nothing).
void reportProgress(JobContext& context, std::uint64_t position, std::uint64_t length);

// Writes the final word of a job in its colour and returns the outcome.
JobOutcome finishJob(JobContext& context, JobOutcome outcome);

} // namespace tunevale
