// The player's choices of row, its captions and its engine calls, against an engine that records
// what it is asked and can be told to fail.
#include "FakePreview.h"
#include "NullEngine.h"
#include "PreviewPlayer.h"
#include "RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <map>

namespace tunevale
{
namespace
{

using test::FakeGrid;
using test::RecordingMessageBox;

// Opens every path ending in ".mp3" as a stream and ".mod" as music; plays, pauses and stops
// succeed unless told otherwise.
class RecordingEngine : public test::NullEngine
{
public:
    std::vector<std::string> calls;
    std::map<EngineHandle, std::string> open;
    std::map<EngineHandle, std::uint32_t> state;
    EngineHandle next = 100;
    bool failPlay = false, failPause = false, failStop = false;

    RecordingEngine() : NullEngine(EngineCode::Ok) {}

    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t, std::uint64_t, std::uint32_t flags) override
    {
        calls.push_back("stream " + path + " " + std::to_string(flags));
        if (!path.ends_with(".mp3"))
            return fail(EngineCode::Format);
        open[++next] = path;
        return next;
    }
    EngineHandle MusicLoad(const std::string& path, std::uint64_t, std::uint32_t, std::uint32_t flags,
                           std::uint32_t freq) override
    {
        calls.push_back("music " + path + " " + std::to_string(flags) + " " + std::to_string(freq));
        if (!path.ends_with(".mod"))
            return fail(EngineCode::FileOpen);
        open[++next] = path;
        return next;
    }
    bool ChannelPlay(EngineHandle h, bool restart) override
    {
        calls.push_back("play " + open[h] + (restart ? " restart" : ""));
        if (failPlay)
            return fail(EngineCode::Start);
        state[h] = ChannelState::Playing;
        return true;
    }
    bool ChannelPause(EngineHandle h) override
    {
        calls.push_back("pause " + open[h]);
        if (failPause)
            return fail(EngineCode::NotPlaying);
        state[h] = ChannelState::Paused;
        return true;
    }
    bool ChannelStop(EngineHandle h) override
    {
        calls.push_back("stop " + open[h]);
        if (failStop)
            return fail(EngineCode::Handle);
        state[h] = ChannelState::Stopped;
        return true;
    }
    bool StreamFree(EngineHandle h) override
    {
        calls.push_back("free " + open[h]);
        open.erase(h);
        return true;
    }

private:
    int fail(int code)
    {
        setErrorCode(code);
        return 0;
    }
};

// A message box as the tests compare it: "text|title|critical" (or "other" for any other icon).
std::string describe(const test::RecordingMessageBox::Shown& box)
{
    return box.text + "|" + box.title + "|" + (box.icon == MessageIcon::Critical ? "critical" : "other");
}

class PreviewPlayerLogic : public ::testing::Test
{
protected:
    RecordingEngine engine;
    FakeGrid grid;
    RecordingMessageBox messages;
    PreviewPlayer player{engine, grid, messages};
    std::vector<std::string> captions;

    void SetUp() override
    {
        grid.paths = {"/m/a.mp3", "/m/b.mp3", "/m/c.mod", "/m/d.mp3"};
        player.onPauseCaption([this](const std::string& c) { captions.push_back(c); });
    }
    std::string playing() { return player.PreviewChannel() ? engine.open[player.PreviewChannel()] : ""; }
};

TEST_F(PreviewPlayerLogic, PlayTakesTheLowestMarkedRowAndOpensItLooping)
{
    grid.selectedRows = {0, 1};
    grid.activeRow = 0;
    player.clickPlay();
    EXPECT_EQ(player.PreviewFilePath(), "/m/b.mp3");
    EXPECT_EQ(playing(), "/m/b.mp3");
    // Loop + effects + UTF-16 path flag, and no restart.
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"stream /m/b.mp3 2147483780", "play /m/b.mp3"}));
    EXPECT_EQ(captions, std::vector<std::string>{"Pause"});

    // The active row alone counts too, even below the selection.
    grid.selectedRows = {0};
    grid.activeRow = 3;
    player.clickPlay();
    EXPECT_EQ(playing(), "/m/d.mp3");
}

TEST_F(PreviewPlayerLogic, PlayingAnotherFileStopsAndReleasesTheOldChannel)
{
    grid.activeRow = 0;
    player.clickPlay();
    const EngineHandle first = player.PreviewChannel();
    grid.activeRow = 1;
    player.clickPlay();
    EXPECT_NE(player.PreviewChannel(), first);
    EXPECT_EQ(engine.open.count(first), 0u) << "the first channel must be freed";
    EXPECT_EQ(engine.state[first], ChannelState::Stopped);
    EXPECT_EQ(engine.open.size(), 1u);
}

