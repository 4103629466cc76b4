#include "OutputFileName.h"

#include "MessageBox.h"
#include "OutputSettings.h"

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

OutputFileName GetOutputFileName(const std::string& sourceFile, const std::string& extension,
                                 const OutputSettings& settings, MessageBox& messageBox)
{
    std::string folder = settings.optSameFolder.value ? parentFolder(sourceFile) : settings.txtOutPath.text;

    if (!isFolder(folder)) {
        std::error_code error;
        if (folder.empty() || !std::filesystem::create_directory(folder, error) || error)
            return {OutputFileName::Outcome::FolderCreationFailed, {}};
    }
    if (!isFolder(folder)) {
        messageBox.show("Output Folder is not exist and can not be created.", "Tunevale", MessageIcon::Critical,
                        MessageButtons::Ok);
        return {OutputFileName::Outcome::EmptyName, {}};
    }

    std::string base = baseName(sourceFile);
    if (folder.back() != '/')
        folder += '/';
    const std::string suffix = "." + extension;

    std::string candidate = folder + base + suffix;
    if (!fileExists(candidate))
        return {OutputFileName::Outcome::Name, candidate};

    if (!base.ends_with(kConverted)) {
        base += kConverted;
        candidate = folder + base + suffix;
        if (!fileExists(candidate))
            return {OutputFileName::Outcome::Name, candidate};
    }

    for (int i = 0; i <= kLastNumberedCandidate; ++i) {
        candidate = folder + base + "_" + std::to_string(i) + suffix;
        if (!fileExists(candidate))
            return {OutputFileName::Outcome::Name, candidate};
    }
    return {OutputFileName::Outcome::EmptyName, {}};
}

} // namespace tunevale
