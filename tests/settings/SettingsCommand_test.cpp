#include "CRegister.h"
#include "OutputSettingsModel.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <unistd.h>

using namespace tunevale;
using tunevale::test::TempDir;

namespace
{

std::string cliPath()
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
}

class SettingsCommandTest : public ::testing::Test
{
protected:
    TempDir config;
    std::filesystem::path file = config / "Tunevale" / "registry.ini";

    void SetUp() override { ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    test::ProgramResult run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {cliPath(), "settings"});
        return test::runProgram(arguments, 60);
    }
    std::string stored(const std::string& name)
    {
        return CRegister(file).REGGetSetting(RegistryRoot::LocalMachine, SettingsKey, name, "<none>");
    }
};

} // namespace

TEST_F(SettingsCommandTest, ShowsTheDefaultsWithoutWritingAnything)
{
    const auto result = run({});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("optFileFormat=4 (Ipod Default)\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("cmbMP3CBitrate=6 (128 Kbps)\n"), std::string::npos);
    EXPECT_NE(result.output.find("sliderOGG=3\n"), std::string::npos);
    EXPECT_NE(result.output.find("cmbOGGVBitrate=6 (128 Kbps)\n"), std::string::npos);
    EXPECT_NE(result.output.find("txtOutPath=" + std::string(std::getenv("HOME")) + "/Converted Files\n"),
              std::string::npos);
    EXPECT_TRUE(result.output.ends_with("Format: iPod Default format\n")) << result.output;
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SettingsCommandTest, ChangesAreSavedAsTheWindowSavesThem)
{
    auto result = run({"optFileFormat=MP3", "OPTMP3ABR=true", "cmbMP3ABitrate=310 kbps", "cmbMP3Freq=9",
                       "sliderWMA=150", "txtOutPath=/srv/my music/out"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(result.output.ends_with("Format: MP3,Joint Stereo,48 KHz,Average Bitrate 310 Kbps\n")) << result.output;
    EXPECT_EQ(stored("optFileFormat"), "2");
    EXPECT_EQ(stored("optMP3ABR"), "True");
    EXPECT_EQ(stored("optMP3CBR"), "False");
    EXPECT_EQ(stored("cmbMP3ABitrate"), "0");
    EXPECT_EQ(stored("sliderWMA"), "100");
    EXPECT_EQ(stored("txtOutPath"), "/srv/my music/out");
    EXPECT_EQ(stored("cmbOGGVBitrate"), "6");

    result = run({});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("optMP3ABR=True\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("txtOutPath=/srv/my music/out\n"), std::string::npos);
}

TEST_F(SettingsCommandTest, TheNewFormatsAndTheirOptionsAreShownAndSet)
{
    auto result = run({});
    for (const char* line : {"sliderFLACLevel=5\n", "sliderOpusBitrate=128\n", "sliderAACBitrate=192\n"})
        EXPECT_NE(result.output.find(line), std::string::npos) << line << result.output;
    result = run({"optFileFormat=flac", "sliderFLACLevel=7", "sliderAACBitrate=1000"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("optFileFormat=5 (FLAC)\n"), std::string::npos) << result.output;
    EXPECT_TRUE(result.output.ends_with("Format: FLAC,Compression Level=7\n")) << result.output;
    EXPECT_EQ(stored("optFileFormat"), "5");
    EXPECT_EQ(stored("sliderFLACLevel"), "7");
    EXPECT_EQ(stored("sliderAACBitrate"), "320") << "pulled to the slider's end, as the panel does";
    result = run({"optFileFormat=10"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("optFileFormat=10 (WavPack)\n"), std::string::npos) << result.output;
    result = run({"sliderOpusBitrate=fast"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(stored("sliderOpusBitrate"), "128");
}

TEST_F(SettingsCommandTest, CarryingTagsOverIsSetByName)
{
    auto result = run({});
    EXPECT_NE(result.output.find("chkCarryTags=True\n"), std::string::npos) << result.output;
    result = run({"chkcarrytags=false"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("chkCarryTags=False\n"), std::string::npos) << result.output;
    EXPECT_EQ(stored("chkCarryTags"), "False");
    result = run({"chkCarryTags=often"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.output.find("chkCarryTags expects True or False"), std::string::npos) << result.output;
    EXPECT_EQ(stored("chkCarryTags"), "False");
}

TEST_F(SettingsCommandTest, AnyBadArgumentChangesNothing)
{
    ASSERT_EQ(run({"sliderOGG=7"}).exitCode, 0);
    const std::string before = test::readFile(file);
    for (const auto& bad :
         {"cmbMP3Freq=99", "optMP3CBR=perhaps", "optFileFormat=11", "sliderOGG=high", "chkShutdown=1", "nonsense"}) {
        const auto result = run({"sliderOGG=1", bad});
        EXPECT_EQ(result.exitCode, 2) << bad;
        EXPECT_FALSE(result.output.empty()) << bad;
    }
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(stored("sliderOGG"), "7");
}

TEST_F(SettingsCommandTest, CopiesChangingDifferentSettingsAtOnceLoseNothing)
{
    // Each round four copies start at once, each changing its own setting to the round's value; a
    // copy that wrote what it had read before another's change would lose that change. Without the
    // store's lock, four at once lose a change within a round or two, two at once within a dozen.
    struct Change {
        std::string name;
        std::function<std::string(int round)> value;
    };
    const std::vector<Change> changes{{"sliderOGG", [](int round) { return std::to_string(round % 10); }},
                                      {"sliderWMA", [](int round) { return std::to_string(round); }},
                                      {"sliderFLACLevel", [](int round) { return std::to_string(round % 9); }},
                                      {"sliderOpusBitrate", [](int round) { return std::to_string(32 + round); }}};
    ASSERT_EQ(run({"sliderOGG=0", "sliderWMA=0", "sliderFLACLevel=0", "sliderOpusBitrate=32"}).exitCode, 0);
    constexpr int kRounds = 10;
    for (int round = 1; round <= kRounds; ++round) {
        std::vector<std::future<test::ProgramResult>> copies;
        for (const Change& change : changes)
            copies.push_back(std::async(
                std::launch::async, [this, change, round] { return run({change.name + "=" + change.value(round)}); }));
        for (auto& copy : copies)
            ASSERT_EQ(copy.get().exitCode, 0);
        for (const Change& change : changes)
            ASSERT_EQ(stored(change.name), change.value(round)) << change.name << ", round " << round;
    }
}

TEST_F(SettingsCommandTest, ResetDoesWhatTheDefaultsButtonDoes)
{
    ASSERT_EQ(run({"optFileFormat=OGG", "sliderOGG=9", "optSameFolder=True"}).exitCode, 0);

    // A bad assignment after --reset changes nothing, not even the reset.
    const std::string before = test::readFile(file);
    EXPECT_EQ(run({"--reset", "sliderOGG=loud"}).exitCode, 2);
    EXPECT_EQ(test::readFile(file), before);

    auto result = run({"--reset"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(result.output.ends_with("Format: iPod Default format\n")) << result.output;
    EXPECT_NE(result.output.find("sliderOGG=3\n"), std::string::npos) << result.output;
    // The whole key went; loading the defaults wrote back only the two folder values.
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("txtOutPath"), std::string(std::getenv("HOME")) + "/Converted Files");
    EXPECT_EQ(stored("sliderOGG"), "<none>");
    EXPECT_EQ(stored("optFileFormat"), "<none>");

    result = run({"--reset", "sliderOGG=7"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(stored("sliderOGG"), "7");
    EXPECT_EQ(stored("optFileFormat"), "4");
}

TEST_F(SettingsCommandTest, HelpAndUnknownOptions)
{
    const auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--reset"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("Exit status:"), std::string::npos) << help.output;
    const auto unknown = run({"--defaults"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.output.rfind("tunevale-cli settings: Unknown option 'defaults'", 0), 0u) << unknown.output;
    EXPECT_FALSE(std::filesystem::exists(file));
}
