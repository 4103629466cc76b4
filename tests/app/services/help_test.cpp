#include "DesktopShell.h"
#include "Endpoints.h"
#include "Help.h"
#include "ProgramFolder.h"
#include "QtApplication.h"
#include "RecordingMessageBox.h"
#include "RecordingShell.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include <csignal>

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
    test::RecordingMessageBox messages;
    openHelp(shell, messages);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], (programFolder() / "manual" / "index.html").string());
    EXPECT_NE(test::readFile(shell.opened[0]).find("Supported formats"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(HelpTest, AManualTheDesktopCannotOpenIsNamedInAMessage)
{
    const std::string manual = (programFolder() / "manual" / "index.html").string();
    const auto expectNamed = [&](const test::RecordingMessageBox& messages) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].text.find("could not be opened"), std::string::npos) << messages.shown[0].text;
        EXPECT_NE(messages.shown[0].text.find(manual), std::string::npos) << messages.shown[0].text;
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(messages.shown[0].title, "Tunevale");
    };
    {
        SCOPED_TRACE("the opener cannot start");
        test::RecordingShell shell;
        shell.succeeds = false;
        test::RecordingMessageBox messages;
        openHelp(shell, messages);
        expectNamed(messages);
    }
    {
        SCOPED_TRACE("the opener starts and then finds no browser");
        test::RecordingShell shell;
        test::RecordingMessageBox messages;
        openHelp(shell, messages);
        EXPECT_TRUE(messages.shown.empty());
        shell.giveUp();
        expectNamed(messages);
    }
}

TEST(HelpTest, WebSiteLabelOpensTheMakersSite)
{
    test::RecordingShell shell;
    openMakerWebSite(shell);
    EXPECT_EQ(shell.opened, std::vector<std::string>{endpoints::kMakerWebSite});
}

// A stand-in xdg-open on PATH, which writes its argument into a file, waits until the test lets
// it go (a browser it started may keep it running) and ends with the status the test chose.
class FakeOpener
{
public:
    explicit FakeOpener(const std::filesystem::path& folder)
        : m_folder(folder), m_path("PATH", folder.string() + ":/usr/bin:/bin")
    {
        // It works in its folder: the argument goes into "opened", the mask of the signals it
        // ignores into "ignored", and "exit" holds its status.
        test::writeScript(folder / "xdg-open", "cd '" + folder.string() + "'\n" + R"sh(printf '%s\n' "$1" >> opened
awk '/^SigIgn:/ { print $2 }' /proc/$$/status > ignored
while [ ! -e exit ]; do sleep 0.02; done
exit "$(cat exit)")sh");
    }
    std::vector<std::string> opened() const
    {
        return std::filesystem::exists(m_folder / "opened") ? test::lines(test::readFile(m_folder / "opened"))
                                                            : std::vector<std::string>{};
    }
    bool ignoresSigpipe() const
    {
        return (std::stoull(test::readFile(m_folder / "ignored"), nullptr, 16) >> (SIGPIPE - 1)) & 1;
    }
    void end(int status) { test::writeFile(m_folder / "exit", std::to_string(status) + "\n"); }

private:
    std::filesystem::path m_folder;
    test::ScopedEnv m_path;
};

bool pumpUntil(const std::function<bool()>& condition)
{
    return test::eventually(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        10000);
}

TEST(DesktopShellTest, HandsWebAddressesAndExistingFilesToXdgOpenAndHearsItFail)
{
    test::qtApplication<QGuiApplication>();
    test::TempDir folder;
    FakeOpener opener(folder.path());
    DesktopShell shell;
    const auto file = folder / "manual page.html";
    test::writeFile(file, "<html></html>");

    // As in Tunevale, which ignores SIGPIPE for its encoders; the opener must not inherit that.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    int failures = 0;
    EXPECT_TRUE(shell.open("https://example.org/download?a=1&b=2", [&] { ++failures; }));
    EXPECT_TRUE(shell.open(file.string(), [&] { ++failures; }));
    // Neither waits for the opener, which is still running.
    EXPECT_FALSE(shell.open((folder / "wmfdist.exe").string()));
    EXPECT_FALSE(shell.open(""));
    EXPECT_FALSE(shell.open("no address at all"));
    ASSERT_TRUE(pumpUntil([&] { return opener.opened().size() == 2; }));
    // The two openers run side by side, so either may record first.
    EXPECT_THAT(opener.opened(),
                ::testing::UnorderedElementsAre("https://example.org/download?a=1&b=2", file.string()));
    ::sigaction(SIGPIPE, &previous, nullptr);

    opener.end(3); // xdg-open's "no program for this type"
    ASSERT_TRUE(pumpUntil([&] { return failures == 2; }));
    EXPECT_FALSE(opener.ignoresSigpipe());
    EXPECT_TRUE(pumpUntil([] { return test::childProcesses().empty(); })) << "the openers were reaped";

    std::filesystem::remove(folder / "exit");
    EXPECT_TRUE(shell.open(file.string(), [&] { ++failures; }));
    opener.end(0);
    ASSERT_TRUE(pumpUntil([] { return test::childProcesses().empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(failures, 2) << "an opener that succeeded reports nothing";
}

TEST(DesktopShellTest, WithoutXdgOpenTheDesktopServicesOpenIt)
{
    test::qtApplication<QGuiApplication>();
    test::TempDir folder;
    test::ScopedEnv path("PATH", folder.path().string());
    UrlCatcher catcher;
    DesktopShell shell;
    EXPECT_TRUE(shell.open("https://example.org/"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl("https://example.org/"));
}

} // namespace
} // namespace tunevale

#include "help_test.moc"
