#include "JobAdder.h"

#include "AcceptedExtensions.h"
#include "DiscTracks.h"
#include "DurationSource.h"
#include "FileDialogs.h"
#include "FileSizeText.h"
#include "FolderListing.h"
#include "JobList.h"
#include "JobSelection.h"
#include "MessageBox.h"
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
constexpr const char* NoCdWarning = "No CD in drive";
constexpr const char* AddErrorText = "An error occured while Adding File";

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

void JobAdder::addSelection(const std::string& selection)
{
    bool refused = false;
    for (auto path : selectionPaths(selection))
        refused |= !AddFile2Grid(path);
    if (refused)
        warn(RefusedWarning);
}

void JobAdder::addDroppedFiles(const std::vector<std::string>& paths)
{
    for (auto path : paths)
        AddFile2Grid(path);
}

void JobAdder::addFolder()
{
    auto folder = m_dialogs.BrowseForFolder("Select folder to add", false);
    StripNulls(folder);
    if (!folder.empty())
        addFolderFiles(folder);
}

void JobAdder::addFolderFiles(const std::string& folder)
{
    const auto names = ListFolderFiles(folder);
    if (names.empty()) {
        warn(EmptyFolderWarning);
        return;
    }
    // NUL cannot occur in a file name, so unlike any printable separator it cannot split one.
    std::string selection = folder;
    for (const auto& name : names)
        selection += '\0' + name;
    AddAudioFiles(selection);
}

void JobAdder::addOpenedPaths(const std::vector<std::string>& paths)
{
    for (auto path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            addFolderFiles(path);
        else
            AddFile2Grid(path);
    }
}

bool JobAdder::AddFile2Grid(std::string& sFilePath)
{
    cleanSeparators(sFilePath);
    if (m_discs && m_discs->isDisc(sFilePath))
        return addDiscTracks(sFilePath);
    if (m_jobs.FileInList(sFilePath) || !hasAcceptedExtension(sFilePath))
        return false;

    Job job;
    job.FilePath = sFilePath;
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
    m_selection.untickSelectAll();
    return true;
}

bool JobAdder::addDiscTracks(const std::string& disc, std::string* reason)
{
    std::string why;
    const auto tracks = m_discs ? m_discs->tracks(disc, why) : std::vector<DiscTracks::Track>{};
    bool added = false;
    for (const DiscTracks::Track& track : tracks) {
        if (m_jobs.FileInList(track.path))
            continue;
        Job job;
        job.FilePath = track.path;
        job.Duration = track.duration;
        job.FileSize = "CD Track";
        job.State = JobState::WaitingConversion;
        added |= m_jobs.rsJobs().append(std::move(job));
    }
    if (added)
        m_selection.untickSelectAll();
    else if (why.empty())
        why = tracks.empty() ? "the disc holds no audio track" : "every track is listed already";
    if (reason)
        *reason = added ? std::string() : why;
    return added;
}

void JobAdder::addCd(const std::function<std::optional<std::string>(const std::vector<std::string>&)>& choose)
{
    const std::vector<std::string> drives = m_discs ? m_discs->audioDrives() : std::vector<std::string>{};
    if (drives.empty()) {
        warn(NoCdWarning);
        return;
    }
    const std::optional<std::string> drive = drives.size() == 1 ? drives.front() : choose(drives);
    std::string reason;
    if (drive && !addDiscTracks(*drive, &reason))
        warn(reason);
}

void JobAdder::warn(const std::string& text)
{
    m_messages.show(text, Title, MessageIcon::Exclamation, MessageButtons::Ok);
}

} // namespace tunevale
