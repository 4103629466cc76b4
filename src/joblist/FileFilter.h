#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunevale
{

// One entry of an open dialog's type list: its label and its file-name patterns ("*.mp3").
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;

    // True when name (a bare file name) matches one of the patterns, regardless of letter case.
    bool matches(std::string_view name) const;
};

// The type lists of the audio and the video open dialogs, first entry chosen at start.
const std::vector<FileFilter>& audioFileFilters();
const std::vector<FileFilter>& videoFileFilters();

} // namespace tunevale
