#include "Help.h"
#include "ProgramCopy.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

const std::filesystem::path kBuildDir = TUNEVALE_BUILD_DIR;

// Installs the built tree into a temporary prefix, as a packager or `cmake --install` would.
class InstallTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        prefix = new test::TempDir;
        const auto result =
            test::runProgram({"cmake", "--install", kBuildDir.string(), "--prefix", prefix->path().string()}, 240);
        installOutput = result.output;
        installed = result.exitCode == 0;
    }
    static void TearDownTestSuite() { delete prefix; }

    void SetUp() override { ASSERT_TRUE(installed) << "cmake --install failed:\n" << installOutput; }

    static std::filesystem::path at(const std::string& relative) { return prefix->path() / relative; }

    static inline test::TempDir* prefix = nullptr;
    static inline std::string installOutput;
    static inline bool installed = false;
};

TEST_F(InstallTest, TreeHoldsProgramsManualDesktopEntryAndIcons)
{
    EXPECT_TRUE(std::filesystem::exists(at("bin/tunevale-cli")));
    if (std::filesystem::exists(kBuildDir / "bin" / "tunevale")) {
        EXPECT_TRUE(std::filesystem::exists(at("bin/tunevale")));
    }
    EXPECT_TRUE(std::filesystem::exists(at("share/applications/" TUNEVALE_APP_ID ".desktop")));
    EXPECT_TRUE(std::filesystem::exists(at("share/metainfo/" TUNEVALE_APP_ID ".metainfo.xml")));
    EXPECT_TRUE(std::filesystem::exists(at("share/doc/tunevale/copyright")));
    EXPECT_TRUE(std::filesystem::exists(at("share/icons/hicolor/scalable/apps/tunevale.svg")));
    EXPECT_TRUE(std::filesystem::exists(at("share/icons/hicolor/128x128/apps/tunevale.png")));
    EXPECT_TRUE(std::filesystem::exists(at("share/tunevale/manual/index.html")));
}

TEST_F(InstallTest, ManPagesAndShellCompletionAreInstalled)
{
    for (const auto* page : {"share/man/man1/tunevale.1", "share/man/man1/tunevale-cli.1"}) {
        ASSERT_TRUE(std::filesystem::exists(at(page))) << page;
        const auto rendered = test::runProgram({"groff", "-man", "-Tutf8", "-ww", "-z", at(page).string()}, 60);
        EXPECT_EQ(rendered.exitCode, 0) << page << rendered.output;
        EXPECT_EQ(rendered.output, "") << page;
    }
    const auto completion = at("share/bash-completion/completions/tunevale-cli");
    ASSERT_TRUE(std::filesystem::exists(completion));
    const auto registered =
        test::runProgram({"bash", "-c", "source \"$1\" && complete -p tunevale-cli", "bash", completion.string()}, 60);
    EXPECT_EQ(registered.exitCode, 0) << registered.output;
}

TEST_F(InstallTest, DesktopEntryIsValidAndNamesTheInstalledProgramAndIcon)
{
    const auto entry = at("share/applications/" TUNEVALE_APP_ID ".desktop");
    const auto validation = test::runProgram({"desktop-file-validate", entry.string()}, 60);
    EXPECT_EQ(validation.exitCode, 0) << validation.output;
    EXPECT_EQ(validation.output, "");

    const std::string text = test::readFile(entry);
    EXPECT_NE(text.find("\nExec=tunevale %F\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=tunevale\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Tunevale\n"), std::string::npos);
}

TEST_F(InstallTest, MetadataIsValidAndNamesTheDesktopEntryVersionAndLicence)
{
    const auto metainfo = at("share/metainfo/" TUNEVALE_APP_ID ".metainfo.xml");
    const auto validation = test::runProgram({"appstreamcli", "validate", "--no-net", metainfo.string()}, 120);
    EXPECT_EQ(validation.exitCode, 0) << validation.output;

    const std::string text = test::readFile(metainfo);
    EXPECT_NE(text.find("<id>" TUNEVALE_APP_ID "</id>"), std::string::npos);
    EXPECT_NE(text.find("<launchable type=\"desktop-id\">" TUNEVALE_APP_ID ".desktop</launchable>"), std::string::npos);
    EXPECT_NE(text.find("<release version=\"" TUNEVALE_VERSION "\""), std::string::npos);
    EXPECT_NE(text.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos);
    // The licence shipped is the one the metadata names.
    EXPECT_NE(test::readFile(at("share/doc/tunevale/copyright"))
                  .find("GNU GENERAL PUBLIC LICENSE\n"
                        "                       Version 3"),
              std::string::npos);
}

TEST_F(InstallTest, InstalledProgramFindsTheInstalledManual)
{
    EXPECT_EQ(findManual(at("bin")), at("share/tunevale/manual/index.html"));
}

TEST_F(InstallTest, InstalledCliRuns)
{
    const auto result = test::runProgram({at("bin/tunevale-cli").string()}, 60);
    EXPECT_EQ(result.exitCode, 2) << result.output;
    EXPECT_NE(result.output.find("usage"), std::string::npos) << result.output;
}

TEST_F(InstallTest, InstalledCliConvertsWithTheEncoderFoundOnPath)
{
    ASSERT_FALSE(std::filesystem::exists(at("bin/lame")));
    test::TempDir home;
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    const auto source = test::makeTone(home / "tone.wav", 2.0);

    // The stored format starts as "Ipod Default": MP3 made by lame, into ~/Converted Files.
    const auto result = test::runProgram({at("bin/tunevale-cli").string(), "convert", source.string()}, 120);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const auto output = home / "Converted Files" / "tone.mp3";
    ASSERT_TRUE(std::filesystem::exists(output)) << result.output;
    EXPECT_EQ(test::ffprobe(output, "stream=codec_name"), "mp3");
}

TEST_F(InstallTest, InstalledProgramStartsOffScreen)
{
    if (!std::filesystem::exists(kBuildDir / "bin" / "tunevale"))
        GTEST_SKIP() << "the tunevale program is not built";
    test::TempDir home;
    test::ProgramCopy copy(at("bin/tunevale"), home.path(), "installed");
    EXPECT_TRUE(copy.waitForStartUp());
}

} // namespace
} // namespace tunevale
