#include "DesktopShell.h"
#include "Endpoints.h"
#include "Help.h"
#include "ProgramFolder.h"
#include "QtApplication.h"
#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace tunevale
{
namespace
{

// Stands in for the desktop's opener, so that no browser or viewer starts during the tests.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : {"https", "file"})
            QDesktopServices::setUrlHandler(scheme, this, "handle");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;

public slots:
    void handle(const QUrl& url) { urls.append(url); }
};

std::filesystem::path makeManual(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "index.html", "<html></html>");
    return folder / "index.html";
}

TEST(HelpTest, ManualIsFoundBesideTheProgramOrInTheInstalledDataFolder)
{
    test::TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    EXPECT_TRUE(findManual(prefix / "bin").empty());

    const auto installed = makeManual(prefix / "share" / "tunevale" / "manual");
    EXPECT_EQ(findManual(prefix / "bin"), installed);

    // A manual beside the program (the build tree) comes first.
    const auto beside = makeManual(prefix / "bin" / "manual");
    EXPECT_EQ(findManual(prefix / "bin"), beside);
}

TEST(HelpTest, HelpButtonOpensTheManualBesideTheBuiltProgram)
{
    test::RecordingShell shell;
    openHelp(shell);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], (programFolder() / "manual" / "index.html").string());
    EXPECT_NE(test::readFile(shell.opened[0]).find("Supported formats"), std::string::npos);
}

TEST(HelpTest, WebSiteLabelOpensTheMakersSite)
{
    test::RecordingShell shell;
    openMakerWebSite(shell);
    EXPECT_EQ(shell.opened, std::vector<std::string>{endpoints::kMakerWebSite});
}

TEST(DesktopShellTest, OpensWebAddressesAndExistingFilesOnly)
{
    test::qtApplication<QGuiApplication>();
    UrlCatcher catcher;
    DesktopShell shell;
    test::TempDir folder;
    const auto file = folder / "manual page.html";
    test::writeFile(file, "<html></html>");

    EXPECT_TRUE(shell.open("https://example.org/download?a=1&b=2"));
    EXPECT_TRUE(shell.open(file.string()));
    EXPECT_FALSE(shell.open((folder / "wmfdist.exe").string()));
    EXPECT_FALSE(shell.open(""));
    EXPECT_FALSE(shell.open("no address at all"));

    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[0], QUrl("https://example.org/download?a=1&b=2"));
    EXPECT_EQ(catcher.urls[1], QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

} // namespace
} // namespace tunevale

#include "help_test.moc"
