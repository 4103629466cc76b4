#include "DecodingEngine.h"
#include "DurationProbe.h"
#include "EngineWithoutWma.h"
#include "HostileFiles.h"
#include "RecordingInstaller.h"
#include "RecordingMessageBox.h"
#include "ScopedEnv.h"
#include "TestSupport.h"
#include "WmaSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

const std::string Question = "Your System does not support Windows Media Audio Encoding. To Support it, you have to do "
                             "one of the following\r\n"
                             "Click Yes to download and install Windows Media Format (~3.9 MB).\r\n"
                             "Click No to open Microsoft Media Player web site to download and install Media Player "
                             "Version 9.0 or later.\r\n"
                             "Click Cancel to manaully install it by yourself.";

TEST(CheckWMASupport, OpensAndClosesARealEncoderOnTheTestFile)
{
    test::TempDir dir;
    auto engine = test::decodingEngine();
    EXPECT_TRUE(CheckWMASupport(*engine, dir / "CheckWMASupport.wma"));
    EXPECT_TRUE(std::filesystem::exists(dir / "CheckWMASupport.wma"));
    EXPECT_TRUE(CheckWMASupport(*engine, dir / "CheckWMASupport.wma")) << "a second check finds the file in place";
}

TEST(CheckWMASupport, DefaultTestFileIsInTheCacheFolderNotTheWritableProgramFolder)
{
    // A file left there by an older build must stay untouched.
    const auto besideProgram = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "CheckWMASupport.wma";
    std::error_code noFile;
    const auto before = std::filesystem::last_write_time(besideProgram, noFile);
    test::TempDir home;
    test::ScopedEnv homeVariable("HOME", home.path().string());
    {
        test::ScopedEnv cache("XDG_CACHE_HOME", (home / "cache").string());
        EXPECT_EQ(wmaProbeFile(), home / "cache" / "Tunevale" / "CheckWMASupport.wma");
    }
    test::ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
    const auto probe = wmaProbeFile();
    EXPECT_EQ(probe, home / ".cache" / "Tunevale" / "CheckWMASupport.wma");
    auto engine = test::decodingEngine();
    EXPECT_TRUE(CheckWMASupport(*engine));
    EXPECT_TRUE(std::filesystem::exists(probe));
    std::error_code noFileAfter;
    EXPECT_EQ(std::filesystem::last_write_time(besideProgram, noFileAfter), before);
    EXPECT_EQ(bool(noFileAfter), bool(noFile));
}

TEST(CheckWMASupport, IsFalseWhenNoEncoderOpens)
{
    test::TempDir dir;
    auto engine = test::decodingEngine();
    test::EngineWithoutWma withoutWma(*engine);
    EXPECT_FALSE(CheckWMASupport(withoutWma, dir / "CheckWMASupport.wma"));
    EXPECT_EQ(withoutWma.args, (std::vector<std::uint32_t>{44100, 2, 8192, 128000}));
    // The encoder is handed the descriptor of the checked test file.
    EXPECT_EQ(withoutWma.path.rfind("/proc/self/fd/", 0), 0u) << withoutWma.path;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "CheckWMASupport.wma"));
    EXPECT_FALSE(CheckWMASupport(*engine, dir / "no such folder" / "CheckWMASupport.wma"));
}

TEST(CheckWMASupport, ALinkOrFifoAtTheTestFilesNameIsNeitherWrittenNorWaitedOn)
{
    test::TempDir dir;
    auto engine = test::decodingEngine();
    test::writeFile(dir / "victim.txt", "precious\n");
    std::filesystem::create_symlink(dir / "victim.txt", dir / "linked.wma");
    std::filesystem::create_symlink(dir / "nowhere.txt", dir / "dangling.wma");
    ASSERT_EQ(::mkfifo((dir / "fifo.wma").c_str(), 0600), 0);
    for (const char* name : {"linked.wma", "dangling.wma", "fifo.wma"}) {
        const auto checked = test::within<bool>(10, [&] { return CheckWMASupport(*engine, dir / name); });
        ASSERT_TRUE(checked.has_value()) << name << " held up the check";
        EXPECT_FALSE(*checked) << name;
    }
    EXPECT_EQ(test::readFile(dir / "victim.txt"), "precious\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere.txt"));
    // The test file itself is rewritten in place, whole.
    test::writeFile(dir / "CheckWMASupport.wma", std::string(1 << 20, 'x'));
    EXPECT_TRUE(CheckWMASupport(*engine, dir / "CheckWMASupport.wma"));
    EXPECT_EQ(test::ffprobe(dir / "CheckWMASupport.wma", "stream=codec_name"), "wmav2");
}

