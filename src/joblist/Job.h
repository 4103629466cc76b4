#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

// A text colour as 0x00BBGGRR: red in the low byte, green in the second, blue in the third.
using CellColour = std::uint32_t;

constexpr CellColour rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return CellColour(red) | CellColour(green) << 8 | CellColour(blue) << 16;
}

namespace JobColour
{
inline constexpr CellColour Complete = rgb(113, 177, 98);
inline constexpr CellColour Failed = rgb(220, 10, 10); // "Cancelled", "Error", "Codec Not Supported"
} // namespace JobColour

// The words a job's Status holds; while a job converts it holds a decimal percentage instead.
namespace JobStatus
{
inline constexpr const char* WaitingConversion = "Waiting Conversion";
inline constexpr const char* CodecNotSupported = "Codec Not Supported";
inline constexpr const char* Complete = "Complete";
inline constexpr const char* Cancelled = "Cancelled";
inline constexpr const char* Error = "Error";
} // namespace JobStatus

// The Duration of a file that the engine could not open.
inline constexpr const char* DurationError = "Error";

// One input file of the list.
struct Job {
    std::int32_t ID = 0;       // written as 0, copied on rebuild, read by nobody
    std::int32_t CheckBox = 0; // 0 unticked, any other value ticked (the grid may store -1)
    std::string FilePath;      // unique in the list, compared exactly
    std::string Status;
    std::string Duration;
    std::string FileSize;

    // Text colours of the Status and Duration cells, unset for the grid's own. They belong to the
    // cells shown, not to the record: rebuilding the list does not carry them over.
    std::optional<CellColour> statusColour;
    std::optional<CellColour> durationColour;

    bool ticked() const { return CheckBox != 0; }
};

// The columns of the grid, in table order.
enum class JobColumn { ID, CheckBox, FilePath, Status, Duration, FileSize };
inline constexpr int JobColumnCount = 6;

} // namespace tunevale
