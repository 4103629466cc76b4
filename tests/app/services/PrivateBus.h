#pragma once

#include <QProcess>
#include <QString>

#include <filesystem>
#include <fstream>

namespace tunevale::test
{

// A D-Bus daemon of the test's own, listening in a temporary folder. Nothing said on it reaches
// the machine's session or system bus.
class PrivateBus
{
public:
    explicit PrivateBus(const std::filesystem::path& folder)
    {
        const auto config = folder / "bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>session</type>\n"
                                 "  <listen>unix:dir="
                              << folder.string()
                              << "</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n";
        m_daemon.start("dbus-daemon", {"--nofork", "--nopidfile", "--print-address",
                                       "--config-file=" + QString::fromStdString(config.string())});
        if (!m_daemon.waitForStarted(10000))
            return;
        for (int tries = 0; tries < 100 && !m_daemon.canReadLine(); ++tries)
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // The bus's address ("unix:path=..."), empty when the daemon did not start.
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

} // namespace tunevale::test
