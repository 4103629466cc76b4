#pragma once

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
class MessageBox;

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
    // Adds each dropped file in order, silently.
    void addDroppedFiles(const std::vector<std::string>& paths);
    // Asks for a folder and adds its files as addFolderFiles does.
    void addFolder();
    // Adds every file directly inside folder, as if chosen all at once in the audio dialog: warns
    // when the folder holds no file, and once when any was refused. Every road that adds a whole
    // folder comes here, so how deep a folder is searched is decided here alone.
    void addFolderFiles(const std::string& folder);
    // Adds the paths a desktop's "Open with" (or the command line) names, in order: a file as a
    // drop adds it, a folder with addFolderFiles.
    void addOpenedPaths(const std::vector<std::string>& paths);

    // Appends one job for the file: false when it is already listed, its extension is not accepted,
    // or its size cannot be read (reported). sFilePath is rewritten by the separator clean-up.
    // A file that cannot be decoded is added as "Codec Not Supported". A disc (a cue sheet, a
    // drive) adds its tracks as addDiscTracks does.
    bool AddFile2Grid(std::string& sFilePath);

    // Where the tracks of discs come from; without it cue sheets and drives are refused like any
    // file of an extension the list does not take.
    void setDiscTracks(DiscTracks* discs) { m_discs = discs; }
    DiscTracks* discTracks() const { return m_discs; }
    // Appends a job for each track of the disc that is not listed yet, with "CD Track" as its size
    // and the duration from the table of contents. False, with the reason when asked for, when the
    // disc cannot be read or no track was added.
    bool addDiscTracks(const std::string& disc, std::string* reason = nullptr);
    // "Add CD...": adds the tracks of the drive that holds an audio disc, asking choose which one
    // when several do (nothing when it answers none); warns "No CD in drive" when none does, and
    // with the reason when the disc cannot be read.
    void addCd(const std::function<std::optional<std::string>(const std::vector<std::string>& drives)>& choose);

private:
    void addSelection(const std::string& selection);
    void warn(const std::string& text);

    JobList& m_jobs;
    JobSelection& m_selection;
    DurationSource& m_durations;
    FileDialogs& m_dialogs;
    MessageBox& m_messages;
    DiscTracks* m_discs = nullptr;
};

} // namespace tunevale