TEST(WmaInstallPrompt, AsksWithFourLinesAndRunsTheChosenWay)
{
    test::RecordingMessageBox messages;
    test::RecordingInstaller installer;
    WmaInstallPrompt prompt(messages, installer);

    messages.answers = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel};
    prompt.show();
    prompt.show();
    prompt.show();

    ASSERT_EQ(messages.shown.size(), 5u);
    EXPECT_EQ(messages.shown[0].text, Question);
    EXPECT_EQ(messages.shown[0].title, "Tunevale");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(messages.shown[1].text, "You have to restart Marrowgate after installing");
    EXPECT_EQ(messages.shown[1].icon, MessageIcon::Information);
    EXPECT_EQ(messages.shown[2].text, Question);
    EXPECT_EQ(messages.shown[3].text, "You have to restart Marrowgate after installing");
    EXPECT_EQ(messages.shown[4].text, Question);
    EXPECT_EQ(installer.calls, (std::vector<std::string>{"download", "page"}));
}

class WindowsMediaPromptTest : public ::testing::Test
{
protected:
    std::string duration(Engine& engine, const std::filesystem::path& file)
    {
        DurationProbe probe(engine, &prompt, dir / "CheckWMASupport.wma");
        return probe.GetDurationText(file.string());
    }
    int prompts() const
    {
        int count = 0;
        for (const auto& shown : messages.shown)
            count += shown.text == Question;
        return count;
    }
    test::TempDir dir;
    std::unique_ptr<Engine> engine = test::decodingEngine();
    test::RecordingMessageBox messages;
    test::RecordingInstaller installer;
    WmaInstallPrompt prompt{messages, installer};
};

TEST_F(WindowsMediaPromptTest, AppearsOncePerBrokenWindowsMediaFileWhenWmaIsMissing)
{
    test::EngineWithoutWma withoutWma(*engine);
    for (const char* name : {"a.wma", "b.WMA", "c.asf", "d.wmv"}) {
        test::writeFile(dir / name, std::string(3000, 'x'));
        EXPECT_EQ(duration(withoutWma, dir / name), "Error") << name;
    }
    EXPECT_EQ(prompts(), 4);
    EXPECT_EQ(withoutWma.opens, 4) << "every failing file repeats the test";
}

TEST_F(WindowsMediaPromptTest, DoesNotAppearForOtherBrokenFiles)
{
    test::EngineWithoutWma withoutWma(*engine);
    test::writeFile(dir / "broken.mp3", std::string(3000, 'x'));
    test::writeFile(dir / "broken.wmaa", std::string(3000, 'x'));
    EXPECT_EQ(duration(withoutWma, dir / "broken.mp3"), "Error");
    EXPECT_EQ(duration(withoutWma, dir / "broken.wmaa"), "Error");
    EXPECT_EQ(prompts(), 0);
    EXPECT_EQ(withoutWma.opens, 0);
}

TEST_F(WindowsMediaPromptTest, DoesNotAppearWhenWmaIsThere)
{
    test::writeFile(dir / "broken.wma", std::string(3000, 'x'));
    EXPECT_EQ(duration(*engine, dir / "broken.wma"), "Error");
    EXPECT_EQ(prompts(), 0);
}

TEST_F(WindowsMediaPromptTest, DoesNotAppearForWindowsMediaFilesThatOpen)
{
    test::EngineWithoutWma withoutWma(*engine);
    const auto file = test::makeTone(dir / "fine.wma", 3, 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"});
    EXPECT_EQ(duration(withoutWma, file), "00:03");
    EXPECT_EQ(prompts(), 0);
}

} // namespace
} // namespace tunevale
