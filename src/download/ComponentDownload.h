#pragma once

#include "Connectivity.h"
#include "WmaSupportInstaller.h"

#include <filesystem>
#include <string>

class QNetworkAccessManager;
class QWidget;

namespace tunevale
{

class MessageBox;
class Shell;

// The component download: DownloadFile with its progress dialog, and the two buttons of the WMA
// panel (which the WMA install prompt runs too).
class ComponentDownload : public WmaSupportInstaller
{
public:
    ComponentDownload(MessageBox& messages, Shell& shell, Connectivity& connectivity, QNetworkAccessManager& network,
                      QWidget* window = nullptr);

    // Fetches url into destination behind a modal progress dialog captioned after title, and
    // returns when the file is complete, the transfer failed or the user cancelled.
    void DownloadFile(const std::string& url, const std::string& destination, const std::string& title);

    void cmdDownloadWMF_Click();
    void cmdOpenWMSite_Click();

    void downloadAndInstall() override { cmdDownloadWMF_Click(); }
    void openSupportPage() override { cmdOpenWMSite_Click(); }

    // Where the support package is saved: Tunevale's cache folder ($XDG_CACHE_HOME/Tunevale).
    static std::filesystem::path wmaSupportDestination();

private:
    MessageBox& m_messages;
    Shell& m_shell;
    Connectivity& m_connectivity;
    QNetworkAccessManager& m_network;
    QWidget* m_window;
};

} // namespace tunevale
