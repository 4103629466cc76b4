#include "EngineTestSupport.h"
#include "HostileFiles.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::string cli()
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
}

TEST(InfoCommand, OneLinePerFileWithFormatAndDecodedLength)
{
    TempDir dir;
    makeTone(dir / "tone.flac", 2, 48000, 2, {"-c:a", "flac"});
    makeTone(dir / "mono.wav", 1.5, 22050, 1, {"-c:a", "pcm_u8"});
    writeFile(dir / "tune.mod", squareWaveModule());
    const ProgramResult result = runProgram(
        {cli(), "info", (dir / "tone.flac").string(), (dir / "mono.wav").string(), (dir / "tune.mod").string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output,
              (dir / "tone.flac").string() + "\trate=48000\tchannels=2\tbits=16\tbytes=384000\tseconds=2.000\n" +
                  (dir / "mono.wav").string() + "\trate=22050\tchannels=1\tbits=8\tbytes=33075\tseconds=1.500\n" +
                  (dir / "tune.mod").string() + "\trate=44100\tchannels=2\tbits=16\tbytes=1354752\tseconds=7.680\n" +
                  "Title: test\n"); // the module's song name
}

TEST(InfoCommand, FailuresGiveTheCodeAndItsText)
{
    TempDir dir;
    writeFile(dir / "noise.mp3", std::string(5000, 'x'));
    const ProgramResult result =
        runProgram({cli(), "info", (dir / "missing.wav").string(), (dir / "noise.mp3").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, (dir / "missing.wav").string() + "\terror=2\tCan't Open the File\n" +
                                 (dir / "noise.mp3").string() + "\terror=6\tUnsupported Format\n");
    EXPECT_EQ(runProgram({cli(), "info"}).exitCode, 2);
    EXPECT_EQ(runProgram({cli(), "info", "--bogus", (dir / "noise.mp3").string()}).exitCode, 2);
    EXPECT_EQ(runProgram({cli(), "info", "--help"}).exitCode, 0);
}

TEST(InfoCommand, TagsFollowTheirFileOneLineEach)
{
    TempDir dir;
    SourceTags tags = unicodeTags();
    tags.comment = "first line\nsecond line";
    const TagPicture cover = makeCover(dir / "cover.png");
    const auto tagged = makeTaggedSource(dir / "tagged.flac", tags, dir / "cover.png", {"-c:a", "flac"});
    const auto plain = makeTone(dir / "plain.wav", 1, 44100, 1);
    const ProgramResult result = runProgram({cli(), "info", tagged.string(), plain.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, tagged.string() + "\trate=44100\tchannels=1\tbits=16\tbytes=88200\tseconds=1.000\n" +
                                 "Title: " + tags.title + "\n" + "Artist: " + tags.artist + "\n" +
                                 "Album: " + tags.album + "\n" + "Album Artist: " + tags.albumArtist + "\n" +
                                 "Track: 3/12\n" + "Disc: 1/2\n" + "Date: 2021-05-03\n" + "Genre: " + tags.genre +
                                 "\n" + "Composer: " + tags.composer + "\n" + "Comment: first line\\nsecond line\n" +
                                 "Cover: image/png, " + std::to_string(cover.bytes.size()) + " bytes\n" +
                                 plain.string() + "\trate=44100\tchannels=1\tbits=16\tbytes=88200\tseconds=1.000\n");
}

TEST(InfoCommand, PlaylistsAndDamagedFilesFailAtOnce)
{
    TempDir dir;
    writePlaylists(dir);
    writeFile(dir / "centuries.mid", centuriesLongMidi());
    const std::string pcm = toneSamples(1.0, 44100);
    writeFile(dir / "cut.wav", wavHeader(44100, 1, 10 * 44100 * 2) + pcm); // states 10 s, holds 1 s
    const ProgramResult result = runProgram({cli(), "info", (dir / "concat-fifo.mp3").string(),
                                             (dir / "centuries.mid").string(), (dir / "cut.wav").string()},
                                            60);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, (dir / "concat-fifo.mp3").string() + "\terror=6\tUnsupported Format\n" +
                                 (dir / "centuries.mid").string() + "\terror=6\tUnsupported Format\n" +
                                 (dir / "cut.wav").string() +
                                 "\terror=102\tThe audio ends early: the file is damaged\n");
}

} // namespace
