#include "FileSizeText.h"
#include "ProgramFolder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

TEST(ProbeCommand, PrintsWhatAddingEachFileWouldGiveIt)
{
    test::TempDir dir;
    const auto tone = test::makeTone(dir / "tone.wav", 2, 8000, 1).string();
    test::writeFile(dir / "bad.mp3", std::string(2048, 'x'));
    test::writeFile(dir / "notes.txt", "x");
    const auto cli = (programFolder() / "tunevale-cli").string();

    const auto result =
        test::runProgram({cli, "probe", tone, (dir / "bad.mp3").string(), (dir / "notes.txt").string(), tone}, 60);
    // Refused files make the status 1; a file the list takes as "Codec Not Supported" does not.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, tone + "\tWaiting Conversion\t00:02\t" + FormatFileSize(std::filesystem::file_size(tone)) +
                                 "\n" + (dir / "bad.mp3").string() + "\tCodec Not Supported\tError\t2 KB\n" +
                                 (dir / "notes.txt").string() + "\trefused\n" + tone + "\trefused\n");
}

TEST(ProbeCommand, ReportsAFileThatIsNotThere)
{
    test::TempDir dir;
    const auto cli = (programFolder() / "tunevale-cli").string();
    const auto result = test::runProgram({cli, "probe", (dir / "gone.flac").string()}, 60);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("An error occured while Adding File\n2:No such file or directory\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("gone.flac\trefused\n"), std::string::npos);
}

TEST(ProbeCommand, ExitsZeroWhenEveryFileWouldBeAdded)
{
    test::TempDir dir;
    const auto tone = test::makeTone(dir / "tone.wav", 1, 8000, 1).string();
    test::writeFile(dir / "bad.mp3", std::string(2048, 'x'));
    const auto cli = (programFolder() / "tunevale-cli").string();
    EXPECT_EQ(test::runProgram({cli, "probe", tone, (dir / "bad.mp3").string()}, 60).exitCode, 0);
    EXPECT_EQ(test::runProgram({cli, "probe"}, 60).exitCode, 2);
    EXPECT_EQ(test::runProgram({cli, "probe", "--bogus", tone}, 60).exitCode, 2);
    const auto help = test::runProgram({cli, "probe", "--help"}, 60);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("-r, --recursive"), std::string::npos) << help.output;
}

TEST(ProbeCommand, AFolderStandsForEveryKindTheListTakes)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "album" / "disc 2");
    test::makeTone(dir / "album" / "a.m4a", 1, 44100, 2, {"-c:a", "aac"});
    test::makeTone(dir / "album" / "b.opus", 1, 48000, 2, {"-c:a", "libopus"});
    test::makeTone(dir / "album" / "c.aiff", 1, 44100, 2);
    test::makeTone(dir / "album" / "disc 2" / "d.wv", 1, 44100, 2, {"-c:a", "wavpack"});
    test::writeFile(dir / "album" / "e.opus", "an opus in name only");
    test::writeFile(dir / "album" / "cover.jpg", "x");
    const auto cli = (programFolder() / "tunevale-cli").string();

    const auto result = test::runProgram({cli, "probe", "-r", (dir / "album").string()}, 60);
    const auto line = [&](const char* name, const char* status, const char* duration) {
        const auto path = dir / "album" / name;
        return path.string() + "\t" + status + "\t" + duration + "\t" +
               FormatFileSize(std::filesystem::file_size(path)) + "\n";
    };
    EXPECT_EQ(result.output,
              "tunevale-cli probe: 1 file left out: not a type the list takes: cover.jpg\n" +
                  line("a.m4a", "Waiting Conversion", "00:01") + line("b.opus", "Waiting Conversion", "00:01") +
                  line("c.aiff", "Waiting Conversion", "00:01") + line("e.opus", "Codec Not Supported", "Error") +
                  line("disc 2/d.wv", "Waiting Conversion", "00:01"));
}

} // namespace
} // namespace tunevale
