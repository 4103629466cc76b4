#include "FileFilter.h"

#include "AsciiCase.h"

namespace tunevale
{

namespace
{

// Wildcard match of "*" (any run) and "?" (one character), letters compared without case.
bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || asciiLower(pattern[p]) == asciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool FileFilter::matches(std::string_view name) const
{
    for (const auto& pattern : patterns)
        if (wildcardMatch(pattern, name))
            return true;
    return false;
}

const std::vector<FileFilter>& audioFileFilters()
{
    static const std::vector<FileFilter> filters{
        {"All Supported Audio Formats",
         {"*.cda",  "*.wav", "*.wma", "*.mp1",  "*.mp2", "*.mp3", "*.mp4",  "*.ogg",  "*.aac", "*.alac",
          "*.flac", "*.ac3", "*.spx", "*.mpc",  "*.tta", "*.ape", "*.ofr",  "*.midi", "*.adx", "*.mod",
          "*.mo3",  "*.m4a", "*.m4b", "*.opus", "*.oga", "*.aif", "*.aiff", "*.aifc", "*.wv",  "*.webm",
          "*.mka",  "*.mkv", "*.caf", "*.w64",  "*.xm",  "*.it",  "*.s3m", "*.cue"}},
        {"Common Audio Files(*.wav,*.wma,*.mp3,*.ogg)", {"*.wav", "*.wma", "*.mp3", "*.ogg"}},
        {"MPEG Files(.mp1,*.mp2,*.mp3,*.mp4)", {"*.mp1", "*.mp2", "*.mp3", "*.mp4"}},
        {"CD Audio Tracks(*.cda)", {"*.cda"}},
        {"Windows Media Audio Files(*.wma)", {"*.wma"}},
        {"Ogg Vorbis Files(*.ogg)", {"*.ogg"}},
        {"MOD Files(*.mod)", {"*.mod"}},
        {"MO3 Files(*.mo3)", {"*.mo3"}},
        {"Apple Lossless Audio Codec Files(*.alac)", {"*.alac"}},
        {"Advanced Audio Coding Files(*.aac)", {"*.aac"}},
        {"Dolby Digital Files(*.ac3)", {"*.ac3"}},
        // Musepack is offered by the first entry and accepted when added, so it gets its own entry.
        {"Musepack Files(*.mpc)", {"*.mpc"}},
        {"Monkey's Audio Files(*.ape)", {"*.ape"}},
        {"OptimFROG Files(*.ofr)", {"*.ofr"}},
        {"Speex Files(*.spx)", {"*.spx"}},
        {"True Audio Files(*.tta)", {"*.tta"}},
        {"Free Lossless Audio Codec Files(*.flac)", {"*.flac"}},
        {"MIDI Files(*.midi)", {"*.midi"}},
        {"WavPack Encoded Files(*.wv)", {"*.wv"}},
        {"ADX Files(*.adx)", {"*.adx"}},
    };
    return filters;
}

const std::vector<FileFilter>& videoFileFilters()
{
    static const std::vector<FileFilter> filters{
        {"All Supported Video Formats",
         {"*.wmv", "*.asf", "*.avi", "*.mpg", "*.mp2", "*.mpeg", "*.mp4", "*.mov", "*.dat"}},
        {"MPEG Files(.mpg,*.mpeg,*.mp2,*.mp4)", {"*.mpg", "*.mp2", "*.mpeg", "*.mp4"}},
        {"Windows Media Files(*.wmv,*.asf)", {"*.wmv", "*.asf"}},
        {"AVI Files(*.avi)", {"*.avi"}},
        {"QuickTime Files-Ver2 or less(*.mov)", {"*.mov"}},
    };
    return filters;
}

} // namespace tunevale
