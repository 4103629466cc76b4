#include "CliHarness.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace tunevale::test
{
namespace
{

namespace fs = std::filesystem;

// A file's inode and modification time: whether it was written again.
std::pair<ino_t, std::int64_t> markOf(const fs::path& file)
{
    struct stat status {
    };
    ::stat(file.c_str(), &status);
    return {status.st_ino, status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

std::vector<std::string> filesBelow(const fs::path& folder)
{
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            paths.push_back(fs::relative(entry.path(), folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::filesystem::path tagged(const fs::path& file, const SourceTags& tags)
{
    fs::create_directories(file.parent_path());
    return makeTaggedSource(file, tags, {}, {"-t", "0.3", "-c:a", "flac"});
}

// Sets a source's modification time some seconds after its output's, as an edit would.
void touchLater(const fs::path& source, const fs::path& output)
{
    fs::last_write_time(source, fs::last_write_time(output) + std::chrono::seconds(5));
}

class ConvertLayout : public ::testing::Test
{
protected:
    ConvertLayout()
    {
        SourceTags tags;
        tags.artist = "The: Band";
        tags.album = "First?";
        tags.title = "Opening";
        tags.track = 1;
        tagged(music / "The Band/First/01 a.flac", tags);
        tags.title = "Closing";
        tags.track = 2;
        tagged(music / "The Band/First/02 b.flac", tags);
        tags = {};
        tags.title = "Opening";
        tagged(music / "Other/01 a.flac", tags);
        cli.useRecordingEncoders();
    }

    CliResult convert(std::vector<std::string> options) const
    {
        std::vector<std::string> arguments{"convert", "-f", "mp3", "-o", out.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return cli.run(arguments);
    }

    CliHarness cli;
    const fs::path music = cli.dir() / "music";
    const fs::path out = cli.dir() / "converted";
};

TEST_F(ConvertLayout, KeptFoldersMirrorTheTreeBelowTheFolderNamed)
{
    const auto result = convert({"-r", "--keep-folders", music.string()});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(filesBelow(out),
              (std::vector<std::string>{"Other/01 a.mp3", "The Band/First/01 a.mp3", "The Band/First/02 b.mp3"}));
    // Without kept folders the tree goes flat, as before: the second "01 a" takes the next name.
    const auto flat = cli.run({"convert", "-f", "mp3", "-r", "-o", (cli.dir() / "flat").string(), music.string()});
    ASSERT_EQ(flat.exitCode, 0) << flat.err;
    EXPECT_EQ(filesBelow(cli.dir() / "flat"), (std::vector<std::string>{"01 a.mp3", "01 a_Converted.mp3", "02 b.mp3"}));
}

TEST_F(ConvertLayout, NamesFromTagsAreSafeForCardsAndFallBackWhenTagsAreMissing)
{
    const auto result = convert({"-r", "--name-pattern", "{albumartist}/{album}/{track:02} {title}", music.string()});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(filesBelow(out),
              (std::vector<std::string>{"The_ Band/First_/01 Opening.mp3", "The_ Band/First_/02 Closing.mp3",
                                        "Unknown Artist/Unknown Album/Opening.mp3"}));
    EXPECT_EQ(ffprobe(out / "The_ Band/First_/02 Closing.mp3", "format_tags=title"), "Closing");

    const auto bad = convert({"--name-pattern", "{albm}", music.string()});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("albm"), std::string::npos) << bad.err;
}

TEST_F(ConvertLayout, EachChoiceForAnExistingOutput)
{
    const auto source = music / "The Band/First/01 a.flac";
    const auto output = out / "01 a.mp3";
    ASSERT_EQ(convert({source.string()}).exitCode, 0);
    const auto made = markOf(output);

    // rename, the default: a new name beside it.
    const auto renamed = convert({"--if-exists", "rename", source.string()});
    EXPECT_EQ(renamed.exitCode, 0);
    EXPECT_TRUE(fs::exists(out / "01 a_Converted.mp3"));
    fs::remove(out / "01 a_Converted.mp3");

    // skip: left as it is, even after the source changed.
    touchLater(source, output);
    const auto skipped = convert({"--if-exists", "skip", "--json", source.string()});
    EXPECT_EQ(skipped.exitCode, 0);
    EXPECT_NE(skipped.out.find("\"status\":\"up-to-date\""), std::string::npos) << skipped.out;
    EXPECT_EQ(markOf(output), made);
    EXPECT_EQ(cli.calls("lame").size(), 2u);

    // update: converted again as the source changed since, then up to date until the settings change.
    const auto updated = convert({"--if-exists", "update", source.string()});
    EXPECT_EQ(updated.out, "Complete\t" + source.string() + "\t" + output.string() + "\n") << updated.err;
    const auto remade = markOf(output);
    EXPECT_NE(remade, made);
    const auto unchanged = convert({"--if-exists", "update", source.string()});
    EXPECT_EQ(unchanged.out, "Up To Date\t" + source.string() + "\t" + output.string() + "\n");
    EXPECT_EQ(markOf(output), remade);
    EXPECT_EQ(convert({"--if-exists", "update", "--bitrate", "192", source.string()}).exitCode, 0);
    EXPECT_NE(markOf(output), remade);
    EXPECT_EQ(cli.calls("lame").size(), 4u);

    // replace: converted again under the same name, the old file replaced only by a complete one.
    const auto before = markOf(output);
    EXPECT_EQ(convert({"--if-exists", "replace", source.string()}).exitCode, 0);
    EXPECT_NE(markOf(output), before);
    EXPECT_FALSE(fs::exists(out / "01 a_Converted.mp3"));

    const auto bad = convert({"--if-exists", "overwrite", source.string()});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("rename, skip, update, replace"), std::string::npos) << bad.err;
}

TEST_F(ConvertLayout, AFailedReplacementKeepsTheOldOutput)
{
    const auto source = cli.in("song.flac");
    makeTone(source, 0.3, 44100, 2, {"-c:a", "flac"});
    ASSERT_EQ(convert({source.string()}).exitCode, 0);
    const auto output = out / "song.mp3";
    const std::string old = readFile(output);
    // No encoder this time: the replacement fails, and the output it had stays.
    cli.hideEncoders();
    const auto replaced = convert({"--if-exists", "replace", source.string()});
    EXPECT_NE(replaced.exitCode, 0);
    EXPECT_EQ(readFile(output), old);
    EXPECT_EQ(filesBelow(out), std::vector<std::string>{"song.mp3"});
}

TEST_F(ConvertLayout, AFolderOrLinkUnderTheNameIsNeverReplaced)
{
    const auto source = music / "Other/01 a.flac";
    fs::create_directories(out / "01 a.mp3");
    const auto target = cli.dir() / "victim.txt";
    writeFile(target, "keep");
    const auto result = convert({"--if-exists", "replace", source.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::is_directory(out / "01 a.mp3"));
    EXPECT_TRUE(fs::exists(out / "01 a_Converted.mp3"));

    fs::create_symlink(target, out / "01 a_Converted_0.mp3");
    fs::remove(out / "01 a_Converted.mp3");
    fs::create_symlink(target, out / "01 a_Converted.mp3");
    EXPECT_EQ(convert({"--if-exists", "replace", source.string()}).exitCode, 0);
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_TRUE(fs::is_symlink(out / "01 a_Converted.mp3"));
    EXPECT_TRUE(fs::is_regular_file(out / "01 a_Converted_1.mp3"));
}

} // namespace
} // namespace tunevale::test
