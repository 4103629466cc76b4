#pragma once

#include "FolderTree.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

class DiscTracks;
class DurationSource;
class FileDialogs;
class JobList;
class JobSelection;
class LaterQueue;
class MessageBox;
class ProbeQueue;

// Turns chosen, dropped and folder files into jobs. Each road's files are added in order, one road
// after the other; with turns given, a road that takes long is spread over several turns so that
// the window goes on painting and answering meanwhile.
class JobAdder
{
public:
    JobAdder(JobList& jobs, JobSelection& selection, DurationSource& durations, FileDialogs& dialogs,
             MessageBox& messages);

    // Adds the files of a selection text; an empty one opens the audio dialog first. Warns once
    // when any file was refused.
    void AddAudioFiles(const std::string& sList = {});
    // Opens the video dialog and adds the chosen files, as AddAudioFiles does.
    void AddVideoFiles();
    // Adds each dropped file in order, silently; a dropped folder adds its whole tree (telling
    // only of sub-folders that could not be read).
    void addDroppedFiles(const std::vector<std::string>& paths);
    // Asks for a folder and adds its files as addFolderFiles does.
    void addFolder(bool includeSubFolders = false);
    // Adds every file inside folder (and its sub-folders when includeSubFolders), as if chosen all
    // at once in the audio dialog: warns when the folder holds no file, and once when any was
    // refused; sub-folders that cannot be read are skipped and named in one message. Each job's
    // root is folder.
    void addFolderFiles(const std::string& folder, bool includeSubFolders = false);
    // Adds the paths a desktop's "Open with" (or the command line) names, in order: a file as a
    // drop adds it, a folder with addFolderFiles.
    void addOpenedPaths(const std::vector<std::string>& paths, bool includeSubFolders = false);

    // From now on each job is listed at once and its duration measured by queue; until it comes
    // the job waits unprobed (runs pass it over). nullptr: measured while it is added.
    void probeInBackground(ProbeQueue* queue) { m_background = queue; }
    // From now on a road adds for turnLength at a time (at least one file or folder, and longer, up
    // to EmptyTurnLengths, until a row is listed) and goes on in turns from turns. nullptr: each
    // road is added at once.
    void addInTurns(LaterQueue* turns, std::chrono::milliseconds turnLength = DefaultTurnLength)
    {
        m_turns = turns;
        m_turnLength = turnLength;
    }
    // Well inside the 100 ms in which a window must answer.
    static constexpr std::chrono::milliseconds DefaultTurnLength{15};
    // How many turn lengths a turn may last while it has listed no row.
    static constexpr int EmptyTurnLengths = 10;
    // True while a road's files are still being listed and added.
    bool adding() const { return !m_pending.empty(); }

    // Appends one job for the file: false when it is already listed, its extension is not accepted,
    // or its size cannot be read (reported). sFilePath is rewritten by the separator clean-up.
    // A file that cannot be decoded is added as "Codec Not Supported". A disc (a cue sheet, a
    // drive) adds its tracks as addDiscTracks does. The job's root is root, or the file's own
    // folder when root is empty.
    bool AddFile2Grid(std::string& sFilePath, const std::string& root = {});

    // Where the tracks of discs come from; without it cue sheets and drives are refused like any
    // file of an extension the list does not take.
    void setDiscTracks(DiscTracks* discs) { m_discs = discs; }
    DiscTracks* discTracks() const { return m_discs; }
    // Appends a job for each track of the disc that is not listed yet, with "CD Track" as its size
    // and the duration from the table of contents. False, with the reason when asked for, when the
    // disc cannot be read or no track was added. The tracks' root is root, or the disc's folder.
    bool addDiscTracks(const std::string& disc, std::string* reason = nullptr, const std::string& root = {});
    // Told of each disc that added tracks, on whichever road (the online lookups start there).
    std::function<void(const std::string& disc)> onDiscAdded;
    // "Add CD...": adds the tracks of the drive chosen among those that hold an audio disc (nothing
    // when choose answers none; it is asked even for one drive, whose read offset it shows); warns
    // "No CD in drive" when none does, and with the reason when the disc cannot be read.
    void addCd(const std::function<std::optional<std::string>(const std::vector<std::string>& drives)>& choose);

private:
    // The files of one road still to add: given paths (root empty: each file's own folder), or
    // a folder's tree as it is walked (root: the folder).
    struct PendingAdd {
        std::string root;
        std::optional<FolderWalk> walk;
        FolderTree tree;
        std::size_t next = 0;
        bool refused = false;
        bool warnRefused = false; // the roads of the dialogs and of "Add Folder..."
        bool warnEmpty = false;   // the folder roads
    };

    void addSelection(const std::string& selection);
    void addFiles(std::vector<std::string> paths, bool warnRefused);
    void addTree(const std::string& folder, bool includeSubFolders, bool warnRefused);
    void addOpenedPaths(const std::vector<std::string>& paths, bool includeSubFolders, bool warnFolders);
    void start(PendingAdd add);
    void work();
    // Adds until the road is done (true) or the turn's time is up (false).
    bool advance(PendingAdd& add, bool timed);
    void finish(const PendingAdd& add);
    void warn(const std::string& text);

    JobList& m_jobs;
    JobSelection& m_selection;
    DurationSource& m_durations;
    FileDialogs& m_dialogs;
    MessageBox& m_messages;
    ProbeQueue* m_background = nullptr;
    LaterQueue* m_turns = nullptr;
    std::chrono::milliseconds m_turnLength = DefaultTurnLength;
    std::deque<PendingAdd> m_pending;
    DiscTracks* m_discs = nullptr;
};

} // namespace tunevale
