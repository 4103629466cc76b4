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
    // Asks for a folder and adds every file directly inside it.
    void addFolder();

    // Appends one job for the file: false when it is already listed, its extension is not accepted,
    // or its size cannot be read (reported). sFilePath is rewritten by the separator clean-up.
    // A file that cannot be decoded is added as "Codec Not Supported".
    bool AddFile2Grid(std::string& sFilePath);

private:
    void addSelection(const std::string& selection);
    void warn(const std::string& text);

    JobList& m_jobs;
    JobSelection& m_selection;
    DurationSource& m_durations;
    FileDialogs& m_dialogs;
    MessageBox& m_messages;
};

} // namespace tunevale
