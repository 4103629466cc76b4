#include "JobAdder.h"

#include "AcceptedExtensions.h"
#include "DurationSource.h"
#include "FileDialogs.h"
#include "FileSizeText.h"
#include "FolderListing.h"
#include "FolderTree.h"
#include "JobList.h"
#include "JobSelection.h"
#include "MessageBox.h"
#include "ProbeQueue.h"
#include "SelectionText.h"

#include <filesystem>
#include <system_error>

namespace tunevale
{

namespace
{

constexpr const char* Title = "Tunevale";
constexpr const char* RefusedWarning = "Some files are not supported or already exist and will not be added";
constexpr const char* EmptyFolderWarning = "Selected Folder is empty.";
constexpr const char* AddErrorText = "An error occured while Adding File";
constexpr const char* UnreadableFoldersWarning = "These folders could not be read and were skipped:";
constexpr std::size_t UnreadableFoldersNamed = 10;

} // namespace

JobAdder::JobAdder(JobList& jobs, JobSelection& selection, DurationSource& durations, FileDialogs& dialogs,
                   MessageBox& messages)
    : m_jobs(jobs), m_selection(selection), m_durations(durations), m_dialogs(dialogs), m_messages(messages)
{
}

void JobAdder::AddAudioFiles(const std::string& sList)
{
    if (!sList.empty()) {
        addSelection(sList);
        return;
    }
    const auto answer = m_dialogs.ShowOpenDialog(audioFileFilters(), "Select one or more audio files", true);
    if (answer)
        addSelection(removeNulPairs(*answer));
}

void JobAdder::AddVideoFiles()
{
    const auto answer = m_dialogs.ShowOpenDialog(videoFileFilters(), "Select one or more video files", true);
    if (answer)
        addSelection(removeNulPairs(*answer));
}

bool JobAdder::addSelectionPaths(const std::string& selection, const std::string& root)
{
    bool refused = false;
    for (auto path : selectionPaths(selection))
        refused |= !AddFile2Grid(path, root);
    return refused;
}

void JobAdder::addSelection(const std::string& selection)
{
    if (addSelectionPaths(selection, {}))
        warn(RefusedWarning);
}

void JobAdder::addDroppedFiles(const std::vector<std::string>& paths)
{
    for (auto path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            addTree(path, true, false);
        else
            AddFile2Grid(path);
    }
}

void JobAdder::addFolder(bool includeSubFolders)
{
    auto folder = m_dialogs.BrowseForFolder("Select folder to add", false);
    StripNulls(folder);
    if (!folder.empty())
        addFolderFiles(folder, includeSubFolders);
}

void JobAdder::addFolderFiles(const std::string& folder, bool includeSubFolders)
{
    addTree(folder, includeSubFolders, true);
}

void JobAdder::addTree(const std::string& folder, bool includeSubFolders, bool warnRefused)
{
    const FolderTree tree = listFolderTree(folder, includeSubFolders);
    if (!tree.unreadable.empty()) {
        std::string text = UnreadableFoldersWarning;
        for (std::size_t i = 0; i < tree.unreadable.size() && i < UnreadableFoldersNamed; ++i)
            text += "\n" + tree.unreadable[i];
        if (tree.unreadable.size() > UnreadableFoldersNamed)
            text += "\n...";
        warn(text);
    }
    if (tree.files.empty()) {
        if (warnRefused && tree.unreadable.empty())
            warn(EmptyFolderWarning);
        return;
    }
    // NUL cannot occur in a file name, so unlike any printable separator it cannot split one.
    std::string selection = folder;
    for (const auto& name : tree.files)
        selection += '\0' + name;
    if (addSelectionPaths(selection, folder) && warnRefused)
        warn(RefusedWarning);
}

void JobAdder::addOpenedPaths(const std::vector<std::string>& paths, bool includeSubFolders)
{
    for (auto path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            addFolderFiles(path, includeSubFolders);
        else
            AddFile2Grid(path);
    }
}

bool JobAdder::AddFile2Grid(std::string& sFilePath, const std::string& root)
{
    cleanSeparators(sFilePath);
    if (m_jobs.FileInList(sFilePath) || !hasAcceptedExtension(sFilePath))
        return false;

    Job job;
    job.FilePath = sFilePath;
    job.Root = root.empty() ? std::filesystem::path(sFilePath).parent_path().string() : root;
    job.Probed = !m_background;
    if (job.Probed)
        job.Duration = m_durations.GetDurationText(sFilePath);
    if (isCdTrack(sFilePath)) {
        job.FileSize = "CD Track";
    } else {
        std::error_code error;
        const auto size = std::filesystem::file_size(sFilePath, error);
        if (error) {
            m_messages.show(std::string(AddErrorText) + "\r" + std::to_string(error.value()) + ":" + error.message(),
                            Title, MessageIcon::Critical, MessageButtons::Ok);
            return false;
        }
        job.FileSize = FormatFileSize(size);
    }
    job.State = job.Duration == DurationError ? JobState::CodecNotSupported : JobState::WaitingConversion;
    // The path was checked above; a probe that re-entered the list could still have added it.
    if (!m_jobs.rsJobs().append(std::move(job)))
        return false;
    if (m_background)
        m_background->enqueue(sFilePath);
    m_selection.untickSelectAll();
    return true;
}

void JobAdder::warn(const std::string& text)
{
    m_messages.show(text, Title, MessageIcon::Exclamation, MessageButtons::Ok);
}

} // namespace tunevale
