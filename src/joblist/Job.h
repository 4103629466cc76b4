#pragma once

#include <cstdint>
#include <string>

namespace tunevale
{

// Where a job stands. A run takes the waiting and the cancelled ones.
// UpToDate: the output already held what a conversion would write (or was left as asked), so the
// job was not converted.
// Measuring: a normalised run decodes the job's source to measure it before any job converts.
enum class JobState {
    WaitingConversion,
    Measuring,
    Converting,
    Complete,
    Cancelled,
    Error,
    CodecNotSupported,
    UpToDate
};

// The words the Status cell shows for each state; while a job converts it shows its percentage.
namespace JobStatus
{
inline constexpr const char* WaitingConversion = "Waiting Conversion";
inline constexpr const char* Measuring = "Measuring"; // followed by the percentage measured
inline constexpr const char* CodecNotSupported = "Codec Not Supported";
inline constexpr const char* Complete = "Complete";
inline constexpr const char* Cancelled = "Cancelled";
inline constexpr const char* Error = "Error";
inline constexpr const char* UpToDate = "Up To Date";
} // namespace JobStatus

// The Duration of a file that the engine could not open.
inline constexpr const char* DurationError = "Error";

// One input file of the list.
struct Job {
    std::int32_t ID = 0;       // written as 0, copied on rebuild, read by nobody
    std::int32_t CheckBox = 0; // 0 unticked, any other value ticked (the grid may store -1)
    std::string FilePath;      // unique in the list, compared exactly
    std::string Root;          // the folder it was added from; a file added alone: its own folder
    JobState State = JobState::WaitingConversion;
    float Progress = 0;  // percent done while Converting
    std::string Failure; // why the job last ended "Error", for the view and the command line
    std::string Duration;
    std::string FileSize;
    bool Probed = true; // false while the file waits for its duration from a probe beside the window

    bool ticked() const { return CheckBox != 0; }
    // Whether a run converts this job: it is probed, and it waits or a run was stopped during it.
    bool convertible() const
    {
        return Probed && (State == JobState::WaitingConversion || State == JobState::Cancelled);
    }
};

// Progress in percent as text: the single-precision value with at most 7 significant digits and a
// point as decimal separator whatever the locale ("12.5", "37.51234", "100").
std::string progressText(float percent);

// The Status text of a job: its state's word, or its percentage while it converts.
std::string statusText(const Job& job);

// The columns of the grid, in table order.
enum class JobColumn { ID, CheckBox, FilePath, Status, Duration, FileSize };
inline constexpr int JobColumnCount = 6;

} // namespace tunevale
