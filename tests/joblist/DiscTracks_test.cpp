// Discs in the list: the tracks of a cue sheet or of the disc in a drive, each as a "CD Track" job.

#include "EngineDiscTracks.h"
#include "JobAdder.h"
#include "JobList.h"
#include "JobListFakes.h"
#include "JobSelection.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace tunevale
{
namespace
{

using namespace std::string_literals;

constexpr const char* RefusedWarning = "Some files are not supported or already exist and will not be added";

// Drives and their discs as a test sets them up: no hardware needed.
class ScriptedDiscs : public DiscTracks
{
public:
    bool isDisc(const std::string& path) override { return discs.count(path) || failures.count(path); }
    std::vector<Track> tracks(const std::string& disc, std::string& reason) override
    {
        if (const auto failure = failures.find(disc); failure != failures.end())
            reason = failure->second;
        const auto found = discs.find(disc);
        return found == discs.end() ? std::vector<Track>{} : found->second;
    }
    std::vector<std::string> audioDrives() override { return drives; }

    std::map<std::string, std::vector<Track>> discs;
    std::map<std::string, std::string> failures;
    std::vector<std::string> drives;
};

struct Window {
    JobList jobs;
    test::TickBox chkSelectAll;
    test::PlayingPreview preview;
    test::TableDurations durations;
    test::ScriptedDialogs dialogs;
    test::RecordingMessageBox messages;
    JobSelection selection{jobs, chkSelectAll, preview};
    JobAdder adder{jobs, selection, durations, dialogs, messages};

    std::vector<std::string> paths() const
    {
        std::vector<std::string> result;
        for (const auto& job : jobs.rsJobs().jobs())
            result.push_back(job.FilePath);
        return result;
    }
};

TEST(DiscTracks, ADriveAddsEachTrackAsACdTrackWithItsTableOfContentsDuration)
{
    Window window;
    ScriptedDiscs discs;
    discs.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "04:10"}, {"/dev/sr0/Track02.cda", "00:59"}};
    window.adder.setDiscTracks(&discs);
    window.chkSelectAll.setValue(1);

    std::string drive = "/dev/sr0";
    EXPECT_TRUE(window.adder.AddFile2Grid(drive));
    ASSERT_EQ(window.jobs.rsJobs().size(), 2u);
    const Job& second = window.jobs.rsJobs().at(1);
    EXPECT_EQ(second.FilePath, "/dev/sr0/Track02.cda");
    EXPECT_EQ(second.FileSize, "CD Track");
    EXPECT_EQ(second.Duration, "00:59");
    EXPECT_EQ(second.State, JobState::WaitingConversion);
    EXPECT_EQ(window.chkSelectAll.value(), 0);
    // No track was probed: the durations are the table of contents'.
    EXPECT_EQ(window.durations.calls, 0);

    // Added again, nothing is doubled; a track removed meanwhile comes back.
    std::string reason;
    EXPECT_FALSE(window.adder.addDiscTracks("/dev/sr0", &reason));
    EXPECT_EQ(reason, "every track is listed already");
    discs.discs["/dev/sr0"].push_back({"/dev/sr0/Track03.cda", "01:00"});
    EXPECT_TRUE(window.adder.addDiscTracks("/dev/sr0", &reason));
    EXPECT_EQ(window.paths(),
              (std::vector<std::string>{"/dev/sr0/Track01.cda", "/dev/sr0/Track02.cda", "/dev/sr0/Track03.cda"}));
}

TEST(DiscTracks, ADiscThatCannotBeReadAddsNothingAndSaysWhy)
{
    Window window;
    ScriptedDiscs discs;
    discs.failures["/dev/sr1"] = "No CD in drive: \"/dev/sr1\" holds no disc";
    window.adder.setDiscTracks(&discs);
    std::string reason;
    EXPECT_FALSE(window.adder.addDiscTracks("/dev/sr1", &reason));
    EXPECT_EQ(reason, "No CD in drive: \"/dev/sr1\" holds no disc");
    // In a selection it is refused like any file, with the one warning.
    window.adder.AddAudioFiles("/dev/sr1");
    EXPECT_EQ(window.messages.texts(), (std::vector<std::string>{RefusedWarning}));
    EXPECT_TRUE(window.paths().empty());
}