TEST_F(PreviewPlayerLogic, ModulesOpenThroughMusicLoadAndUnreadableFilesStaySilent)
{
    grid.activeRow = 2;
    player.clickPlay();
    EXPECT_EQ(playing(), "/m/c.mod");
    EXPECT_EQ(engine.calls[1], "music /m/c.mod 2147484164 0");

    grid.paths[1] = "/m/broken.txt";
    grid.activeRow = 1;
    grid.rowsWithSelectedCell.clear();
    player.clickPlay();
    EXPECT_EQ(player.PreviewChannel(), 0u);
    EXPECT_EQ(player.PreviewFilePath(), "/m/broken.txt");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(engine.open.empty()) << "the module played before is released";
}

TEST_F(PreviewPlayerLogic, PlayWithEmptyListOrNothingMarkedDoesNothing)
{
    grid.paths.clear();
    player.clickPlay();
    EXPECT_EQ(player.PreviewChannel(), 0u);
    grid.paths = {"/m/a.mp3"};
    player.clickPlay();
    EXPECT_EQ(player.PreviewChannel(), 0u);
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PreviewPlayerLogic, PauseResumeAndStopFlipTheCaption)
{
    player.clickPause();
    player.clickStop();
    EXPECT_TRUE(captions.empty()) << "without a channel Pause and Stop do nothing";

    grid.activeRow = 0;
    player.clickPlay();
    player.clickPause();
    EXPECT_EQ(player.pauseCaption(), "Resume");
    EXPECT_EQ(engine.state[player.PreviewChannel()], ChannelState::Paused);
    player.clickPause();
    EXPECT_EQ(player.pauseCaption(), "Pause");
    EXPECT_EQ(engine.state[player.PreviewChannel()], ChannelState::Playing);
    player.clickPause();
    player.clickStop();
    EXPECT_EQ(player.pauseCaption(), "Pause");
    EXPECT_EQ(player.PreviewChannel(), 0u);
    EXPECT_TRUE(engine.open.empty());
    EXPECT_EQ(player.PreviewFilePath(), "/m/a.mp3") << "Next and Previous still know the file";
}

TEST_F(PreviewPlayerLogic, EngineFailuresShowTheCodeAndTheCaptionStillFlips)
{
    grid.activeRow = 0;
    engine.failPlay = true;
    player.clickPlay();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(describe(messages.shown[0]), "(Error code: 9)|Tunevale|critical");
    EXPECT_NE(player.PreviewChannel(), 0u);

    engine.failPlay = false;
    engine.failPause = true;
    player.clickPause();
    EXPECT_EQ(describe(messages.shown.back()), "(Error code: 24)|Tunevale|critical");
    EXPECT_EQ(player.pauseCaption(), "Resume");

    engine.failStop = true;
    player.clickStop();
    EXPECT_EQ(describe(messages.shown.back()), "(Error code: 5)|Tunevale|critical");
    EXPECT_EQ(player.PreviewChannel(), 0u);
    EXPECT_EQ(player.pauseCaption(), "Pause");
}

TEST_F(PreviewPlayerLogic, NextAndPreviousWalkTheRowsWithoutWrapping)
{
    player.clickPlayNext();
    player.clickPlayPrev();
    EXPECT_TRUE(engine.calls.empty()) << "nothing was ever played";

    grid.activeRow = 0;
    player.clickPlay();
    player.clickPlayNext();
    EXPECT_EQ(playing(), "/m/b.mp3");
    EXPECT_EQ(grid.selectedRows, std::set<int>{1});
    EXPECT_FALSE(grid.isRowMarked(0)) << "the row left behind is unselected";
    player.clickPlayNext();
    player.clickPlayNext();
    EXPECT_EQ(playing(), "/m/d.mp3");
    const EngineHandle last = player.PreviewChannel();
    player.clickPlayNext();
    EXPECT_EQ(player.PreviewChannel(), last) << "Next at the last row keeps playing";
    EXPECT_EQ(engine.state[last], ChannelState::Playing);

    player.clickPlayPrev();
    EXPECT_EQ(playing(), "/m/c.mod");
    player.clickPlayPrev();
    player.clickPlayPrev();
    EXPECT_EQ(playing(), "/m/a.mp3");
    const EngineHandle first = player.PreviewChannel();
    player.clickPlayPrev();
    EXPECT_EQ(player.PreviewChannel(), first);
}

TEST_F(PreviewPlayerLogic, NextResumesFromPauseAndFollowsTheFirstMatch)
{
    grid.paths = {"/m/a.mp3", "/m/x.mp3", "/m/a.mp3", "/m/y.mp3"};
    grid.activeRow = 2;
    player.clickPlay();
    player.clickPause();
    player.clickPlayNext();
    EXPECT_EQ(player.pauseCaption(), "Pause");
    EXPECT_EQ(playing(), "/m/x.mp3") << "the first row with the path leads";

    grid.paths = {"/m/a.mp3", "/m/b.mp3"};
    player.PlayFile("/m/gone.mp3");
    player.clickPlayNext();
    EXPECT_EQ(playing(), "/m/gone.mp3") << "a path no longer listed leads nowhere";
}

} // namespace
} // namespace tunevale
