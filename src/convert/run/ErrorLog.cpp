#include "ErrorLog.h"

#include "EngineErrorText.h"
#include "OwnedFile.h"
#include "UserFolder.h"

#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tunevale
{

ErrorLog::ErrorLog(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path ErrorLog::defaultPath()
{
    const auto folder = userFolder(UserFolder::State);
    return folder.empty() ? std::filesystem::path() : folder / "Errors.log";
}

namespace
{

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The text with each control character (line breaks included) as a space, so that it cannot
// break the entry's line.
std::string withoutControls(std::string text)
{
    for (char& c : text)
        if (isControl(c))
            c = ' ';
    return text;
}

} // namespace

std::string joinedLines(const std::string& detail)
{
    std::string line;
    bool gap = false;
    for (const char c : detail) {
        if (isControl(c) || c == ' ') {
            gap = !line.empty();
            continue;
        }
        if (gap)
            line += ' ';
        gap = false;
        line += c;
    }
    return line;
}

std::string ErrorLog::entryText(const QDateTime& when, int code, const std::string& source, const std::string& detail)
{
    const std::string said = joinedLines(detail);
    return entryText(when, EngineErrorText(code) + " " + std::to_string(code), source) +
           (said.empty() ? "" : ": " + said);
}

std::string ErrorLog::entryText(const QDateTime& when, const std::string& text, const std::string& source)
{
    const QString date = QLocale::system().toString(when.date(), QLocale::ShortFormat);
    return when.time().toString(QStringLiteral("HH:mm:ss")).toStdString() + " " + date.toStdString() + " " +
           withoutControls(text) + " occured when Korvel tried to play/convert: " + withoutControls(source);
}

bool ErrorLog::append(int code, const std::string& source, const std::string& detail)
{
    return write(entryText(QDateTime::currentDateTime(), code, source, detail) + "\r\n");
}

bool ErrorLog::write(const std::string& entry)
{
    const std::lock_guard lock(m_mutex);
    std::string why;
    if (appendEntry(entry, why))
        return true;
    // The entry is lost, never the run: one line says so.
    std::fprintf(stderr, "Tunevale: an entry could not be written to the error log%s%s: %s\n",
                 m_file.empty() ? "" : " ", m_file.c_str(), why.c_str());
    return false;
}

bool ErrorLog::appendEntry(const std::string& entry, std::string& why)
{
    OwnedFileError error;
    const int fd = openOwnedFile(m_file, O_WRONLY | O_CREAT | O_APPEND, &error);
    if (fd < 0) {
        why = error.text;
        return false;
    }
    // One write call keeps the entry whole when another process appends at the same time.
    const ssize_t written = ::write(fd, entry.data(), entry.size());
    if (written != static_cast<ssize_t>(entry.size()))
        why = written < 0 ? std::strerror(errno) : "the disk is full";
    const bool closed = ::close(fd) == 0;
    if (written == static_cast<ssize_t>(entry.size()) && !closed)
        why = std::strerror(errno);
    return written == static_cast<ssize_t>(entry.size()) && closed;
}

} // namespace tunevale
