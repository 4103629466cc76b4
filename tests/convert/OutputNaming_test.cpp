#include "ConversionRun.h"
#include "JobTable.h"
#include "OutputNaming.h"
#include "OutputOrigin.h"
#include "RunPlan.h"
#include "SourceScan.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using test::TempDir;

class OutputNamingTest : public ::testing::Test
{
protected:
    OutputNamingTest()
    {
        options.format = FileFormat::MP3;
        fs::create_directories(out);
    }

    RunJob job(const std::string& source, const std::string& root = {}) const
    {
        RunJob made;
        made.source = (dir / "music" / source).string();
        made.folder = out.string();
        made.root = root.empty() ? std::string() : (dir / root).string();
        return made;
    }

    std::string outPath(const std::string& relative) const { return (out / relative).string(); }

    TempDir dir;
    const fs::path out = dir / "out";
    ConversionOptions options;
};

TEST_F(OutputNamingTest, KeptFoldersFollowTheSourceBelowItsRoot)
{
    options.keepFolders = true;
    OutputNaming naming(options, "settings");
    EXPECT_EQ(naming.claim(job("Band: One/Live?/01 Song.flac", "music"), {}).path,
              outPath("Band_ One/Live_/01 Song.mp3"));
    // Not below its root, or added alone: straight into the output folder.
    EXPECT_EQ(naming.claim(job("elsewhere/x.flac", "other"), {}).path, outPath("x.mp3"));
    EXPECT_EQ(naming.claim(job("elsewhere/y.flac"), {}).path, outPath("y.mp3"));
}

TEST_F(OutputNamingTest, NamesFromTagsGoBelowTheKeptFoldersWhenBothAreAsked)
{
    options.namePattern = "{artist}/{track:02} {title}";
    SourceTags tags;
    tags.artist = "Who?";
    tags.title = "Intro";
    tags.track = 3;
    OutputNaming named(options, "settings");
    EXPECT_TRUE(named.needsTags());
    EXPECT_EQ(named.claim(job("a/b/x.flac", "music"), tags).path, outPath("Who_/03 Intro.mp3"));
    options.keepFolders = true;
    OutputNaming both(options, "settings");
    EXPECT_EQ(both.claim(job("a/b/x.flac", "music"), tags).path, outPath("a/b/Who_/03 Intro.mp3"));

    options.namePattern = "{nope}";
    OutputNaming broken(options, "settings");
    const auto target = broken.claim(job("x.flac"), tags);
    EXPECT_EQ(target.path, "");
    EXPECT_NE(target.failure.find("nope"), std::string::npos) << target.failure;
}

TEST_F(OutputNamingTest, JobsOfOneRunNeverShareANameWhateverTheChoice)
{
    for (const auto choice :
         {IfExistsChoice::Rename, IfExistsChoice::Skip, IfExistsChoice::Update, IfExistsChoice::Replace}) {
        options.ifExists = choice;
        OutputNaming naming(options, "settings");
        EXPECT_EQ(naming.claim(job("a/01 Intro.flac"), {}).path, outPath("01 Intro.mp3"));
        EXPECT_EQ(naming.claim(job("b/01 Intro.flac"), {}).path, outPath("01 Intro_Converted.mp3"));
    }
}

TEST_F(OutputNamingTest, ExistingOutputsAreRenamedSkippedUpdatedOrReplaced)
{
    const auto source = dir / "music/song.flac";
    fs::create_directories(source.parent_path());
    test::makeTone(source, 0.1, 44100, 2, {"-c:a", "flac"});
    const auto output = out / "song.mp3";
    test::writeFile(output, "made before");
    const auto claim = [&](IfExistsChoice choice) {
        options.ifExists = choice;
        return OutputNaming(options, "settings").claim(job("song.flac"), {});
    };
    EXPECT_EQ(claim(IfExistsChoice::Rename).path, outPath("song_Converted.mp3"));
    const auto skipped = claim(IfExistsChoice::Skip);
    EXPECT_EQ(skipped.path, output.string());
    EXPECT_TRUE(skipped.upToDate);
    const auto replaced = claim(IfExistsChoice::Replace);
    EXPECT_EQ(replaced.path, output.string());
    EXPECT_TRUE(replaced.replace);
    EXPECT_FALSE(replaced.upToDate);

    // Update: by the output's record when it has one.
    ASSERT_TRUE(writeOutputOrigin(output.string(), *fileStamp(source.string()), "settings"));
    EXPECT_TRUE(claim(IfExistsChoice::Update).upToDate);
    ASSERT_TRUE(writeOutputOrigin(output.string(), *fileStamp(source.string()), "other settings"));
    const auto updated = claim(IfExistsChoice::Update);
    EXPECT_FALSE(updated.upToDate);
    EXPECT_TRUE(updated.replace);

    // A folder under the name is never replaced: the next name is taken.
    fs::remove(output);
    fs::create_directory(output);
    const auto beside = claim(IfExistsChoice::Replace);
    EXPECT_EQ(beside.path, outPath("song_Converted.mp3"));
    EXPECT_FALSE(beside.replace);
}

