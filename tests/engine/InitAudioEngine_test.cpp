#include "EngineTestSupport.h"
#include "NullEngine.h"
#include "RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// Forces Init's result and records the plug-ins asked for; nothing else is used by start-up.
class InitFailingEngine : public NullEngine
{
public:
    using NullEngine::NullEngine;
    bool Init(int device, std::uint32_t freq, std::uint32_t flags) override
    {
        initCall = {device, static_cast<int>(freq), static_cast<int>(flags)};
        return ErrorGetCode() == EngineCode::Ok;
    }
    EngineHandle PluginLoad(const std::string& file, std::uint32_t) override
    {
        plugins.push_back(file);
        return 0;
    }

    std::array<int, 3> initCall{};
    std::vector<std::string> plugins;
};

const std::string Lines = "Error: Couldn't Initialize Digital Output, The program will not work correclty.\r\n"
                          "The sound device may not be installed correclty.\r\n";

TEST(InitAudioEngine, SuccessLoadsThePluginsInOrderAndFillsTheTagNames)
{
    InitFailingEngine engine(EngineCode::Ok);
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    EXPECT_TRUE(InitAudioEngine(engine, messages, tags));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(engine.initCall, (std::array<int, 3>{1, 44100, 0}));
    EXPECT_EQ(engine.plugins,
              (std::vector<std::string>{"basswma.dll", "bass_aac.dll", "bassmidi.dll", "bass_ac3.dll", "bass_alac.dll",
                                        "bass_ape.dll", "bass_mpc.dll", "bass_ofr.dll", "bass_spx.dll", "bass_tta.dll",
                                        "bassflac.dll", "basswv.dll", "bass_adx.dll", "basscd.dll"}));
    EXPECT_EQ(tags, (std::array<std::string, 8>{"Title", "Author", "WM/AlbumTitle", "Description", "Rating",
                                                "Copyright", "WM/Genre", "WM/Year"}));
}

TEST(InitAudioEngine, EachFailureCodeHasItsDialogAndEndsStartUp)
{
    const std::vector<std::tuple<int, std::string, std::string>> cases{
        {23, "Error Code:BASS_ERROR_DEVICE", "Initialaization Error"},
        {3, "Error Code:BASS_ERROR_DRIVER", "Digital output"},
        {6, "Error Code:BASS_ERROR_FORMAT", "Digital output"},
        {1, "Error Code:BASS_ERROR_MEM", "Digital output"},
        {21, "Error Code:BASS_ERROR_NO3D", "Digital output"},
        {-1, "Error Code:BASS_ERROR_UNKNOWN", "Digital output"},
        {2, "Error Code:BASS_ERROR_UNKNOWN2", "Digital output"},
        {38, "Error Code:BASS_ERROR_UNKNOWN2", "Digital output"},
    };
    for (const auto& [code, line, title] : cases) {
        InitFailingEngine engine(code);
        RecordingMessageBox messages;
        std::array<std::string, 8> tags;
        EXPECT_FALSE(InitAudioEngine(engine, messages, tags)) << code;
        ASSERT_EQ(messages.shown.size(), 1u) << code;
        EXPECT_EQ(messages.shown[0].text, Lines + line);
        EXPECT_EQ(messages.shown[0].title, title);
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
        EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
        EXPECT_TRUE(engine.plugins.empty()) << code;
    }
}

TEST(InitAudioEngine, AlreadyInitialisedGoesOn)
{
    InitFailingEngine engine(EngineCode::Already);
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    EXPECT_TRUE(InitAudioEngine(engine, messages, tags));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Error: Couldn't Initialize Digital Output.\r\nError Code:BASS_ERROR_ALREADY");
    EXPECT_EQ(messages.shown[0].title, "Digital output");
    EXPECT_EQ(engine.plugins.size(), 14u);
    EXPECT_EQ(tags[7], "WM/Year");
}

TEST(InitAudioEngine, RealEngineWithoutAnAudioDriverEndsStartUp)
{
    ::setenv("SDL_AUDIODRIVER", "none-such", 1);
    auto engine = makeEngine();
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    EXPECT_FALSE(InitAudioEngine(*engine, messages, tags));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Initialaization Error");
    EXPECT_EQ(messages.shown[0].text, Lines + "Error Code:BASS_ERROR_DEVICE");
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST(InitAudioEngine, RealEngineOnADriverWithoutAnyOutputDeviceEndsStartUp)
{
    // ALSA with an empty configuration works but knows no device at all, like ALSA on a machine
    // without a sound card.
    TempDir dir;
    writeFile(dir / "empty.conf", "");
    ::setenv("ALSA_CONFIG_PATH", (dir / "empty.conf").c_str(), 1);
    ::setenv("SDL_AUDIODRIVER", "alsa", 1);
    auto engine = makeEngine();
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    const bool goesOn = InitAudioEngine(*engine, messages, tags);
    const int code = engine->ErrorGetCode();
    ::unsetenv("ALSA_CONFIG_PATH");
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(goesOn);
    EXPECT_EQ(code, EngineCode::Device);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Initialaization Error");
    EXPECT_EQ(messages.shown[0].text, Lines + "Error Code:BASS_ERROR_DEVICE");
}

TEST(InitAudioEngine, RealEngineLeavesTheTerminationSignalsAlone)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto disposition = [](int signal) {
        struct sigaction action {
        };
        ::sigaction(signal, nullptr, &action);
        return action.sa_handler;
    };
    const auto termBefore = disposition(SIGTERM);
    const auto intBefore = disposition(SIGINT);
    auto engine = makeEngine();
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    ASSERT_TRUE(InitAudioEngine(*engine, messages, tags));
    EXPECT_EQ(disposition(SIGTERM), termBefore);
    EXPECT_EQ(disposition(SIGINT), intBefore);
    EXPECT_TRUE(engine->Free());
    EXPECT_EQ(disposition(SIGTERM), termBefore);
    EXPECT_EQ(disposition(SIGINT), intBefore);
}

TEST(InitAudioEngine, RealEngineSecondStartGoesOnAndTheFamiliesOpen)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto engine = makeEngine();
    RecordingMessageBox messages;
    std::array<std::string, 8> tags;
    ASSERT_TRUE(InitAudioEngine(*engine, messages, tags));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(InitAudioEngine(*engine, messages, tags));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Digital output");

    TempDir dir;
    makeTone(dir / "tone.flac", 1, 44100, 2, {"-c:a", "flac"});
    const EngineHandle handle =
        engine->StreamCreateFile((dir / "tone.flac").string(), 0, 0, StreamFlag::Loop | StreamFlag::Fx);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(engine->ChannelPlay(handle, false));
}

} // namespace
