#include "AcceptedExtensions.h"

#include "AsciiCase.h"

namespace tunevale
{

namespace
{

std::string lastThreeLower(std::string_view path)
{
    return asciiLower(path.substr(path.size() < 3 ? 0 : path.size() - 3));
}

} // namespace

std::string fileExtension(std::string_view path)
{
    const auto slash = path.rfind('/');
    const auto name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

bool hasAcceptedExtension(std::string_view path)
{
    const auto extension = fileExtension(path);
    if (extension.empty())
        return false;
    return asciiLower(AcceptedExtensions).find("." + asciiLower(extension)) != std::string::npos;
}

bool isCdTrack(std::string_view path)
{
    return lastThreeLower(path) == "cda";
}

bool isWindowsMediaFile(std::string_view path)
{
    const auto ending = lastThreeLower(path);
    return ending == "wma" || ending == "asf" || ending == "wmv";
}

} // namespace tunevale
