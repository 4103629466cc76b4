#include "ErrorLog.h"

#include "EngineErrorText.h"
#include "UserFolder.h"

#include <QLocale>

#include <fcntl.h>
#include <unistd.h>

namespace tunevale
{

ErrorLog::ErrorLog(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path ErrorLog::defaultPath()
{
    return userFolder(UserFolder::State) / "Errors.log";
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
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // One write call keeps the entry whole when another process appends at the same time.
    const ssize_t written = ::write(fd, entry.data(), entry.size());
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(entry.size()) && closed;
}

} // namespace tunevale
