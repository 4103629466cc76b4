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
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // One write call keeps the entry whole when another process appends at the same time.
    const ssize_t written = ::write(fd, entry.data(), entry.size());
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(entry.size()) && closed;
}

} // namespace tunevale
