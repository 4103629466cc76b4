#pragma once

#include "FileDialogs.h"

#include <QString>

class QFileDialog;
class QWidget;

namespace tunevale
{

// The open dialog and the folder browser as QFileDialog, modal over the main window.
class QtFileDialogs : public FileDialogs
{
public:
    explicit QtFileDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>& filters, const std::string& title,
                                              bool multiSelect) override;
    std::string BrowseForFolder(const std::string& title, bool newStyle) override;

    // The dialog's filter text: each label followed by its patterns in parentheses, letter case
    // ignored ("*.mp3" matches "*.[mM][pP]3"), entries joined by ";;".
    static QString filterText(const std::vector<FileFilter>& filters);
    // Sets up an open dialog: title, type list (showing the labels alone, the patterns hidden),
    // existing files only, one or several.
    static void setUpOpenDialog(QFileDialog& dialog, const std::vector<FileFilter>& filters, const std::string& title,
                                bool multiSelect);

private:
    QWidget* m_owner;
};

} // namespace tunevale
