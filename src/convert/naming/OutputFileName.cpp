#include "OutputFileName.h"

#include "MessageBox.h"
#include "OutputSettings.h"
#include "cd/TrackPath.h"

#include <filesystem>
#include <system_error>

namespace tunevale
{

namespace
{

constexpr int kLastNumberedCandidate = 10000;
const std::string kConverted = "_Converted";

std::string parentFolder(const std::string& path)
{
    const auto separator = path.rfind('/');
    if (separator == std::string::npos)
        return {};
    // A file directly in the root keeps the root's separator.
    return separator == 0 ? "/" : path.substr(0, separator);
}

std::string baseName(const std::string& path)
{
    const auto separator = path.rfind('/');
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

bool isFolder(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// Whether the name is taken by anything but a folder: a file, a link (even a broken one), a pipe.
// Writing through any of those could reach something of the user's.
bool fileExists(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return false;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

} // namespace

std::optional<std::string> outputFolderFor(const std::string& sourceFile, bool sameFolder, const std::string& outPath)
{
    // A CD track's own folder is its disc: the track goes beside the cue sheet (or the drive).
    const std::optional<TrackPath> track = parseTrackPath(sourceFile);
    const std::string folder = sameFolder ? parentFolder(track ? track->disc : sourceFile) : outPath;
    if (!isFolder(folder)) {
        std::error_code error;
        if (folder.empty() || !std::filesystem::create_directory(folder, error) || error)
            return std::nullopt;
    }
    return folder;
}

std::string firstOutputName(const std::string& folder, const std::string& sourceFile, const std::string& extension,
                            const std::function<bool(const std::string& candidate)>& take)
{
    return firstOutputNameOfBase(folder, baseName(sourceFile), extension, take);
}

std::string firstOutputNameOfBase(const std::string& folder, std::string base, const std::string& extension,
                                  const std::function<bool(const std::string& candidate)>& take)
{
    const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
    const std::string suffix = "." + extension;

    std::string candidate = prefix + base + suffix;
    if (take(candidate))
        return candidate;

    if (!base.ends_with(kConverted)) {
        base += kConverted;
        candidate = prefix + base + suffix;
        if (take(candidate))
            return candidate;
    }

    for (int i = 0; i <= kLastNumberedCandidate; ++i) {
        candidate = prefix + base + "_" + std::to_string(i) + suffix;
        if (take(candidate))
            return candidate;
    }
    return {};
}

OutputFileName GetOutputFileName(const std::string& sourceFile, const std::string& extension,
                                 const OutputSettings& settings, MessageBox& messageBox)
{
    const std::optional<std::string> folder =
        outputFolderFor(sourceFile, settings.optSameFolder.value, settings.txtOutPath.text);
    if (!folder)
        return {OutputFileName::Outcome::FolderCreationFailed, {}};
    if (!isFolder(*folder)) {
        messageBox.show("Output Folder is not exist and can not be created.", "Tunevale", MessageIcon::Critical,
                        MessageButtons::Ok);
        return {OutputFileName::Outcome::EmptyName, {}};
    }
    std::string name = firstOutputName(*folder, sourceFile, extension,
                                       [](const std::string& candidate) { return !fileExists(candidate); });
    if (name.empty())
        return {OutputFileName::Outcome::EmptyName, {}};
    return {OutputFileName::Outcome::Name, std::move(name)};
}

} // namespace tunevale
