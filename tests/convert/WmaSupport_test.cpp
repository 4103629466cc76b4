#include "DurationProbe.h"
#include "EngineFactory.h"
#include "ForwardingEngine.h"
#include "InitAudioEngine.h"
#include "MessageBox.h"
#include "TestSupport.h"
#include "WmaSupport.h"
#include "WmaSupportInstaller.h"

#include <gtest/gtest.h>

#include <deque>

namespace tunevale
{
namespace
{

std::unique_ptr<Engine> openEngine()
{
    auto engine = makeEngine();
    EXPECT_TRUE(engine->Init(0, 44100, 0));
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    return engine;
}

// Records every message box and answers from a queue (Cancel when it is empty).
class AnsweringMessageBox : public MessageBox
{
public:
    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override
    {
        shown.push_back({text, title, icon, buttons});
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty())
            return MessageAnswer::Cancel;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    struct Shown {
        std::string text, title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
};

// The network and the desktop cannot be reached here: the installer only records what it was asked.
class RecordingInstaller : public WmaSupportInstaller
{
public:
    void downloadAndInstall() override { calls.push_back("download"); }
    void openSupportPage() override { calls.push_back("page"); }
    std::vector<std::string> calls;
};

// The real engine without a WMA encoder, as on a system whose FFmpeg lacks one.
class EngineWithoutWma : public test::ForwardingEngine
{
public:
    using ForwardingEngine::ForwardingEngine;
    EngineHandle WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags, std::uint32_t bitrate,
                                   const std::string& path) override
    {
        ++opens;
        args = {freq, chans, flags, bitrate};
        this->path = path;
        return 0;
    }
    int opens = 0;
    std::vector<std::uint32_t> args;
    std::string path;
};

const std::string Question = "Your System does not support Windows Media Audio Encoding. To Support it, you have to do "
                             "one of the following\r\n"
                             "Click Yes to download and install Windows Media Format (~3.9 MB).\r\n"
                             "Click No to open Microsoft Media Player web site to download and install Media Player "
                             "Version 9.0 or later.\r\n"
                             "Click Cancel to manaully install it by yourself.";

TEST(CheckWMASupport, OpensAndClosesARealEncoderOnTheTestFile)
{
    test::TempDir dir;
    auto engine = openEngine();
    EXPECT_TRUE(CheckWMASupport(*engine, dir / "CheckWMASupport.wma"));
    EXPECT_TRUE(std::filesystem::exists(dir / "CheckWMASupport.wma"));
    EXPECT_TRUE(CheckWMASupport(*engine, dir / "CheckWMASupport.wma")) << "a second check finds the file in place";
}

TEST(CheckWMASupport, IsFalseWhenNoEncoderOpens)
{
    test::TempDir dir;
    auto engine = openEngine();
    EngineWithoutWma withoutWma(*engine);
    EXPECT_FALSE(CheckWMASupport(withoutWma, dir / "CheckWMASupport.wma"));
    EXPECT_EQ(withoutWma.args, (std::vector<std::uint32_t>{44100, 2, 8192, 128000}));
    EXPECT_EQ(withoutWma.path, (dir / "CheckWMASupport.wma").string());
    EXPECT_FALSE(CheckWMASupport(*engine, dir / "no such folder" / "CheckWMASupport.wma"));
}

TEST(WmaInstallPrompt, AsksWithFourLinesAndRunsTheChosenWay)
{
    AnsweringMessageBox messages;
    RecordingInstaller installer;
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
    std::unique_ptr<Engine> engine = openEngine();
    AnsweringMessageBox messages;
    RecordingInstaller installer;
    WmaInstallPrompt prompt{messages, installer};
};

TEST_F(WindowsMediaPromptTest, AppearsOncePerBrokenWindowsMediaFileWhenWmaIsMissing)
{
    EngineWithoutWma withoutWma(*engine);
    for (const char* name : {"a.wma", "b.WMA", "c.asf", "d.wmv"}) {
        test::writeFile(dir / name, std::string(3000, 'x'));
        EXPECT_EQ(duration(withoutWma, dir / name), "Error") << name;
    }
    EXPECT_EQ(prompts(), 4);
    EXPECT_EQ(withoutWma.opens, 4) << "every failing file repeats the test";
}

TEST_F(WindowsMediaPromptTest, DoesNotAppearForOtherBrokenFiles)
{
    EngineWithoutWma withoutWma(*engine);
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
    EngineWithoutWma withoutWma(*engine);
    const auto file = test::makeTone(dir / "fine.wma", 3, 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"});
    EXPECT_EQ(duration(withoutWma, file), "00:03");
    EXPECT_EQ(prompts(), 0);
}

} // namespace
} // namespace tunevale
