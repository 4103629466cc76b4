#include "Job.h"

#include <charconv>

namespace tunevale
{

std::string progressText(float percent)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, percent, std::chars_format::general, 7);
    return std::string(buffer, result.ptr);
}

std::string statusText(const Job& job)
{
    switch (job.State) {
    case JobState::WaitingConversion:
        return JobStatus::WaitingConversion;
    case JobState::Measuring:
        return std::string(JobStatus::Measuring) + ' ' + progressText(job.Progress) + '%';
    case JobState::Converting:
        return progressText(job.Progress);
    case JobState::Complete:
        return JobStatus::Complete;
    case JobState::Cancelled:
        return JobStatus::Cancelled;
    case JobState::Error:
        return JobStatus::Error;
    case JobState::CodecNotSupported:
        return JobStatus::CodecNotSupported;
    case JobState::UpToDate:
        return JobStatus::UpToDate;
    }
    return {};
}

} // namespace tunevale