TEST_F(OutputNamingTest, ACallersChoiceOfPathIsKept)
{
    OutputNaming naming(options, "settings");
    RunJob chosen = job("x.flac");
    chosen.outputPath = outPath("deep/er/x.mp3");
    chosen.replaceOutput = true;
    const auto target = naming.claim(chosen, {});
    EXPECT_EQ(target.path, chosen.outputPath);
    EXPECT_TRUE(target.chosen);
    EXPECT_TRUE(target.replace);
    EXPECT_EQ(target.folder, outPath("deep/er"));
    EXPECT_NE(naming.claim(chosen, {}).failure, "");
}

TEST(RunPlan, EachJobTakesTheFolderItWasAddedFrom)
{
    TempDir dir;
    JobTable table;
    Job fromTree;
    fromTree.FilePath = (dir / "music/a/b.flac").string();
    fromTree.Root = (dir / "music").string();
    Job alone;
    alone.FilePath = (dir / "c.flac").string();
    ASSERT_TRUE(table.append(fromTree));
    ASSERT_TRUE(table.append(alone));
    ConversionOptions options;
    options.format = FileFormat::MP3;
    options.outPath = (dir / "out").string();
    const auto plan = planRun(table, false, options);
    ASSERT_EQ(plan.jobs.size(), 2u);
    EXPECT_EQ(plan.jobs[0].root, fromTree.Root);
    EXPECT_EQ(plan.jobs[1].root, "");
}

TEST(OutputOrigin, RecordsTheSourceTheOutputAndTheSettings)
{
    TempDir dir;
    const auto output = dir / "a.mp3";
    test::writeFile(dir / "a.flac", "source");
    test::writeFile(output, "output");
    const FileStamp sourceStamp = *fileStamp((dir / "a.flac").string());
    ASSERT_TRUE(writeOutputOrigin(output.string(), sourceStamp, "mp3 192"));
    const auto origin = readOutputOrigin(output.string());
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->source, sourceStamp);
    EXPECT_EQ(origin->output, *fileStamp(output.string()));
    EXPECT_EQ(origin->settings, "mp3 192");
    EXPECT_TRUE(outputUpToDate((dir / "a.flac").string(), output.string(), "mp3 192"));
    EXPECT_FALSE(outputUpToDate((dir / "a.flac").string(), output.string(), "mp3 320"));

    // An edit of the source is seen; so is one of the output, by its own stamp.
    fs::last_write_time(dir / "a.flac", fs::last_write_time(output) + std::chrono::seconds(3));
    EXPECT_FALSE(outputUpToDate((dir / "a.flac").string(), output.string(), "mp3 192"));
    test::writeFile(output, "edited by hand");
    EXPECT_NE(readOutputOrigin(output.string())->output, *fileStamp(output.string()));
}

TEST(OutputOrigin, WithoutARecordAnOutputNotOlderThanItsSourceIsUpToDate)
{
    TempDir dir;
    test::writeFile(dir / "a.flac", "source");
    test::writeFile(dir / "a.mp3", "made by another program");
    EXPECT_FALSE(readOutputOrigin((dir / "a.mp3").string()));
    fs::last_write_time(dir / "a.mp3", fs::last_write_time(dir / "a.flac") + std::chrono::seconds(1));
    EXPECT_TRUE(outputUpToDate((dir / "a.flac").string(), (dir / "a.mp3").string(), "any"));
    fs::last_write_time(dir / "a.flac", fs::last_write_time(dir / "a.mp3") + std::chrono::seconds(1));
    EXPECT_FALSE(outputUpToDate((dir / "a.flac").string(), (dir / "a.mp3").string(), "any"));
}

} // namespace
} // namespace tunevale
