#pragma once

#include <string>
#include <vector>

namespace tunevale
{

class DurationSource;
class FileDialogs;
class JobList;
class JobSelection;
class MessageBox;
class ProbeQueue;

// Turns chosen, dropped and folder files into jobs.
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

    // Appends one job for the file: false when it is already listed, its extension is not accepted,
    // or its size cannot be read (reported). sFilePath is rewritten by the separator clean-up.
    // A file that cannot be decoded is added as "Codec Not Supported". The job's root is root, or
    // the file's own folder when root is empty.
    bool AddFile2Grid(std::string& sFilePath, const std::string& root = {});

private:
    // Adds the files of a selection text below root (empty: each file's own folder); true when
    // any was refused.
    bool addSelectionPaths(const std::string& selection, const std::string& root);
    void addSelection(const std::string& selection);
    // Adds a folder's tree; warns of refused files only when warnRefused.
    void addTree(const std::string& folder, bool includeSubFolders, bool warnRefused);
    void warn(const std::string& text);

    JobList& m_jobs;
    JobSelection& m_selection;
    DurationSource& m_durations;
    FileDialogs& m_dialogs;
    MessageBox& m_messages;
    ProbeQueue* m_background = nullptr;
};

} // namespace tunevale
