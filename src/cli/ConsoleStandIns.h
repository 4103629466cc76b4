#pragma once

#include "DurationSource.h"
#include "EngineDiscTracks.h"
#include "FileDialogs.h"
#include "JobAdder.h"
#include "JobList.h"
#include "JobSelection.h"
#include "MessageBox.h"
#include "PreviewControl.h"
#include "SelectAllBox.h"

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// Messages go to standard error (unless quiet), with a line break for each carriage return;
// questions are answered with Cancel, as no one is there to ask.
class ConsoleMessages : public MessageBox
{
public:
    explicit ConsoleMessages(bool quiet = false) : m_quiet(quiet) {}
    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    bool m_quiet;
};

// The window's dialogs, select-all box and preview, which the command line does not have.
class NoDialogs : public FileDialogs
{
public:
    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>&, const std::string&, bool) override
    {
        return std::nullopt;
    }
    std::string BrowseForFolder(const std::string&, bool) override { return {}; }
};

class UntickedBox : public SelectAllBox
{
public:
    int value() const override { return 0; }
    void setValue(int) override {}
};

class NoPreview : public PreviewControl
{
public:
    std::string PreviewFilePath() const override { return {}; }
    void stopPreview() override {}
};

// A job list with what adding files to it needs, the window's dialogs, select-all box and preview
// stood in for (declared first: the selection and the adder hold on to them). Cue sheets and
// drives add their tracks.
struct ConsoleJobList {
    ConsoleJobList(DurationSource& durations, MessageBox& messages)
        : selection(jobs, chkSelectAll, preview), adder(jobs, selection, durations, dialogs, messages)
    {
        adder.setDiscTracks(&discs);
    }

    EngineDiscTracks discs;
    NoDialogs dialogs;
    UntickedBox chkSelectAll;
    NoPreview preview;
    JobList jobs;
    JobSelection selection;
    JobAdder adder;
};

// The file's absolute, normalised path, or the name as given when it has none.
std::string absolutePath(const std::string& file);

} // namespace tunevale
