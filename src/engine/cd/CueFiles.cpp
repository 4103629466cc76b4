#include "CueFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>
#include <vector>

namespace tunevale
{

namespace fs = std::filesystem;

namespace
{

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isAudioExtension(const std::string& extension)
{
    static const std::array<std::string, 15> Extensions = {".flac", ".wav", ".ape", ".wv",   ".ogg",
                                                           ".mp3",  ".m4a", ".tta", ".aiff", ".aif",
                                                           ".opus", ".wma", ".bin", ".mpc",  ".ofr"};
    return std::find(Extensions.begin(), Extensions.end(), lower(extension)) != Extensions.end();
}

// The one audio file in path's folder with path's stem and another extension; empty when there is
// none or more than one.
fs::path sameStemAudio(const fs::path& path)
{
    std::error_code error;
    std::vector<fs::path> candidates;
    const std::string stem = lower(path.stem().string());
    for (fs::directory_iterator it(path.parent_path(), error), end; !error && it != end; it.increment(error)) {
        const fs::path& entry = it->path();
        if (lower(entry.stem().string()) == stem && isAudioExtension(entry.extension().string()))
            candidates.push_back(entry);
    }
    return candidates.size() == 1 ? candidates.front() : fs::path{};
}

bool inside(const fs::path& path, const fs::path& folder)
{
    auto [folderEnd, pathAt] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return folderEnd == folder.end() && pathAt != path.end();
}

} // namespace

CueFileCheck findCueFile(const fs::path& folder, const std::string& name, fs::path& found, std::string& message)
{
    std::string portable = name;
    const fs::path literal = fs::path(name).is_absolute() ? fs::path(name) : folder / name;
    std::error_code error;
    if (!fs::exists(literal, error))
        std::replace(portable.begin(), portable.end(), '\\', '/');
    const fs::path named(portable);
    for (const fs::path& part : named)
        if (part == "..") {
            message = "\"" + name + "\" lies outside the cue sheet's folder";
            return CueFileCheck::Refused;
        }
    if (named.is_absolute() && !inside(named.lexically_normal(), folder.lexically_normal())) {
        message = "\"" + name + "\" lies outside the cue sheet's folder";
        return CueFileCheck::Refused;
    }
    fs::path path = named.is_absolute() ? named : folder / named;
    if (!fs::exists(fs::symlink_status(path, error)) && !fs::exists(path, error)) {
        const fs::path other = sameStemAudio(path);
        if (other.empty()) {
            message = "\"" + name + "\" is missing";
            return CueFileCheck::Missing;
        }
        path = other;
    }
    const fs::path real = fs::weakly_canonical(path, error);
    const fs::path realFolder = fs::weakly_canonical(folder, error);
    if (error || !inside(real, realFolder)) {
        message = "\"" + name + "\" lies outside the cue sheet's folder";
        return CueFileCheck::Refused;
    }
    const fs::file_status status = fs::status(real, error);
    if (!fs::exists(status)) {
        message = "\"" + name + "\" is missing";
        return CueFileCheck::Missing;
    }
    if (!fs::is_regular_file(status)) {
        message = "\"" + name + "\" is not a regular file";
        return CueFileCheck::Refused;
    }
    found = real;
    return CueFileCheck::Found;
}

} // namespace tunevale
