#include "JobAdder.h"

#include "AcceptedExtensions.h"
#include "DiscTracks.h"
#include "DurationSource.h"
#include "FileDialogs.h"
#include "FileSizeText.h"
#include "FolderListing.h"
#include "FolderTree.h"
#include "JobList.h"
#include "JobSelection.h"
#include "LaterQueue.h"
#include "MessageBox.h"
#include "ProbeQueue.h"
#include "SelectionText.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tunevale
{

namespace
{

constexpr const char* Title = "Tunevale";
constexpr const char* RefusedWarning = "Some files are not supported or already exist and will not be added";
constexpr const char* EmptyFolderWarning = "Selected Folder is empty.";
constexpr const char* NoCdWarning = "No CD in drive";
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

void JobAdder::addSelection(const std::string& selection)
{
    addFiles(selectionPaths(selection), true);
}

void JobAdder::addFiles(std::vector<std::string> paths, bool warnRefused)
{
    PendingAdd add;
    add.tree.files = std::move(paths);
    add.warnRefused = warnRefused;
    start(std::move(add));
}

void JobAdder::addDroppedFiles(const std::vector<std::string>& paths)
{
    addOpenedPaths(paths, true, false);
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
    PendingAdd add;
    add.root = folder;
    add.walk.emplace(folder, includeSubFolders);
    add.warnRefused = warnRefused;
    add.warnEmpty = warnRefused;
    start(std::move(add));
}

void JobAdder::addOpenedPaths(const std::vector<std::string>& paths, bool includeSubFolders)
{
    addOpenedPaths(paths, includeSubFolders, true);
}

void JobAdder::addOpenedPaths(const std::vector<std::string>& paths, bool includeSubFolders, bool warnFolders)
{
    // Files go silently, as dropped; runs of them are one road, each folder another.
    std::vector<std::string> files;
    for (const auto& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            files.push_back(path);
            continue;
        }
        if (!files.empty())
            addFiles(std::exchange(files, {}), false);
        addTree(path, includeSubFolders, warnFolders);
    }
    if (!files.empty())
        addFiles(std::move(files), false);
}

void JobAdder::start(PendingAdd add)
{
    m_pending.push_back(std::move(add));
    // A road already under way goes on in its turns; this one follows it.
    if (m_pending.size() == 1)
        work();
}

void JobAdder::work()
{
    while (!m_pending.empty()) {
        if (!advance(m_pending.front(), m_turns != nullptr)) {
            m_turns->later([this] { work(); });
            return;
        }
        const PendingAdd done = std::move(m_pending.front());
        m_pending.pop_front();
        finish(done);
    }
}

bool JobAdder::advance(PendingAdd& add, bool timed)
{
    // A turn that has listed nothing yet goes on a while longer, so that a busy machine's slow
    // folder reads still show the first rows at once; a tree without audio still yields.
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + m_turnLength;
    const auto untilFirstRow = start + EmptyTurnLengths * m_turnLength;
    const std::size_t rowsBefore = m_jobs.rsJobs().size();
    for (;;) {
        if (add.next < add.tree.files.size()) {
            auto& name = add.tree.files[add.next++];
            std::string path = add.walk ? joinFolderAndName(add.root, name) : std::move(name);
            add.refused |= !AddFile2Grid(path, add.root);
        } else if (add.walk && !add.walk->done()) {
            add.walk->step(add.tree);
        } else {
            return true;
        }
        if (!timed)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if (now >= untilFirstRow || (now >= until && m_jobs.rsJobs().size() > rowsBefore))
            return false;
    }
}

void JobAdder::finish(const PendingAdd& add)
{
    const auto& unreadable = add.tree.unreadable;
    if (!unreadable.empty()) {
        std::string text = UnreadableFoldersWarning;
        for (std::size_t i = 0; i < unreadable.size() && i < UnreadableFoldersNamed; ++i)
            text += "\n" + unreadable[i];
        if (unreadable.size() > UnreadableFoldersNamed)
            text += "\n...";
        warn(text);
    }
    if (add.warnEmpty && add.tree.files.empty() && unreadable.empty())
        warn(EmptyFolderWarning);
    else if (add.warnRefused && add.refused)
        warn(RefusedWarning);
}

bool JobAdder::AddFile2Grid(std::string& sFilePath, const std::string& root)
{
    cleanSeparators(sFilePath);
    if (m_discs && m_discs->isDisc(sFilePath))
        return addDiscTracks(sFilePath, nullptr, root);
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

bool JobAdder::addDiscTracks(const std::string& disc, std::string* reason, const std::string& root)
{
    std::string why;
    const auto tracks = m_discs ? m_discs->tracks(disc, why) : std::vector<DiscTracks::Track>{};
    bool added = false;
    for (const DiscTracks::Track& track : tracks) {
        if (m_jobs.FileInList(track.path))
            continue;
        Job job;
        job.FilePath = track.path;
        // A cue sheet's tracks belong to the sheet's folder, a drive's to the drive.
        job.Root = !root.empty() ? root : std::filesystem::path(disc).parent_path().string();
        job.Duration = track.duration;
        job.FileSize = "CD Track";
        job.State = JobState::WaitingConversion;
        added |= m_jobs.rsJobs().append(std::move(job));
    }
    if (added) {
        m_selection.untickSelectAll();
        if (onDiscAdded)
            onDiscAdded(disc);
    } else if (why.empty())
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
    const std::optional<std::string> drive = choose(drives);
    std::string reason;
    if (drive && !addDiscTracks(*drive, &reason))
        warn(reason);
}

void JobAdder::warn(const std::string& text)
{
    m_messages.show(text, Title, MessageIcon::Exclamation, MessageButtons::Ok);
}

} // namespace tunevale
