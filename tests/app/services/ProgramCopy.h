#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

namespace tunevale::test
{

// Whether some process holds Tunevale's instance marker.
inline bool markerVisible()
{
    return readFile("/proc/net/unix").find(" @Brindletunevale\n") != std::string::npos;
}

// The process that holds Tunevale's instance marker, 0 when none does.
inline pid_t markerHolder()
{
    std::string inode;
    std::istringstream table(readFile("/proc/net/unix"));
    for (std::string line; std::getline(table, line);)
        if (line.size() > 17 && line.compare(line.size() - 17, 17, " @Brindletunevale") == 0) {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 7; ++i)
                fields >> field;
            inode = field;
        }
    if (inode.empty())
        return 0;
    const std::string target = "socket:[" + inode + "]";
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", error))
            if (std::filesystem::read_symlink(fd.path(), error).string() == target)
                return static_cast<pid_t>(std::stol(name));
    }
    return 0;
}

// One running copy of the tunevale program, off screen, with home, configuration, cache and state
// folders of its own: the settings file appears in its configuration folder once its start-up has
// loaded the settings.
class ProgramCopy
{
public:
    ProgramCopy(const std::filesystem::path& program, const std::filesystem::path& home, const std::string& name)
        : m_config(home / (name + "-config"))
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("SDL_AUDIODRIVER", "dummy");
        environment.insert("HOME", QString::fromStdString(home.string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(m_config.string()));
        environment.insert("XDG_CACHE_HOME", QString::fromStdString((home / (name + "-cache")).string()));
        environment.insert("XDG_STATE_HOME", QString::fromStdString((home / (name + "-state")).string()));
        // No bus at all: a copy under test can never reach the machine's login manager.
        const QString noBus = QString::fromStdString("unix:path=" + (home / "no-bus").string());
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", noBus);
        environment.insert("DBUS_SESSION_BUS_ADDRESS", noBus);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QString::fromStdString(program.string()), {});
        m_process.waitForStarted(10000);
    }
    ~ProgramCopy() { end(); }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    pid_t pid() const { return static_cast<pid_t>(m_process.processId()); }
    const std::filesystem::path& configFolder() const { return m_config; }
    bool running() { return m_process.state() == QProcess::Running && !m_process.waitForFinished(0); }
    bool startedUp() { return std::filesystem::exists(m_config / "Tunevale" / "registry.ini"); }
    // Waits until start-up has loaded the settings; false when the program ended or took too long.
    bool waitForStartUp()
    {
        return eventually([this] { return startedUp() || !running(); }, 60000, 100) && running();
    }

    // Waits at most timeoutMs for the program to end by itself: its exit status, or -1 when it
    // crashed, was killed by a signal or still runs.
    int waitForExit(int timeoutMs)
    {
        if (!m_process.waitForFinished(timeoutMs) && m_process.state() != QProcess::NotRunning)
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    std::filesystem::path m_config;
    QProcess m_process;
};

} // namespace tunevale::test
