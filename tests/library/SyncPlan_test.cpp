#include "EngineInspector.h"
#include "MirrorLibrary.h"
#include "PlanText.h"
#include "SyncPlan.h"

#include "DecodingEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace tunevale
{
namespace
{

using test::Mirror;
namespace fs = std::filesystem;

class SyncPlanTest : public ::testing::Test
{
protected:
    SyncPlanTest()
    {
        options.extension = "mp3";
        options.settings = "mp3 cbr 192";
        options.copyPatterns = {"*.JPG", "*.png"};
    }

    // Scans the source and plans against the mirror's rows, counting the sources opened.
    SyncPlan plan()
    {
        std::vector<ScannedFile> scan;
        std::string error;
        EXPECT_TRUE(scanSourceTree(mirror.source.string(), mirror.dest.string(), scan, error)) << error;
        const auto real = engineInspector(*engine, mirror.source.string());
        const InspectSource counting = [&](const std::string& source) {
            opened.push_back(source);
            return real(source);
        };
        return planSync(scan, mirror.outputRows(), mirror.copyRows(), options, counting, mirror.stampInMirror());
    }

    SyncPlan sync()
    {
        auto planned = plan();
        mirror.apply(planned, options);
        return planned;
    }

    static std::vector<const PlannedOutput*> withAction(const std::vector<PlannedOutput>& list, SyncAction action)
    {
        std::vector<const PlannedOutput*> found;
        for (const auto& planned : list)
            if (planned.action == action)
                found.push_back(&planned);
        return found;
    }

    std::unique_ptr<Engine> engine = test::decodingEngine();
    Mirror mirror;
    SyncOptions options;
    std::vector<std::string> opened;
};

const std::string FirstTrack = "A Ünï: One?/Album 1/01 Intro 1.flac";
const std::string SecondAlbumTrack = "A Ünï: One?/Album 2/01 Intro 1.flac";
const std::string UnsafeTrack = "Second \"Band\"/Disc <0>/02 Song|102.flac";

TEST_F(SyncPlanTest, FirstSyncConvertsEveryTrackIntoItsFoldersAndCopiesTheCover)
{
    const auto first = sync();
    ASSERT_EQ(first.outputs.size(), 24u);
    EXPECT_EQ(withAction(first.outputs, SyncAction::Convert).size(), 24u);
    for (const auto& planned : first.outputs) {
        EXPECT_EQ(planned.reason, ConvertReason::New);
        EXPECT_FALSE(planned.facts.audioIdentity.empty());
        EXPECT_FALSE(planned.facts.tagsHash.empty());
    }
    EXPECT_EQ(first.outputs[0].source, FirstTrack);
    EXPECT_EQ(first.outputs[0].output, "A Ünï_ One_/Album 1/01 Intro 1.mp3");
    EXPECT_EQ(first.outputs[4].output, "A Ünï_ One_/Album 2/01 Intro 1.mp3");
    const auto unsafe = std::find_if(first.outputs.begin(), first.outputs.end(),
                                     [](const auto& planned) { return planned.source == UnsafeTrack; });
    ASSERT_NE(unsafe, first.outputs.end());
    EXPECT_EQ(unsafe->output, "Second _Band_/Disc _0_/02 Song_102.mp3");
    ASSERT_EQ(first.copies.size(), 1u);
    EXPECT_EQ(first.copies[0].action, SyncAction::Copy);
    EXPECT_EQ(first.copies[0].output, "Second _Band_/Disc _0_/cover.jpg");
    EXPECT_EQ(opened.size(), 24u);
    EXPECT_TRUE(fs::exists(mirror.dest / "三番目/Disc _1_/04 Song_214.mp3"));
}

TEST_F(SyncPlanTest, ASecondSyncOpensNoFileAndChangesNothing)
{
    sync();
    opened.clear();
    // Unreadable sources prove that nothing is opened: the engine could not read them.
    for (const auto& entry : fs::recursive_directory_iterator(mirror.source))
        if (entry.is_regular_file())
            fs::permissions(entry.path(), fs::perms::none);
    const auto again = sync();
    for (const auto& entry : fs::recursive_directory_iterator(mirror.source))
        if (entry.is_regular_file())
            fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(withAction(again.outputs, SyncAction::Unchanged).size(), 24u);
    EXPECT_EQ(withAction(again.copies, SyncAction::Unchanged).size(), 1u);
    for (const auto& planned : again.outputs)
        EXPECT_FALSE(planned.refreshRecord);
    EXPECT_EQ(planText(again).substr(planText(again).rfind('\n', planText(again).size() - 2) + 1),
              "0 convert, 0 retag, 0 move, 0 delete, 0 gone, 25 unchanged, 0 user-changed, 0 unreadable, 0 copy\n");
}

TEST_F(SyncPlanTest, RetaggedSourcesAreRetaggedAndNothingElseIsTouched)
{
    sync();
    opened.clear();
    ASSERT_EQ(test::runProgram(
                  {"metaflac", "--remove-tag=TITLE", "--set-tag=TITLE=New Title", mirror.file(FirstTrack).string()})
                  .exitCode,
              0);
    // ffmpeg rewrites the whole file around the same packets, with a new cover.
    const auto retagged = mirror.dir / "retagged.flac";
    const auto cover = mirror.dir / "new.png";
    test::makeCover(cover, "green");
    test::ffmpeg({"-i", mirror.file(UnsafeTrack).string(), "-i", cover.string(), "-map", "0:a", "-map", "1", "-c",
                  "copy", "-disposition:v", "attached_pic", retagged.string()});
    fs::rename(retagged, mirror.file(UnsafeTrack));

    const auto after = sync();
    const auto retags = withAction(after.outputs, SyncAction::Retag);
    ASSERT_EQ(retags.size(), 2u);
    EXPECT_EQ(retags[0]->source, FirstTrack);
    EXPECT_EQ(retags[1]->source, UnsafeTrack);
    EXPECT_EQ(withAction(after.outputs, SyncAction::Unchanged).size(), 22u);
    EXPECT_EQ(opened, (std::vector<std::string>{FirstTrack, UnsafeTrack}));
}

TEST_F(SyncPlanTest, ATouchedButSameSourceOnlyRefreshesItsRow)
{
    sync();
    opened.clear();
    fs::last_write_time(mirror.file(FirstTrack), fs::last_write_time(mirror.file(FirstTrack)) + std::chrono::hours(1));
    const auto after = sync();
    EXPECT_EQ(after.outputs[0].action, SyncAction::Unchanged);
    EXPECT_TRUE(after.outputs[0].refreshRecord);
    opened.clear();
    EXPECT_TRUE(withAction(sync().outputs, SyncAction::Unchanged).size() == 24u && opened.empty());
}

TEST_F(SyncPlanTest, AMovedAlbumMovesItsOutputs)
{
    sync();
    const auto beforeOutput = test::readFile(mirror.dest / "A Ünï_ One_/Album 1/02 Intro 2.mp3");
    fs::rename(mirror.source / "A Ünï: One?/Album 1", mirror.source / "A Ünï: One?/Album Uno");
    // Renamed within its folder too.
    fs::rename(mirror.source / "三番目/Disc <0>/01 Song|201.flac", mirror.source / "三番目/Disc <0>/01 First.flac");
    opened.clear();
    const auto after = sync();
    const auto moves = withAction(after.outputs, SyncAction::Move);
    ASSERT_EQ(moves.size(), 5u);
    EXPECT_EQ(moves[0]->previousOutput, "A Ünï_ One_/Album 1/01 Intro 1.mp3");
    EXPECT_EQ(moves[0]->output, "A Ünï_ One_/Album Uno/01 Intro 1.mp3");
    EXPECT_FALSE(moves[0]->retag);
    EXPECT_TRUE(withAction(after.outputs, SyncAction::Convert).empty());
    EXPECT_TRUE(withAction(after.outputs, SyncAction::Gone).empty());
    EXPECT_EQ(opened.size(), 5u);
    EXPECT_EQ(test::readFile(mirror.dest / "A Ünï_ One_/Album Uno/02 Intro 2.mp3"), beforeOutput);
    EXPECT_FALSE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/02 Intro 2.mp3"));
    EXPECT_TRUE(fs::exists(mirror.dest / "三番目/Disc _0_/01 First.mp3"));
    EXPECT_EQ(withAction(sync().outputs, SyncAction::Unchanged).size(), 24u);
}

TEST_F(SyncPlanTest, GoneSourcesAreListedAndDeletedOnlyWhenAskedAndAsMade)
{
    sync();
    fs::remove(mirror.file(FirstTrack));
    fs::remove(mirror.file(SecondAlbumTrack));
    fs::remove(mirror.source / "Second \"Band\"/Disc <0>/cover.jpg");
    const auto listed = sync();
    const auto gone = withAction(listed.outputs, SyncAction::Gone);
    ASSERT_EQ(gone.size(), 2u);
    EXPECT_FALSE(gone[0]->deleteOutput);
    EXPECT_TRUE(fs::exists(mirror.dest / gone[0]->output));
    EXPECT_EQ(listed.copies[0].action, SyncAction::Gone);

    // The user changed one of the two outputs: --delete leaves it.
    test::writeFile(mirror.dest / "A Ünï_ One_/Album 2/01 Intro 1.mp3", "the user's own edit");
    options.deleteGone = true;
    const auto deleted = sync();
    const auto goneAgain = withAction(deleted.outputs, SyncAction::Gone);
    ASSERT_EQ(goneAgain.size(), 2u);
    EXPECT_TRUE(goneAgain[0]->deleteOutput);
    EXPECT_FALSE(goneAgain[1]->deleteOutput);
    EXPECT_FALSE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3"));
    EXPECT_EQ(test::readFile(mirror.dest / "A Ünï_ One_/Album 2/01 Intro 1.mp3"), "the user's own edit");
    EXPECT_FALSE(fs::exists(mirror.dest / "Second _Band_/Disc _0_/cover.jpg"));
    EXPECT_TRUE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/02 Intro 2.mp3"));
    EXPECT_NE(planText(deleted).find("delete A Ünï_ One_/Album 1/01 Intro 1.mp3\n"), std::string::npos)
        << planText(deleted);
}

TEST_F(SyncPlanTest, OutputsTheUserChangedAreLeftAndDeletedOnesMadeAgain)
{
    sync();
    const auto changed = mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3";
    test::writeFile(changed, "edited");
    fs::remove(mirror.dest / "A Ünï_ One_/Album 1/02 Intro 2.mp3");
    opened.clear();
    const auto after = sync();
    EXPECT_EQ(after.outputs[0].action, SyncAction::UserChanged);
    EXPECT_EQ(after.outputs[1].action, SyncAction::Convert);
    EXPECT_EQ(after.outputs[1].reason, ConvertReason::OutputDeleted);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(test::readFile(changed), "edited");
    EXPECT_NE(planText(after).find("user-changed A Ünï_ One_/Album 1/01 Intro 1.mp3\n"), std::string::npos);

    options.force = true;
    const auto forced = sync();
    EXPECT_EQ(forced.outputs[0].action, SyncAction::Convert);
    EXPECT_EQ(forced.outputs[0].reason, ConvertReason::Forced);
    EXPECT_EQ(withAction(forced.outputs, SyncAction::Convert).size(), 1u);
}

TEST_F(SyncPlanTest, NewAudioOrSettingsConvertAgain)
{
    sync();
    test::ffmpeg({"-f", "lavfi", "-i", "sine=frequency=1234:duration=0.2", mirror.file(FirstTrack).string()});
    const auto after = sync();
    EXPECT_EQ(after.outputs[0].action, SyncAction::Convert);
    EXPECT_EQ(after.outputs[0].reason, ConvertReason::AudioChanged);
    EXPECT_EQ(withAction(after.outputs, SyncAction::Convert).size(), 1u);

    options.settings = "ogg q5";
    options.extension = "ogg";
    opened.clear();
    const auto ogg = sync();
    ASSERT_EQ(withAction(ogg.outputs, SyncAction::Convert).size(), 24u);
    EXPECT_EQ(ogg.outputs[0].reason, ConvertReason::SettingsChanged);
    EXPECT_EQ(ogg.outputs[0].output, "A Ünï_ One_/Album 1/01 Intro 1.ogg");
    EXPECT_EQ(ogg.outputs[0].previousOutput, "A Ünï_ One_/Album 1/01 Intro 1.mp3");
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.ogg"));
    EXPECT_FALSE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3"));

    // A new layout is new settings too: the outputs go where it puts them.
    std::string error;
    options.layout = OutputLayout(*NamePattern::parse("{artist} - {title}", error));
    options.settings = "ogg q5, named from tags";
    const auto renamed = sync();
    EXPECT_EQ(withAction(renamed.outputs, SyncAction::Convert).size(), 24u);
    EXPECT_EQ(renamed.outputs[1].output, "A Ünï_ One_ - Intro 2.ogg");
    EXPECT_EQ(renamed.outputs[1].previousOutput, "A Ünï_ One_/Album 1/02 Intro 2.ogg");
    EXPECT_TRUE(fs::exists(mirror.dest / "A Ünï_ One_ - Intro 2.ogg"));
    EXPECT_EQ(renamed.outputs[5].output, "A Ünï_ One_ - Intro 2 (2).ogg");
}

TEST_F(SyncPlanTest, ANewOutputNeverTakesAFileTheMirrorDidNotMake)
{
    fs::create_directories(mirror.dest / "A Ünï_ One_/Album 1");
    test::writeFile(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3", "the user's file");
    const auto first = sync();
    EXPECT_EQ(first.outputs[0].output, "A Ünï_ One_/Album 1/01 Intro 1 (2).mp3");
    EXPECT_EQ(test::readFile(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3"), "the user's file");
}

TEST_F(SyncPlanTest, NamesThatDifferOnlyInLetterCaseGetTheirOwnOutputs)
{
    // One file on a FAT card: the second must not overwrite the first.
    fs::copy_file(mirror.file(FirstTrack), mirror.source / "A Ünï: One?/Album 1/01 INTRO 1.flac");
    const auto first = sync();
    EXPECT_EQ(first.outputs[0].output, "A Ünï_ One_/Album 1/01 INTRO 1.mp3");
    EXPECT_EQ(first.outputs[1].output, "A Ünï_ One_/Album 1/01 Intro 1 (2).mp3");
}

TEST_F(SyncPlanTest, NamesFromTagsKeepAlbumsApartAndFollowNewTags)
{
    std::string error;
    options.layout = OutputLayout(*NamePattern::parse("{albumartist}/{album}/{track:02} {title}", error));
    const auto first = sync();
    EXPECT_EQ(first.outputs[0].output, "A Ünï_ One_/Album 1/01 Intro 1.mp3");
    EXPECT_EQ(first.outputs[4].output, "A Ünï_ One_/Album 2/01 Intro 1.mp3");
    EXPECT_EQ(first.copies[0].output, "Second _Band_/Disc _0_/cover.jpg");

    // Same tags as the first track: the second gets its own name.
    ASSERT_EQ(test::runProgram(
                  {"metaflac", "--remove-tag=ALBUM", "--set-tag=ALBUM=Album 1", mirror.file(SecondAlbumTrack).string()})
                  .exitCode,
              0);
    const auto after = sync();
    EXPECT_EQ(after.outputs[4].action, SyncAction::Retag);
    EXPECT_EQ(after.outputs[4].previousOutput, "A Ünï_ One_/Album 2/01 Intro 1.mp3");
    EXPECT_EQ(after.outputs[4].output, "A Ünï_ One_/Album 1/01 Intro 1 (2).mp3");
    EXPECT_TRUE(fs::exists(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1 (2).mp3"));
}

TEST_F(SyncPlanTest, FilesPlacedBeforeTheirRowsWereStoredAreTakenAsMade)
{
    sync();
    // A new track converted, a changed one converted again, a new cover copied and an album moved,
    // each by a sync that stopped before storing its row.
    const std::string newTrack = "三番目/Disc <0>/05 Extra.flac";
    fs::copy_file(mirror.source / "三番目/Disc <0>/01 Song|201.flac", mirror.source / newTrack);
    test::writeFile(mirror.dest / "三番目/Disc _0_/05 Extra.mp3", "encoded before the stop");
    test::makeTone(mirror.source / FirstTrack, 0.3, 44100, 2, {"-c:a", "flac"});
    test::writeFile(mirror.dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3", "encoded again before the stop");
    fs::copy_file(mirror.source / "Second \"Band\"/Disc <0>/cover.jpg", mirror.source / "三番目/Disc <1>/back.png");
    fs::copy_file(mirror.source / "三番目/Disc <1>/back.png", mirror.dest / "三番目/Disc _1_/back.png",
                  fs::copy_options::none);
    fs::last_write_time(mirror.dest / "三番目/Disc _1_/back.png",
                        fs::last_write_time(mirror.source / "三番目/Disc <1>/back.png"));
    fs::rename(mirror.source / "Second \"Band\"/Disc <1>", mirror.source / "Second \"Band\"/Disc Two");
    fs::create_directories(mirror.dest / "Second _Band_/Disc Two");
    for (int t = 1; t <= 4; ++t) {
        const std::string name = "0" + std::to_string(t) + " Song_11" + std::to_string(t) + ".mp3";
        fs::rename(mirror.dest / "Second _Band_/Disc _1_" / name, mirror.dest / "Second _Band_/Disc Two" / name);
    }
    const std::set<std::string> placed = {"三番目/Disc _0_/05 Extra.mp3", "A Ünï_ One_/Album 1/01 Intro 1.mp3"};
    options.madeFrom = [&](const std::string& output, const FileStamp& source) {
        return placed.contains(output) && source.size > 0;
    };

    const auto after = plan();
    EXPECT_TRUE(withAction(after.outputs, SyncAction::Convert).empty());
    EXPECT_TRUE(withAction(after.outputs, SyncAction::UserChanged).empty());
    const auto refreshed = withAction(after.outputs, SyncAction::Unchanged);
    std::set<std::string> refreshedOutputs;
    for (const auto* planned : refreshed)
        if (planned->refreshRecord)
            refreshedOutputs.insert(planned->output);
    EXPECT_EQ(refreshedOutputs, placed);
    const auto moves = withAction(after.outputs, SyncAction::Move);
    ASSERT_EQ(moves.size(), 4u);
    EXPECT_EQ(moves[0]->output, "Second _Band_/Disc Two/01 Song_111.mp3");
    EXPECT_EQ(moves[0]->previousOutput, "Second _Band_/Disc _1_/01 Song_111.mp3");
    EXPECT_TRUE(withAction(after.outputs, SyncAction::Gone).empty());
    const auto copies = withAction(after.copies, SyncAction::Unchanged);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[1]->output, "三番目/Disc _1_/back.png");
    EXPECT_TRUE(copies[1]->refreshRecord);
}

TEST_F(SyncPlanTest, UnreadableNewSourcesAreReportedNotConverted)
{
    test::writeFile(mirror.source / "A Ünï: One?/Album 1/05 Broken.flac", "not audio at all");
    const auto first = sync();
    const auto unreadable = withAction(first.outputs, SyncAction::Unreadable);
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0]->source, "A Ünï: One?/Album 1/05 Broken.flac");
    EXPECT_NE(planText(first).find("unreadable A Ünï: One?/Album 1/05 Broken.flac\n"), std::string::npos);
}

} // namespace
} // namespace tunevale
