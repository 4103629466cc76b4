#include "TrackPath.h"

#include <cctype>
#include <cstdio>

namespace tunevale
{

namespace
{

bool endsWithNoCase(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    const std::string_view tail = text.substr(text.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != ending[i])
            return false;
    return true;
}

} // namespace

std::string formatTrackPath(std::string_view disc, int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "Track%02d.cda", number);
    std::string path(disc);
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + name;
}

std::optional<TrackPath> parseTrackPath(std::string_view path)
{
    if (!endsWithNoCase(path, ".cda"))
        return std::nullopt;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return std::nullopt;
    const std::string_view name = path.substr(slash + 1, path.size() - slash - 1 - 4);
    if (name.size() < 6 || name.size() > 7 || !endsWithNoCase(name.substr(0, 5), "track"))
        return std::nullopt;
    int number = 0;
    for (const char c : name.substr(5)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return TrackPath{std::string(path.substr(0, slash)), number};
}

bool isCueSheetPath(std::string_view disc)
{
    return endsWithNoCase(disc, ".cue");
}

} // namespace tunevale
