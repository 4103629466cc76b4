#pragma once

#include "FileFilter.h"

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// The open dialog and the folder browser of the window; UI thread, modal.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The chosen files as a selection text (see SelectionText.h), nothing when cancelled or failed.
    virtual std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>& filters, const std::string& title,
                                                      bool multiSelect) = 0;
    // The chosen folder's path, empty when cancelled or when the choice is not a folder.
    virtual std::string BrowseForFolder(const std::string& title, bool newStyle) = 0;
};

} // namespace tunevale
