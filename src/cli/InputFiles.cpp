#include "InputFiles.h"

#include "AcceptedExtensions.h"
#include "ConsoleStandIns.h"
#include "FolderListing.h"
#include "TerminalText.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace tunevale
{

namespace
{

constexpr std::size_t NamesShown = 3;

void addFolder(const std::filesystem::path& root, const std::filesystem::path& folder, bool recursive,
               std::set<std::filesystem::path>& seen, InputFiles& inputs)
{
    std::error_code error;
    const auto canonical = std::filesystem::canonical(folder, error);
    if (error) {
        inputs.unread.push_back(folder.string() + ": " + error.message());
        return;
    }
    if (!seen.insert(canonical).second)
        return;
    for (const auto& name : ListFolderFiles(folder.string())) {
        if (!hasAcceptedExtension(name)) {
            inputs.leftOut.push_back((folder / name).string());
            continue;
        }
        inputs.files.push_back((folder / name).string());
        inputs.roots.push_back(root.string());
    }
    if (recursive)
        for (const auto& name : ListSubFolders(folder.string()))
            addFolder(root, folder / name, recursive, seen, inputs);
}

} // namespace

InputFiles expandInputs(const std::vector<std::string>& arguments, bool recursive)
{
    InputFiles inputs;
    std::set<std::filesystem::path> seen;
    for (const auto& argument : arguments) {
        const std::string path = absolutePath(argument);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            const auto folder = std::filesystem::path(path).lexically_normal();
            addFolder(folder, folder, recursive, seen, inputs);
        } else {
            inputs.files.push_back(path);
            inputs.roots.push_back(std::filesystem::path(path).parent_path().string());
        }
    }
    return inputs;
}

std::string leftOutLine(const std::vector<std::string>& leftOut)
{
    std::string line = std::to_string(leftOut.size()) + (leftOut.size() == 1 ? " file" : " files") +
                       " left out: not a type the list takes: ";
    for (std::size_t i = 0; i < leftOut.size() && i < NamesShown; ++i)
        line += (i ? ", " : "") + escapedText(std::filesystem::path(leftOut[i]).filename().string());
    if (leftOut.size() > NamesShown)
        line += ", ...";
    return line;
}

} // namespace tunevale
