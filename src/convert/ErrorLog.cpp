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

std::string ErrorLog::entryText(const QDateTime& when, int code, const std::string& source)
{
    return entryText(when, EngineErrorText(code) + " " + std::to_string(code), source);
}

std::string ErrorLog::entryText(const QDateTime& when, const std::string& text, const std::string& source)
{
    const QString date = QLocale::system().toString(when.date(), QLocale::ShortFormat);
    return when.time().toString(QStringLiteral("HH:mm:ss")).toStdString() + " " + date.toStdString() + " " + text +
           " occured when Korvel tried to play/convert: " + source;
}

bool ErrorLog::append(int code, const std::string& source, const std::string& detail)
{
    std::string entry = entryText(QDateTime::currentDateTime(), code, source) + "\r\n";
    std::size_t start = 0;
    while (start < detail.size()) {
        std::size_t end = detail.find('\n', start);
        if (end == std::string::npos)
            end = detail.size();
        std::string text = detail.substr(start, end - start);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (!text.empty())
            entry += "    " + text + "\r\n";
        start = end + 1;
    }
    return write(entry);
}

bool ErrorLog::appendText(const std::string& text, const std::string& source)
{
    return write(entryText(QDateTime::currentDateTime(), text, source) + "\r\n");
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
