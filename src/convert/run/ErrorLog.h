#pragma once

#include <QDateTime>

#include <filesystem>
#include <mutex>
#include <string>

namespace tunevale
{

// Text of several lines (an encoder's last words) as one: each run of control characters and
// spaces becomes one space, and none is left at either end.
std::string joinedLines(const std::string& text);

// The log of engine failures met while converting: a text file that only grows, one CR LF line
// per failure, never more: control characters in what an entry quotes become spaces. Each entry opens, appends and
// closes the file, so the log survives a crash and two running copies interleave whole lines. Safe to call from several
// threads.
class ErrorLog
{
public:
    explicit ErrorLog(std::filesystem::path file);

    // "Errors.log" in Tunevale's state folder ($XDG_STATE_HOME/Tunevale, by default
    // ~/.local/state/Tunevale), whatever the program folder is; empty when the user has no such folder.
    static std::filesystem::path defaultPath();

    // The entry: "HH:MM:SS <short date> <error text> <code> occured when Korvel tried to
    // play/convert: <source>", the date in the system locale's short form, then ": <detail>" when
    // there is a detail (what the encoder said, how much was decoded), its lines joined by spaces.
    static std::string entryText(const QDateTime& when, int code, const std::string& source,
                                 const std::string& detail = {});
    // The same form for a failure without an engine code: its text in place of the error text and code.
    static std::string entryText(const QDateTime& when, const std::string& text, const std::string& source);

    // Appends one entry for the engine error code and its detail; false when the file could not be
    // written.
    bool append(int code, const std::string& source, const std::string& detail = {});

    const std::filesystem::path& path() const { return m_file; }

private:
    // Appends the entry, or says on standard error that it was lost; false then.
    bool write(const std::string& entry);
    // Appends the entry to the log when that is a regular file of the user's (made when missing);
    // false with the reason otherwise.
    bool appendEntry(const std::string& entry, std::string& why);

    std::filesystem::path m_file;
    std::mutex m_mutex;
};

} // namespace tunevale
