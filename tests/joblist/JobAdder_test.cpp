#include "JobAdder.h"
#include "JobList.h"
#include "JobListFakes.h"
#include "JobSelection.h"
#include "SelectionText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tunevale
{
namespace
{

using namespace std::string_literals;
namespace fs = std::filesystem;

constexpr const char* RefusedWarning = "Some files are not supported or already exist and will not be added";

// A window around the job list: the list, its view and fakes for the dialogs, boxes and probe.
struct Window {
    JobList jobs;
    test::MirrorView view{[this]() -> const JobTable& { return jobs.rsJobs(); }};
    test::TickBox chkSelectAll;
    test::PlayingPreview preview;
    test::TableDurations durations;
    test::ScriptedDialogs dialogs;
    test::RecordingMessageBox messages;
    JobSelection selection{jobs, chkSelectAll, preview};
    JobAdder adder{jobs, selection, durations, dialogs, messages};

    Window() { jobs.setObserver(&view); }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> result;
        for (const auto& job : jobs.rsJobs().jobs())
            result.push_back(job.FilePath);
        return result;
    }
    bool add(std::string path) { return adder.AddFile2Grid(path); }
};

std::string touch(const fs::path& file, std::uintmax_t size = 100)
{
    test::writeFile(file, "");
    fs::resize_file(file, size); // sparse: large sizes cost nothing on disk
    return file.string();
}

TEST(AddFile2Grid, AppendsAWaitingJobWithDurationAndSize)
{
    test::TempDir dir;
    Window window;
    const auto path = touch(dir / "song.flac", 1536);
    window.durations.answers[path] = "03:07";

    EXPECT_TRUE(window.add(path));
    ASSERT_EQ(window.jobs.rsJobs().size(), 1u);
    const Job& job = window.jobs.rsJobs().at(0);
    EXPECT_EQ(job.ID, 0);
    EXPECT_EQ(job.CheckBox, 0);
    EXPECT_EQ(job.FilePath, path);
    EXPECT_EQ(job.State, JobState::WaitingConversion);
    EXPECT_EQ(job.Duration, "03:07");
    EXPECT_EQ(job.FileSize, "1.5 KB");
    EXPECT_TRUE(window.messages.shown.empty());
    ASSERT_EQ(window.view.rows.size(), 1u);
    EXPECT_EQ(window.view.rows[0].Duration, "03:07");
}

TEST(AddFile2Grid, RefusesExactDuplicatesButNotOtherLetterCase)
{
    test::TempDir dir;
    Window window;
    const auto lower = touch(dir / "a.mp3");
    const auto upper = touch(dir / "A.MP3");
    EXPECT_TRUE(window.add(lower));
    EXPECT_FALSE(window.add(lower));
    EXPECT_TRUE(window.add(upper));
    EXPECT_EQ(window.paths(), (std::vector{lower, upper}));
    EXPECT_EQ(window.durations.calls, 2) << "a duplicate is not probed";
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFile2Grid, AcceptsExtensionsFoundInsideTheAcceptedListOnly)
{
    test::TempDir dir;
    Window window;
    for (const char* name : {"x.mid", "x.mp", "x.a", "x.MP3"})
        EXPECT_TRUE(window.add(touch(dir / name))) << name;
    for (const char* name : {"x.txt", "noextension", "x.jpg", "x.pdf"})
        EXPECT_FALSE(window.add(touch(dir / name))) << name;
    EXPECT_EQ(window.jobs.rsJobs().size(), 4u);
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFile2Grid, GivesCdTracksNoSize)
{
    test::TempDir dir;
    Window window;
    EXPECT_TRUE(window.add(touch(dir / "track01.cda", 44)));
    EXPECT_TRUE(window.add(touch(dir / "TRACK02.CDA", 44)));
    EXPECT_EQ(window.jobs.rsJobs().at(0).FileSize, "CD Track");
    EXPECT_EQ(window.jobs.rsJobs().at(1).FileSize, "CD Track");
}

TEST(AddFile2Grid, WritesTheSizeOfFilesOfEverySize)
{
    test::TempDir dir;
    Window window;
    const std::vector<std::pair<std::uintmax_t, std::string>> sizes{
        {0, "0 Bytes"},    {1023, "1023 Bytes"}, {1024, "1 KB"},       {1536, "1.5 KB"},
        {1048576, "1 MB"}, {1073741824, "1 GB"}, {2147483648, "2 GB"}, {5368709120 + 107374182, "5.1 GB"},
    };
    for (const auto& [size, text] : sizes) {
        const auto path = touch(dir / ("f" + std::to_string(size) + ".wav"), size);
        ASSERT_TRUE(window.add(path));
        EXPECT_EQ(window.jobs.rsJobs().at(window.jobs.rsJobs().size() - 1).FileSize, text) << size;
    }
}

TEST(AddFile2Grid, AddsUndecodableFilesAsCodecNotSupportedInRed)
{
    test::TempDir dir;
    Window window;
    const auto path = touch(dir / "broken.mp3");
    window.durations.answers[path] = "Error";
    EXPECT_TRUE(window.add(path));
    const Job& job = window.jobs.rsJobs().at(0);
    EXPECT_EQ(job.State, JobState::CodecNotSupported);
    EXPECT_EQ(job.Duration, "Error");
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFile2Grid, ReportsAnUnreadableSizeAndLeavesNoJobBehind)
{
    test::TempDir dir;
    Window window;
    std::string gone = (dir / "gone.mp3").string();
    EXPECT_FALSE(window.add(gone));
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    EXPECT_TRUE(window.view.rows.empty());
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, "An error occured while Adding File\r2:No such file or directory");
    EXPECT_EQ(window.messages.shown[0].title, "Tunevale");
    EXPECT_EQ(window.messages.shown[0].icon, MessageIcon::Critical);
    // The file may appear later and is then added normally.
    touch(gone);
    EXPECT_TRUE(window.add(gone));
}

