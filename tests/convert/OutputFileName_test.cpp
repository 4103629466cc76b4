#include "OutputFileName.h"

#include "OutputSettings.h"
#include "RecordingMessageBox.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using tunevale::test::TempDir;
using Outcome = OutputFileName::Outcome;

namespace
{

class OutputFileNameTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::string music = (dir / "Music").string();
    OutputSettings settings = designOutputSettings((dir / "Converted Files").string());
    test::RecordingMessageBox messages;

    void SetUp() override { std::filesystem::create_directory(music); }

    std::string touch(const std::string& path)
    {
        test::writeFile(path, "x");
        return path;
    }
    void sameFolder()
    {
        settings.optSameFolder.value = true;
        settings.optOtherFolder.value = false;
    }
    void otherFolder(const std::string& path)
    {
        settings.optSameFolder.value = false;
        settings.optOtherFolder.value = true;
        settings.txtOutPath.text = path;
    }
    OutputFileName name(const std::string& source, const std::string& extension)
    {
        return GetOutputFileName(source, extension, settings, messages);
    }
};

} // namespace

TEST_F(OutputFileNameTest, SameFolderSkipsTheSourceThenNumbers)
{
    sameFolder();
    const std::string source = touch(music + "/song.mp3");
    OutputFileName result = name(source, "mp3");
    EXPECT_EQ(result.outcome, Outcome::Name);
    EXPECT_EQ(result.path, music + "/song_Converted.mp3");

    touch(music + "/song_Converted.mp3");
    EXPECT_EQ(name(source, "mp3").path, music + "/song_Converted_0.mp3");
    touch(music + "/song_Converted_0.mp3");
    EXPECT_EQ(name(source, "mp3").path, music + "/song_Converted_1.mp3");

    // Another extension is free at once.
    EXPECT_EQ(name(source, "ogg").path, music + "/song.ogg");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OutputFileNameTest, BaseNamesEndingInConverted)
{
    sameFolder();
    EXPECT_EQ(name(touch(music + "/track_Converted.wav"), "wav").path, music + "/track_Converted_0.wav");
    // The comparison minds letter case.
    EXPECT_EQ(name(touch(music + "/x_converted.ogg"), "ogg").path, music + "/x_converted_Converted.ogg");
    // Two dots: only the last one starts the extension.
    EXPECT_EQ(name(touch(music + "/live.2010.flac"), "flac").path, music + "/live.2010_Converted.flac");
    EXPECT_EQ(name(music + "/live.2010.flac", "mp3").path, music + "/live.2010.mp3");
    EXPECT_EQ(name(music + "/noextension", "wav").path, music + "/noextension.wav");
}

TEST_F(OutputFileNameTest, OtherFolderIsCreatedWhenMissing)
{
    const std::string out = (dir / "Converted Files").string();
    otherFolder(out);
    const OutputFileName result = name(music + "/song.flac", "mp3");
    EXPECT_EQ(result.outcome, Outcome::Name);
    EXPECT_EQ(result.path, out + "/song.mp3");
    EXPECT_TRUE(std::filesystem::is_directory(out));
    EXPECT_TRUE(messages.shown.empty());

    // A trailing separator is not doubled.
    otherFolder(out + "/");
    EXPECT_EQ(name(music + "/song.flac", "mp3").path, out + "/song.mp3");
}

TEST_F(OutputFileNameTest, AFolderThatCannotBeCreatedSkipsTheJobSilently)
{
    otherFolder((dir / "New" / "Deeper").string());
    EXPECT_EQ(name(music + "/song.flac", "wav").outcome, Outcome::FolderCreationFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "New"));

    otherFolder("");
    const OutputFileName empty = name(music + "/song.flac", "wav");
    EXPECT_EQ(empty.outcome, Outcome::FolderCreationFailed);
    EXPECT_EQ(empty.path, "");

    // A file where the folder should be.
    otherFolder(touch((dir / "notafolder").string()));
    EXPECT_EQ(name(music + "/song.flac", "wav").outcome, Outcome::FolderCreationFailed);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OutputFileNameTest, AFolderOfThatNameIsNotAFile)
{
    sameFolder();
    std::filesystem::create_directory(music + "/song.mp3");
    EXPECT_EQ(name(music + "/song.flac", "mp3").path, music + "/song.mp3");
}

TEST_F(OutputFileNameTest, LinksAndPipesOfThatNameAreTaken)
{
    sameFolder();
    std::filesystem::create_symlink(dir / "nowhere", music + "/a.mp3");
    EXPECT_EQ(name(music + "/a.flac", "mp3").path, music + "/a_Converted.mp3");
    ASSERT_EQ(::mkfifo((music + "/b.mp3").c_str(), 0600), 0);
    EXPECT_EQ(name(music + "/b.flac", "mp3").path, music + "/b_Converted.mp3");
    // A link to a folder is a folder.
    std::filesystem::create_directory_symlink(dir.path(), music + "/c.mp3");
    EXPECT_EQ(name(music + "/c.flac", "mp3").path, music + "/c.mp3");
}

TEST_F(OutputFileNameTest, AllNumberedNamesTakenGivesTheEmptyName)
{
    otherFolder((dir / "full").string());
    std::filesystem::create_directory(dir / "full");
    touch((dir / "full" / "song.wav").string());
    touch((dir / "full" / "song_Converted.wav").string());
    for (int i = 0; i < 10000; ++i)
        touch((dir / "full" / ("song_Converted_" + std::to_string(i) + ".wav")).string());
    EXPECT_EQ(name(music + "/song.flac", "wav").path, (dir / "full" / "song_Converted_10000.wav").string());

    touch((dir / "full" / "song_Converted_10000.wav").string());
    const OutputFileName result = name(music + "/song.flac", "wav");
    EXPECT_EQ(result.outcome, Outcome::EmptyName);
    EXPECT_EQ(result.path, "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OutputFileNameTest, SameFolderOfAFileWithoutAFolderPart)
{
    sameFolder();
    EXPECT_EQ(name("song.flac", "wav").outcome, Outcome::FolderCreationFailed);
}

TEST_F(OutputFileNameTest, AFileInTheRootKeepsTheRootsSeparator)
{
    sameFolder();
    const std::string base = "/tunevale-test-" + std::to_string(::getpid()) + "-absent";
    ASSERT_FALSE(std::filesystem::exists(base + ".mp3"));
    EXPECT_EQ(name(base + ".flac", "mp3").path, base + ".mp3");
}
