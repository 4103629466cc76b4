#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

// The name of every private folder starts with this; removeLeftoverOutputs() looks for it.
inline constexpr const char* PrivateFolderPrefix = ".tunevale-";

// The output of one job while it is being written: a hidden file in a private folder (mode 0700,
// named PrivateFolderPrefix and six random letters) made inside the output folder. No other user
// can enter that folder, so whatever they do to the names in a shared output folder (swap them
// for links to their victims' files), nothing but the file made here is ever written; and the
// final rename stays on one file system. Writers reach the file through the open folder, never by
// a path through the output folder.
//
// The folder holds a locked file for its life, so that a later run can tell a leftover of a
// process that died (killed, a power cut) from a folder that is in use. Only a complete output is
// placed under its final name, and never over anything that holds that name; any other ending
// removes the file and its folder, so no partial file ever lies under an output's name.
class PendingOutputFile
{
public:
    enum class Placement {
        Placed,    // the file now has its final name; the private folder is gone
        NameTaken, // something holds the name: nothing was changed, try another
        Failed     // the file could not be placed: error says why
    };

    PendingOutputFile() = default;
    // Removes the file and its folder unless the file was placed.
    ~PendingOutputFile();
    PendingOutputFile(PendingOutputFile&& other) noexcept;
    PendingOutputFile& operator=(PendingOutputFile&& other) noexcept;

    // Makes the private folder and the empty file (named after the extension) in folder, making
    // folder and its parents first when they are missing. Invalid, with error set, when it cannot.
    static PendingOutputFile create(const std::string& folder, const std::string& extension, std::string& error);

    bool valid() const { return m_file >= 0; }
    // The file, open for reading and writing.
    int fd() const { return m_file; }
    // The private folder, open: the working folder of an encoder program given fileName().
    int privateFolder() const { return m_private; }
    // The file's name inside the private folder (it never starts with '-').
    const std::string& fileName() const { return m_fileName; }
    // A path to the file that passes through the open private folder rather than through any name
    // in the output folder, for writers inside this process (it needs /proc).
    std::string pathInProcess() const;
    // Where the file lies, for messages: the output folder, the private folder and the file's name.
    std::string shownPath() const;
    // The file's size; nothing when it has gone (its folder was removed) or is not a regular file.
    std::optional<std::uint64_t> size() const;

    // Writes the file's data to the disk, so that after a crash a placed name never holds less.
    bool flush(std::string& error) const;
    // Gives the file the name inside the output folder, never following or replacing what holds it.
    Placement placeAs(const std::string& name, std::string& error);
    // Gives the file the name, replacing the file that holds it in one step (never a folder: then
    // NameTaken), so the name holds either the old file or the complete new one at every moment.
    Placement placeOver(const std::string& name, std::string& error);
    // Removes the file and the private folder.
    void discard();

private:
    void close();

    int m_outputFolder = -1;
    int m_private = -1;
    int m_lock = -1;
    int m_file = -1;
    std::string m_folder;
    std::string m_privateName;
    std::string m_fileName;
};

// Removes from folder the private folders that earlier runs left behind when their process ended
// without removing them: those of this user that no process holds. Returns how many went.
std::size_t removeLeftoverOutputs(const std::string& folder);

} // namespace tunevale