TEST(AddFile2Grid, CleansDoubledSeparatorsIntoThePathItWasGiven)
{
    test::TempDir dir;
    Window window;
    const auto path = touch(dir / "a.ogg");
    std::string doubled = dir.path().string() + "//a.ogg";
    EXPECT_TRUE(window.adder.AddFile2Grid(doubled));
    EXPECT_EQ(doubled, path);
    EXPECT_EQ(window.paths(), std::vector{path});
    std::string again = dir.path().string() + "//a.ogg";
    EXPECT_FALSE(window.adder.AddFile2Grid(again)) << "the cleaned path is a duplicate";
}

TEST(AddFile2Grid, UnticksEveryJobWhenTheSelectAllBoxWasTicked)
{
    test::TempDir dir;
    Window window;
    window.add(touch(dir / "a.wav"));
    window.add(touch(dir / "b.wav"));
    window.chkSelectAll.setValue(1);
    window.selection.selectAllPass();
    ASSERT_TRUE(window.jobs.rsJobs().at(0).ticked());

    EXPECT_TRUE(window.add(touch(dir / "c.wav")));
    EXPECT_EQ(window.chkSelectAll.value(), 0);
    for (const auto& job : window.jobs.rsJobs().jobs())
        EXPECT_EQ(job.CheckBox, 0) << job.FilePath;
    for (const auto& row : window.view.rows)
        EXPECT_EQ(row.CheckBox, 0) << "the view shows the unticking";
}

TEST(AddFile2Grid, KeepsHandTicksWhenTheSelectAllBoxWasNotTicked)
{
    test::TempDir dir;
    Window window;
    window.add(touch(dir / "a.wav"));
    window.jobs.rsJobs().setCheckBox(0, -1);
    window.add(touch(dir / "b.wav"));
    EXPECT_EQ(window.jobs.rsJobs().at(0).CheckBox, -1);
}

TEST(AddAudioFiles, AddsTheDialogsChoiceInItsOrder)
{
    test::TempDir dir;
    Window window;
    const auto a = touch(dir / "a.mp3"), b = touch(dir / "b.ogg"), c = touch(dir / "c.wav");
    window.dialogs.openAnswer = dir.path().string() + "\0c.wav\0a.mp3\0b.ogg\0\0"s;
    window.adder.AddAudioFiles();
    EXPECT_EQ(window.paths(), (std::vector{c, a, b}));
    EXPECT_EQ(window.dialogs.lastTitle, "Select one or more audio files");
    EXPECT_TRUE(window.dialogs.lastMultiSelect);
    EXPECT_EQ(window.dialogs.lastFilters, &audioFileFilters());
    EXPECT_TRUE(window.messages.shown.empty());

    window.dialogs.openAnswer = (dir / "single.flac").string();
    touch(dir / "single.flac");
    window.adder.AddAudioFiles();
    EXPECT_EQ(window.jobs.rsJobs().size(), 4u);
}

TEST(AddAudioFiles, CancellingAddsNothingAndSaysNothing)
{
    Window window;
    window.dialogs.openAnswer.reset();
    window.adder.AddAudioFiles();
    window.adder.AddVideoFiles();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddAudioFiles, WarnsOnceWhenAnyFileWasRefused)
{
    test::TempDir dir;
    Window window;
    touch(dir / "a.mp3");
    touch(dir / "notes.txt");
    touch(dir / "cover.jpg");
    window.add((dir / "a.mp3").string());
    window.dialogs.openAnswer = dir.path().string() + "\0a.mp3\0notes.txt\0cover.jpg"s;
    window.adder.AddAudioFiles();
    EXPECT_EQ(window.jobs.rsJobs().size(), 1u);
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, RefusedWarning);
    EXPECT_EQ(window.messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(window.messages.shown[0].buttons, MessageButtons::Ok);
}

