#include "ComponentDownload.h"

#include "DownloadDialog.h"
#include "Downloader.h"
#include "Endpoints.h"
#include "MessageBox.h"
#include "ProgramFolder.h"
#include "Shell.h"
#include "UserFolder.h"

#include <QFileInfo>
#include <QIcon>
#include <QPixmap>

namespace tunevale
{

namespace
{

// The dialog's small image: the program's icon beside the executable, else the installed one.
QPixmap smallImage()
{
    const QString beside = QString::fromStdString((programFolder() / "tunevale.png").string());
    if (QFileInfo::exists(beside))
        return QPixmap(beside);
    return QIcon::fromTheme(QStringLiteral("tunevale")).pixmap(64, 64);
}

} // namespace

ComponentDownload::ComponentDownload(MessageBox& messages, Shell& shell, Connectivity& connectivity,
                                     QNetworkAccessManager& network, QWidget* window)
    : m_messages(messages), m_shell(shell), m_connectivity(connectivity), m_network(network), m_window(window)
{
}

void ComponentDownload::DownloadFile(const std::string& url, const std::string& destination, const std::string& title)
{
    const QUrl address(QString::fromStdString(url));
    if (!m_connectivity.isConnected(address)) {
        m_messages.show("You are not connected to internet", "Tunevale", MessageIcon::None, MessageButtons::Ok);
        return;
    }

    Downloader downloader(m_network);
    DownloadDialog dialog(QString::fromStdString(title), smallImage(), downloader, m_window);
    downloader.start(address, QString::fromStdString(destination));
    dialog.exec();
}

void ComponentDownload::cmdDownloadWMF_Click()
{
    const auto destination = wmaSupportDestination().string();
    DownloadFile(endpoints::kWmaSupportDownloadUrl, destination, endpoints::kWmaSupportTitle);
    // Opened whatever the outcome: a file is only ever there when it arrived whole, and a missing
    // one makes the shell fail quietly.
    m_shell.open(destination);
}

void ComponentDownload::cmdOpenWMSite_Click()
{
    m_shell.open(endpoints::kWmaSupportPageUrl);
}

std::filesystem::path ComponentDownload::wmaSupportDestination()
{
    const auto folder = userFolder(UserFolder::Cache);
    return folder.empty() ? std::filesystem::path() : folder / endpoints::kWmaSupportFileName;
}

} // namespace tunevale
