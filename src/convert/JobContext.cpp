#include "JobContext.h"

#include "Engine.h"

#include <charconv>

namespace tunevale
{

std::string progressText(float percent)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, percent, std::chars_format::general, 7);
    return std::string(buffer, result.ptr);
}

void reportProgress(JobContext& context, std::uint64_t position, std::uint64_t length)
{
    if (!context.converting() || position == EngineFailure64 || length == EngineFailure64 || length == 0)
        return;
    const float fraction = static_cast<float>(position) / static_cast<float>(length);
    context.setStatus(progressText(fraction * 100.0f), std::nullopt);
}

JobOutcome finishJob(JobContext& context, JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Complete:
        context.setStatus(JobStatus::Complete, JobColour::Complete);
        break;
    case JobOutcome::Cancelled:
        context.setStatus(JobStatus::Cancelled, JobColour::Failed);
        break;
    case JobOutcome::Error:
        context.setStatus(JobStatus::Error, JobColour::Failed);
        break;
    }
    return outcome;
}

} // namespace tunevale
