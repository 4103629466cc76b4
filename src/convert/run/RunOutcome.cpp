#include "RunOutcome.h"

namespace tunevale
{

std::vector<RunOutcomePart> runOutcomeParts(const RunSummary& summary)
{
    std::vector<RunOutcomePart> parts;
    const auto add = [&parts](int count, JobState state, const char* what) {
        if (count > 0)
            parts.push_back({state, std::to_string(count) + " " + what});
    };
    add(summary.completed, JobState::Complete, "complete");
    add(summary.upToDate, JobState::UpToDate, "up to date");
    add(summary.failed, JobState::Error, "failed");
    add(summary.cancelled, JobState::Cancelled, "cancelled");
    add(summary.notStarted, JobState::WaitingConversion, "still waiting");
    return parts;
}

std::string runOutcomeText(const RunSummary& summary)
{
    std::string text;
    for (const RunOutcomePart& part : runOutcomeParts(summary))
        text += (text.empty() ? "" : ", ") + part.text;
    return text;
}

} // namespace tunevale
