#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tunevale
{

class MessageBox;
struct OutputSettings;

// What GetOutputFileName found for one job.
struct OutputFileName {
    enum class Outcome {
        Name,                 // path holds a name that no file holds yet
        EmptyName,            // no name could be given: the job ends as "Error" before any writer starts
        FolderCreationFailed, // the missing output folder could not be created: the job keeps its Status
    };
    Outcome outcome = Outcome::EmptyName;
    std::string path; // empty unless outcome is Name
};

// Chooses the output path for sourceFile (a full "/" path) with the extension ("wav", "wma", "mp3",
// "ogg"): the source's folder or txtOutPath by optSameFolder, created when missing (one level), then
// the first free name of base, base_Converted, base_Converted_0 ... base_Converted_10000.
// A folder that still does not exist after creation is reported through messageBox. UI thread.
OutputFileName GetOutputFileName(const std::string& sourceFile, const std::string& extension,
                                 const OutputSettings& settings, MessageBox& messageBox);

// The output folder of a source: its own folder (sameFolder) or outPath, created when missing (one
// level); nothing when there is none and it could not be created. UI thread, as it may touch
// folders the user is looking at.
std::optional<std::string> outputFolderFor(const std::string& sourceFile, bool sameFolder, const std::string& outPath);

// Offers the names an output may take in folder, in order (base, base_Converted, base_Converted_0
// ... base_Converted_10000), until take returns true; the name taken, or "" when none was.
std::string firstOutputName(const std::string& folder, const std::string& sourceFile, const std::string& extension,
                            const std::function<bool(const std::string& candidate)>& take);
// The same for an output whose base name (without extension) is given rather than its source's.
std::string firstOutputNameOfBase(const std::string& folder, std::string base, const std::string& extension,
                                  const std::function<bool(const std::string& candidate)>& take);

} // namespace tunevale
