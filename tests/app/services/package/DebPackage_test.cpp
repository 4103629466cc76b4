#include "ProgramCopy.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

// Unpacks the Debian package that cpack made (the DebPackage.Make test) into a temporary root, as
// dpkg would install it but without touching the machine.
class DebPackageTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        work = new test::TempDir;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(TUNEVALE_DEB_FOLDER, error))
            if (entry.path().extension() == ".deb")
                package = entry.path();
        if (package.empty()) {
            log = "no package in " TUNEVALE_DEB_FOLDER;
            return;
        }
        const auto unpacked = test::runProgram({"dpkg-deb", "-x", package.string(), (*work / "root").string()}, 60);
        log = unpacked.output;
        ready = unpacked.exitCode == 0;
    }
    static void TearDownTestSuite() { delete work; }

    void SetUp() override { ASSERT_TRUE(ready) << "the package is missing or does not unpack: " << log; }

    static std::filesystem::path at(const std::string& relative) { return *work / "root" / relative; }
    static std::string field(const char* name)
    {
        return test::runProgram({"dpkg-deb", "--field", package.string(), name}, 60).output;
    }

    static inline test::TempDir* work = nullptr;
    static inline std::filesystem::path package;
    static inline std::string log;
    static inline bool ready = false;
};

TEST_F(DebPackageTest, DeclaresItsNameVersionAndDependencies)
{
    EXPECT_EQ(field("Package"), "tunevale\n");
    EXPECT_EQ(field("Version"), TUNEVALE_VERSION "\n");
    const std::string depends = field("Depends");
    // The programs Tunevale starts or reads, and the libraries found by dpkg-shlibdeps.
    for (const char* needed : {"lame", "vorbis-tools", "timgm6mb-soundfont", "xdg-utils", "libqt6widgets6",
                               "libqt6dbus6", "libavformat", "libavcodec", "libswresample", "libsdl2", "libfluidsynth"})
        EXPECT_NE(depends.find(needed), std::string::npos) << needed << " in " << depends;
}

TEST_F(DebPackageTest, InstallsUnderUsrWithTheDesktopFilesAndLicence)
{
    for (const char* file :
         {"usr/bin/tunevale", "usr/bin/tunevale-cli", "usr/share/applications/" TUNEVALE_APP_ID ".desktop",
          "usr/share/metainfo/" TUNEVALE_APP_ID ".metainfo.xml", "usr/share/icons/hicolor/scalable/apps/tunevale.svg",
          "usr/share/tunevale/manual/index.html", "usr/share/doc/tunevale/copyright"})
        EXPECT_TRUE(std::filesystem::exists(at(file))) << file;
    const auto validation = test::runProgram(
        {"desktop-file-validate", at("usr/share/applications/" TUNEVALE_APP_ID ".desktop").string()}, 60);
    EXPECT_EQ(validation.exitCode, 0) << validation.output;
}

TEST_F(DebPackageTest, UnpackedCliReadsAWav)
{
    test::TempDir home;
    const auto tone = test::makeTone(home / "tone.wav", 1.5, 22050, 1);
    const auto result = test::runProgram({at("usr/bin/tunevale-cli").string(), "info", tone.string()}, 60);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("22050"), std::string::npos) << result.output;
}

TEST_F(DebPackageTest, UnpackedWindowStartsOffScreen)
{
    test::TempDir home;
    test::ProgramCopy copy(at("usr/bin/tunevale"), home.path(), "packaged");
    EXPECT_TRUE(copy.waitForStartUp());
    // The WMA check at the end of start-up writes its test file into the copy's own cache folder.
    const auto probe = home / "packaged-cache" / "Tunevale" / "CheckWMASupport.wma";
    EXPECT_TRUE(test::eventually([&] { return std::filesystem::exists(probe); }, 20000, 50));
    EXPECT_FALSE(std::filesystem::exists(at("usr/bin/CheckWMASupport.wma")));
}

} // namespace
} // namespace tunevale
