#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// Playback through SDL's dummy driver, which consumes audio in real time without a sound card.
class Playback : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(m_engine->Init(1, 44100, 0)) << m_engine->ErrorGetCode();
        for (const char* plugin : enginePluginNames())
            m_engine->PluginLoad(plugin, 0);
    }
    void TearDown() override { m_engine->Free(); }

    EngineHandle open(const std::string& name, double seconds, std::uint32_t flags, int rate = 44100, int channels = 2)
    {
        makeTone(m_dir / name, seconds, rate, channels);
        const EngineHandle handle = m_engine->StreamCreateFile((m_dir / name).string(), 0, 0, flags);
        EXPECT_NE(handle, 0u) << m_engine->ErrorGetCode();
        return handle;
    }

    std::uint64_t position(EngineHandle handle) { return m_engine->ChannelGetPosition(handle, 0); }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = makeEngine();
};

TEST_F(Playback, PlayPauseResumeStop)
{
    const EngineHandle handle = open("tone.flac", 5, StreamFlag::Loop | StreamFlag::Fx);
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
    EXPECT_FALSE(m_engine->ChannelPause(handle));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::NotPlaying);

    ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
    EXPECT_TRUE(eventually([&] { return position(handle) > 0; }, 5000));

    ASSERT_TRUE(m_engine->ChannelPause(handle));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Paused);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::uint64_t paused = position(handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(position(handle), paused);

    ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
    EXPECT_TRUE(eventually([&] { return position(handle) > paused; }, 5000));

    ASSERT_TRUE(m_engine->ChannelStop(handle));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
    const std::uint64_t stopped = position(handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(position(handle), stopped);
    EXPECT_TRUE(m_engine->StreamFree(handle));
}

TEST_F(Playback, AStreamWithoutLoopStopsAtItsEnd)
{
    const EngineHandle handle = open("short.wav", 0.3, StreamFlag::Fx, 22050, 1);
    ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    EXPECT_TRUE(eventually([&] { return m_engine->ChannelIsActive(handle) == ChannelState::Stopped; }, 10000));
    EXPECT_EQ(position(handle), m_engine->ChannelGetLength(handle, 0));
    // Played again, it starts from the beginning.
    ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
    EXPECT_TRUE(eventually([&] { return m_engine->ChannelIsActive(handle) == ChannelState::Stopped; }, 10000));
}

TEST_F(Playback, ALoopingStreamPlaysOnPastItsEnd)
{
    const EngineHandle handle = open("loop.wav", 0.5, StreamFlag::Loop | StreamFlag::Fx, 48000, 1);
    ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    // The position climbs towards the end, then starts again from the beginning.
    std::uint64_t last = 0;
    EXPECT_TRUE(eventually(
        [&] {
            const std::uint64_t now = position(handle);
            const bool wrapped = now < last;
            last = now;
            return wrapped;
        },
        10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
}

TEST_F(Playback, SeveralChannelsAndMidiPlayTogether)
{
    const EngineHandle first = open("one.mp3", 3, StreamFlag::Loop);
    const EngineHandle second = open("two.wav", 3, StreamFlag::Loop, 8000, 1);
    writeFile(m_dir / "song.mid", twoSecondMidi());
    const EngineHandle midi = m_engine->StreamCreateFile((m_dir / "song.mid").string(), 0, 0, StreamFlag::Loop);
    ASSERT_NE(midi, 0u);
    for (EngineHandle handle : {first, second, midi})
        ASSERT_TRUE(m_engine->ChannelPlay(handle, false));
    for (EngineHandle handle : {first, second, midi})
        EXPECT_TRUE(eventually([&] { return position(handle) > 0; }, 5000));
    // Freeing a playing channel is safe while the others play on.
    EXPECT_TRUE(m_engine->StreamFree(second));
    const std::uint64_t before = position(first);
    EXPECT_TRUE(eventually([&] { return position(first) != before; }, 5000));
}

TEST_F(Playback, DecodeOnlyStreamsNeverPlay)
{
    const EngineHandle handle = open("decode.wav", 1, StreamFlag::DecodeOnly);
    EXPECT_FALSE(m_engine->ChannelPlay(handle, false));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Decode);
    EXPECT_EQ(position(handle), 0u);
}

TEST_F(Playback, InitTwiceAndAgainAfterFree)
{
    EXPECT_FALSE(m_engine->Init(1, 44100, 0));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Already);
    EXPECT_TRUE(m_engine->Free());
    EXPECT_TRUE(m_engine->Init(1, 44100, 0));
    const EngineHandle handle = open("again.wav", 1, 0);
    EXPECT_TRUE(m_engine->ChannelPlay(handle, true));
}

TEST(PlaybackDevice, MissingAudioDriverGivesDeviceError)
{
    ::setenv("SDL_AUDIODRIVER", "none-such", 1);
    auto engine = makeEngine();
    EXPECT_FALSE(engine->Init(1, 44100, 0));
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Device);
    // Decoding alone needs no driver.
    EXPECT_TRUE(engine->Init(0, 44100, 0));
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST(PlaybackDevice, UnknownDeviceNumber)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto engine = makeEngine();
    EXPECT_FALSE(engine->Init(99, 44100, 0));
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Device);
    EXPECT_FALSE(engine->Init(-2, 44100, 0));
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Device);
}

} // namespace
