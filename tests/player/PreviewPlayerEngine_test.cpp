// The player over the real engine, playing generated files into SDL's dummy output.
#include "EngineFactory.h"
#include "FakePreview.h"
#include "InitAudioEngine.h"
#include "PreviewPlayer.h"
#include "RecordingMessageBox.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tunevale
{
namespace
{

class PreviewPlayerEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("SDL_AUDIODRIVER") || !*std::getenv("SDL_AUDIODRIVER"))
            setenv("SDL_AUDIODRIVER", "dummy", 1);
        engine = makeEngine();
        std::array<std::string, 8> tagNames;
        ASSERT_TRUE(InitAudioEngine(*engine, messages, tagNames)) << engine->ErrorGetCode();
        player = std::make_unique<PreviewPlayer>(*engine, grid, messages);
    }
    void TearDown() override
    {
        player.reset();
        engine->Free();
    }
    std::uint32_t state() { return engine->ChannelIsActive(player->PreviewChannel()); }

    test::TempDir dir;
    std::unique_ptr<Engine> engine;
    test::FakeGrid grid;
    test::RecordingMessageBox messages;
    std::unique_ptr<PreviewPlayer> player;
};

TEST_F(PreviewPlayerEngine, PlaysPausesResumesAndStopsARealFile)
{
    grid.paths = {test::makeTone(dir / "a.flac", 2, 44100, 2, {"-c:a", "flac"}).string(),
                  test::makeTone(dir / "b.mp3", 2, 22050, 1).string()};
    grid.activeRow = 0;
    player->clickPlay();
    ASSERT_NE(player->PreviewChannel(), 0u);
    EXPECT_EQ(state(), ChannelState::Playing);
    player->clickPause();
    EXPECT_EQ(state(), ChannelState::Paused);
    player->clickPause();
    EXPECT_EQ(state(), ChannelState::Playing);

    const EngineHandle first = player->PreviewChannel();
    player->clickPlayNext();
    EXPECT_EQ(player->PreviewFilePath(), grid.paths[1]);
    EXPECT_EQ(state(), ChannelState::Playing);
    EXPECT_EQ(engine->ChannelIsActive(first), ChannelState::Stopped) << "the first file no longer plays";

    player->clickStop();
    EXPECT_EQ(player->PreviewChannel(), 0u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PreviewPlayerEngine, AFileTheEngineCannotOpenIsSilent)
{
    test::writeFile(dir / "broken.mp3", std::string(3000, 'z'));
    grid.paths = {(dir / "broken.mp3").string()};
    grid.activeRow = 0;
    player->clickPlay();
    EXPECT_EQ(player->PreviewChannel(), 0u);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace tunevale
