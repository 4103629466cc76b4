#include "SelectionText.h"

#include <algorithm>

namespace tunevale
{

namespace
{

constexpr char Nul = '\0';

std::vector<std::string> splitAtNul(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(Nul, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool isBelow(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

} // namespace

std::vector<std::string> selectionPaths(const std::string& selection)
{
    auto parts = splitAtNul(selection);
    if (parts.size() == 1)
        return parts;
    std::vector<std::string> paths;
    paths.reserve(parts.size() - 1);
    for (std::size_t i = 1; i < parts.size(); ++i)
        paths.push_back(joinFolderAndName(parts[0], parts[i]));
    return paths;
}

std::string selectionText(const std::vector<std::string>& paths)
{
    if (paths.size() <= 1)
        return paths.empty() ? std::string() : paths.front();

    auto folder = folderOf(paths.front());
    while (!folder.empty() &&
           !std::all_of(paths.begin(), paths.end(), [&](const auto& path) { return isBelow(path, folder); }))
        folder = folder == "/" ? std::string() : folderOf(folder);

    std::string text = folder;
    const auto skip = folder.empty() ? 0 : folder == "/" ? 1 : folder.size() + 1;
    for (const auto& path : paths) {
        text += Nul;
        text += path.substr(skip);
    }
    return text;
}

std::string joinFolderAndName(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

std::string removeNulPairs(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == Nul && i + 1 < text.size() && text[i + 1] == Nul)
            ++i;
        else
            result += text[i];
    }
    return result;
}

void cleanSeparators(std::string& path)
{
    if (path.starts_with("//"))
        return;
    std::string cleaned;
    cleaned.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        cleaned += path[i];
        if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/')
            ++i;
    }
    path = std::move(cleaned);
}

} // namespace tunevale