TEST(AddAudioFiles, AddsEveryFileOfAChoiceOfThousands)
{
    test::TempDir dir;
    Window window;
    std::vector<std::string> chosen;
    for (int i = 0; i < 3000; ++i)
        chosen.push_back(touch(dir / ("a fairly long file name for track " + std::to_string(i) + ".mp3"), 10));
    window.dialogs.openAnswer = selectionText(chosen);
    ASSERT_GT(window.dialogs.openAnswer->size(), 5000u);
    window.adder.AddAudioFiles();
    EXPECT_EQ(window.paths(), chosen);
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddVideoFiles, UsesTheVideoDialog)
{
    test::TempDir dir;
    Window window;
    window.dialogs.openAnswer = touch(dir / "clip.mov");
    window.adder.AddVideoFiles();
    EXPECT_EQ(window.dialogs.lastTitle, "Select one or more video files");
    EXPECT_EQ(window.dialogs.lastFilters, &videoFileFilters());
    EXPECT_EQ(window.jobs.rsJobs().size(), 1u);
}

TEST(DroppedFiles, AreAddedInOrderWithoutAWord)
{
    test::TempDir dir;
    Window window;
    const auto b = touch(dir / "b.wav"), a = touch(dir / "a.wav");
    fs::create_directory(dir / "folder");
    window.adder.addDroppedFiles({b, (dir / "notes.txt").string(), a, b, (dir / "folder").string()});
    EXPECT_EQ(window.paths(), (std::vector{b, a}));
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(OpenedPaths, AddFilesAsADropAndFoldersAsAddFolderInTheirOrder)
{
    test::TempDir dir;
    Window window;
    fs::create_directories(dir / "album" / "bonus");
    const auto b = touch(dir / "album" / "b.flac"), a = touch(dir / "album" / "a.mp3");
    touch(dir / "album" / "bonus" / "c.mp3");
    const auto single = touch(dir / "single.wav");
    window.adder.addOpenedPaths({single, (dir / "notes.txt").string(), (dir / "album").string()});
    EXPECT_EQ(window.paths(), (std::vector{single, a, b})) << "the folder's files in name order, not its sub-folder";
    EXPECT_TRUE(window.messages.shown.empty()) << "a file the list does not take is left out silently, as dropped";
}

TEST(OpenedPaths, AFolderWarnsAsAddFolderDoes)
{
    test::TempDir dir;
    Window window;
    fs::create_directories(dir / "empty" / "only a sub-folder");
    fs::create_directories(dir / "mixed");
    touch(dir / "mixed" / "readme.txt");
    const auto song = touch(dir / "mixed" / "song.ogg");
    window.adder.addOpenedPaths({(dir / "empty").string(), (dir / "mixed").string()});
    EXPECT_EQ(window.paths(), (std::vector{song}));
    ASSERT_EQ(window.messages.shown.size(), 2u);
    EXPECT_EQ(window.messages.shown[0].text, "Selected Folder is empty.");
    EXPECT_EQ(window.messages.shown[1].text, RefusedWarning);
}

TEST(AddFolder, AddsTheFilesDirectlyInsideTheFolder)
{
    test::TempDir dir;
    Window window;
    touch(dir / "a.mp3");
    touch(dir / "b.wav");
    fs::create_directory(dir / "more");
    touch(dir / "more" / "c.mp3");
    window.dialogs.folderAnswer = dir.path().string();
    window.adder.addFolder();
    EXPECT_EQ(window.dialogs.lastTitle, "Select folder to add");
    EXPECT_FALSE(window.dialogs.lastNewStyle);
    auto paths = window.paths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector{(dir / "a.mp3").string(), (dir / "b.wav").string()}));
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFolder, SaysAFolderOfOnlySubfoldersIsEmpty)
{
    test::TempDir dir;
    Window window;
    fs::create_directory(dir / "one");
    fs::create_directory(dir / "two");
    window.dialogs.folderAnswer = dir.path().string();
    window.adder.addFolder();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, "Selected Folder is empty.");
    EXPECT_EQ(window.messages.shown[0].icon, MessageIcon::Exclamation);
}

TEST(AddFolder, RefusesAReadmeWithTheWarning)
{
    test::TempDir dir;
    Window window;
    touch(dir / "readme.txt");
    window.dialogs.folderAnswer = dir.path().string();
    window.adder.addFolder();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, RefusedWarning);
}