TEST(DiscTracks, AddCdAsksWhichDriveEvenOfOneWarnsWithoutOneAndTellsOfTheDiscAdded)
{
    Window window;
    ScriptedDiscs discs;
    window.adder.setDiscTracks(&discs);
    std::vector<std::string> added;
    window.adder.onDiscAdded = [&](const std::string& disc) { added.push_back(disc); };
    std::vector<std::vector<std::string>> asked;
    std::optional<std::string> answer;
    const auto choose = [&](const std::vector<std::string>& drives) {
        asked.push_back(drives);
        return answer;
    };

    window.adder.addCd(choose);
    EXPECT_EQ(window.messages.texts(), (std::vector<std::string>{"No CD in drive"}));
    EXPECT_TRUE(asked.empty());

    // One drive is asked about too (the chooser shows its read offset); cancelling adds nothing.
    discs.drives = {"/dev/sr0"};
    discs.discs["/dev/sr0"] = {{"/dev/sr0/Track01.cda", "04:10"}};
    window.adder.addCd(choose);
    EXPECT_EQ(asked, (std::vector<std::vector<std::string>>{{"/dev/sr0"}}));
    EXPECT_TRUE(window.paths().empty());
    answer = "/dev/sr0";
    window.adder.addCd(choose);
    EXPECT_EQ(window.paths(), (std::vector<std::string>{"/dev/sr0/Track01.cda"}));
    EXPECT_EQ(added, (std::vector<std::string>{"/dev/sr0"}));

    discs.drives = {"/dev/sr0", "/dev/sr1"};
    discs.failures["/dev/sr1"] = "Can't Initialize CD: \"/dev/sr1\" cannot read audio";
    answer = "/dev/sr1";
    window.adder.addCd(choose);
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked.back(), discs.drives);
    EXPECT_EQ(window.paths().size(), 1u);
    EXPECT_EQ(window.messages.texts().back(), "Can't Initialize CD: \"/dev/sr1\" cannot read audio");
    EXPECT_EQ(window.messages.texts().size(), 2u);
    // Neither a refused disc nor one whose tracks are all listed is told of.
    answer = "/dev/sr0";
    window.adder.addCd(choose);
    EXPECT_EQ(added, (std::vector<std::string>{"/dev/sr0"}));
}

// An album image: a FLAC file with a cue sheet of three tracks, read by the engine.
class CueAlbum : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::makeTone(dir / "Album.flac", 20, 44100, 2);
        test::writeFile(dir / "Album.cue", "FILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                           "  TRACK 02 AUDIO\n    INDEX 01 00:07:00\n"
                                           "  TRACK 03 AUDIO\n    INDEX 01 00:13:37\n");
        window.adder.setDiscTracks(&discs);
    }

    test::TempDir dir;
    Window window;
    EngineDiscTracks discs;
};

TEST_F(CueAlbum, ChoosingACueSheetAddsItsTracks)
{
    test::makeTone(dir / "other.wav", 1, 44100, 2);
    window.durations.answers[(dir / "other.wav").string()] = "00:01";
    window.dialogs.openAnswer = dir.path().string() + "\0Album.cue\0other.wav"s;
    window.adder.AddAudioFiles();
    std::string reason;
    window.adder.addDiscTracks((dir / "Album.cue").string(), &reason);
    EXPECT_EQ(reason, "every track is listed already");
    const std::string cue = (dir / "Album.cue").string();
    EXPECT_EQ(window.paths(), (std::vector<std::string>{cue + "/Track01.cda", cue + "/Track02.cda",
                                                        cue + "/Track03.cda", (dir / "other.wav").string()}));
    EXPECT_EQ(window.jobs.rsJobs().at(0).Duration, "00:07");
    // 6.49 s and 6.51 s.
    EXPECT_EQ(window.jobs.rsJobs().at(1).Duration, "00:06");
    EXPECT_EQ(window.jobs.rsJobs().at(2).Duration, "00:07");
    EXPECT_EQ(window.jobs.rsJobs().at(2).FileSize, "CD Track");
    EXPECT_TRUE(window.messages.shown.empty());
}

TEST_F(CueAlbum, DroppingACueSheetAddsItsTracksAndOneNamingAMissingFileIsRefused)
{
    test::writeFile(dir / "Lost.cue", "FILE \"Gone.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    window.adder.addDroppedFiles({(dir / "Lost.cue").string(), (dir / "Album.cue").string()});
    EXPECT_EQ(window.jobs.rsJobs().size(), 3u);
    std::string reason;
    EXPECT_FALSE(window.adder.addDiscTracks((dir / "Lost.cue").string(), &reason));
    EXPECT_EQ(reason, "Can't Open the File: \"Gone.flac\" is missing");
    test::writeFile(dir / "Bad.cue", "FILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:99:99\n");
    EXPECT_FALSE(window.adder.addDiscTracks((dir / "Bad.cue").string(), &reason));
    EXPECT_EQ(reason.rfind("Unsupported Format: the cue sheet is damaged", 0), 0u) << reason;
}

TEST_F(CueAlbum, WithoutADiscSourceCueSheetsAreRefusedAsAnyUnlistedType)
{
    window.adder.setDiscTracks(nullptr);
    std::string cue = (dir / "Album.cue").string();
    EXPECT_FALSE(window.adder.AddFile2Grid(cue));
    EXPECT_TRUE(window.paths().empty());
}

} // namespace
} // namespace tunevale
