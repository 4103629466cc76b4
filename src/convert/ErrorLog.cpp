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
    const QString date = QLocale::system().toString(when.date(), QLocale::ShortFormat);
    return when.time().toString(QStringLiteral("HH:mm:ss")).toStdString() + " " + date.toStdString() + " " +
           EngineErrorText(code) + " " + std::to_string(code) + " occured when Korvel tried to play/convert: " + source;
}

bool ErrorLog::append(int code, const std::string& source)
{
    const std::string line = entryText(QDateTime::currentDateTime(), code, source) + "\r\n";
    const std::lock_guard lock(m_mutex);
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // One write call keeps the line whole when another process appends at the same time.
    const ssize_t written = ::write(fd, line.data(), line.size());
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(line.size()) && closed;
}

} // namespace tunevale