TEST(AddFolder, AddsHiddenFilesAndOddNames)
{
    test::TempDir dir;
    Window window;
    touch(dir / ".hidden.mp3");
    touch(dir / "a*b.mp3");
    window.dialogs.folderAnswer = dir.path().string();
    window.adder.addFolder();
    auto paths = window.paths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector{(dir / ".hidden.mp3").string(), (dir / "a*b.mp3").string()}));
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFolder, AddingTheSameFolderAgainAddsNothingAndWarns)
{
    test::TempDir dir;
    Window window;
    touch(dir / "a.mp3");
    touch(dir / "b.wav");
    window.dialogs.folderAnswer = dir.path().string() + "/";
    window.adder.addFolder();
    ASSERT_EQ(window.jobs.rsJobs().size(), 2u);
    EXPECT_EQ(window.jobs.rsJobs().at(0).FilePath.find("//"), std::string::npos);
    window.dialogs.folderAnswer = dir.path().string();
    window.adder.addFolder();
    EXPECT_EQ(window.jobs.rsJobs().size(), 2u);
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, RefusedWarning);
}

TEST(AddFolder, CancellingTheBrowserDoesNothing)
{
    Window window;
    window.dialogs.folderAnswer = "";
    window.adder.addFolder();
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    EXPECT_TRUE(window.messages.shown.empty());
}

// An artist's tree: two albums whose tracks share names, a cover and a nested bonus disc.
struct Library {
    test::TempDir dir;
    std::string top = (dir / "Music").string();
    std::vector<std::string> tracks;

    Library()
    {
        fs::create_directories(dir / "Music" / "Artist" / "Second" / "Bonus");
        fs::create_directories(dir / "Music" / "Artist" / "First");
        for (const char* album : {"First", "Second"}) {
            tracks.push_back(touch(dir / "Music" / "Artist" / album / "01 Intro.flac"));
            tracks.push_back(touch(dir / "Music" / "Artist" / album / "02 Song.flac"));
            touch(dir / "Music" / "Artist" / album / "cover.jpg");
        }
        tracks.push_back(touch(dir / "Music" / "Artist" / "Second" / "Bonus" / "03 Extra.opus"));
        tracks.insert(tracks.begin(), touch(dir / "Music" / "loose.m4a"));
    }
};

TEST(AddFolder, WithSubFoldersAddsTheTreeDepthFirstAndEveryJobKeepsItsRoot)
{
    Library library;
    Window window;
    window.dialogs.folderAnswer = library.top;
    window.adder.addFolder(true);
    EXPECT_EQ(window.paths(), library.tracks) << "a folder's own files first, then its sub-folders' in name order";
    for (const auto& job : window.jobs.rsJobs().jobs())
        EXPECT_EQ(job.Root, library.top) << job.FilePath;
    ASSERT_EQ(window.messages.shown.size(), 1u) << "the covers are refused, once";
    EXPECT_EQ(window.messages.shown[0].text, RefusedWarning);
}

TEST(AddFolder, WithoutSubFoldersStaysInTheFolder)
{
    Library library;
    Window window;
    window.dialogs.folderAnswer = library.top;
    window.adder.addFolder(false);
    EXPECT_EQ(window.paths(), (std::vector{library.tracks[0]}));
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST(AddFolder, ATreeOfOnlyEmptyFoldersIsEmpty)
{
    test::TempDir dir;
    fs::create_directories(dir / "a" / "b" / "c");
    Window window;
    window.dialogs.folderAnswer = (dir / "a").string();
    window.adder.addFolder(true);
    EXPECT_TRUE(window.jobs.rsJobs().empty());
    ASSERT_EQ(window.messages.shown.size(), 1u);
    EXPECT_EQ(window.messages.shown[0].text, "Selected Folder is empty.");
}

TEST(DroppedFiles, AFolderAddsItsWholeTreeSilentlyBesideLooseFiles)
{
    Library library;
    test::TempDir other;
    const auto single = touch(other / "single.aiff");
    Window window;
    window.adder.addDroppedFiles({single, library.top});
    ASSERT_EQ(window.paths().size(), 7u);
    EXPECT_EQ(window.paths().front(), single);
    EXPECT_EQ(window.jobs.rsJobs().at(0).Root, other.path().string()) << "a file alone: its own folder";
    EXPECT_EQ(window.jobs.rsJobs().at(6).Root, library.top);
    EXPECT_TRUE(window.messages.shown.empty()) << "the refused covers are not a drop's business";
}

TEST(OpenedPaths, FollowTheIncludeSubFoldersChoice)
{
    Library library;
    Window window;
    window.adder.addOpenedPaths({library.top}, true);
    EXPECT_EQ(window.paths().size(), 6u);
}

TEST(AddFile2Grid, GivesAFileAddedAloneItsOwnFolderAsRoot)
{
    test::TempDir dir;
    Window window;
    const auto path = touch(dir / "x.wv");
    EXPECT_TRUE(window.add(path));
    EXPECT_EQ(window.jobs.rsJobs().at(0).Root, dir.path().string());
}

} // namespace
} // namespace tunevale
