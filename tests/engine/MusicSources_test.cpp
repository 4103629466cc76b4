#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

bool audible(const std::string& pcm16)
{
    for (std::size_t i = 0; i + 1 < pcm16.size(); i += 2) {
        std::int16_t v;
        std::memcpy(&v, &pcm16[i], 2);
        if (std::abs(v) > 1000)
            return true;
    }
    return false;
}

TEST(Midi, RendersThroughTheSoundFontForTheFilesLength)
{
    TempDir dir;
    writeFile(dir / "song.mid", twoSecondMidi());
    auto engine = decodingEngine();
    const EngineHandle handle = engine->StreamCreateFile((dir / "song.mid").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u) << engine->ErrorGetCode();
    ChannelInfo info;
    ASSERT_TRUE(engine->ChannelGetInfo(handle, info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(engine->ChannelGetLength(handle, 0), 2u * 44100 * 4);
    const std::string pcm = decodeAll(*engine, handle);
    EXPECT_EQ(pcm.size(), 2u * 44100 * 4);
    // The note sounds during the first second.
    EXPECT_TRUE(audible(pcm.substr(0, 44100 * 4)));
}

TEST(Midi, RmidFilesAndTheFamilySwitch)
{
    TempDir dir;
    const std::string smf = twoSecondMidi();
    std::string rmid = "RIFF    RMIDdata";
    const std::uint32_t size = static_cast<std::uint32_t>(smf.size());
    rmid.append(reinterpret_cast<const char*>(&size), 4);
    rmid += smf;
    writeFile(dir / "song.rmi", rmid);
    writeFile(dir / "song.mid", smf);

    auto engine = decodingEngine(false);
    EXPECT_EQ(engine->StreamCreateFile((dir / "song.mid").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Format);
    ASSERT_NE(engine->PluginLoad("bassmidi.dll", 0), 0u);
    const EngineHandle handle = engine->StreamCreateFile((dir / "song.rmi").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u) << engine->ErrorGetCode();
    EXPECT_EQ(decodeAll(*engine, handle).size(), 2u * 44100 * 4);
}

TEST(Midi, DamagedMidiIsRefused)
{
    TempDir dir;
    writeFile(dir / "bad.mid", "MThd\x00\x00");
    auto engine = decodingEngine();
    EXPECT_EQ(engine->StreamCreateFile((dir / "bad.mid").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Format);
}

TEST(Module, OpensOnlyThroughMusicLoad)
{
    TempDir dir;
    writeFile(dir / "tune.mod", squareWaveModule());
    auto engine = decodingEngine();
    // The stream call refuses modules so that callers fall back to MusicLoad.
    EXPECT_EQ(engine->StreamCreateFile((dir / "tune.mod").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_NE(EngineErrorText(engine->ErrorGetCode()), "");
    const EngineHandle handle = engine->MusicLoad((dir / "tune.mod").string(), 0, 0, StreamFlag::DecodeOnly, 0);
    ASSERT_NE(handle, 0u) << engine->ErrorGetCode();
    ChannelInfo info;
    ASSERT_TRUE(engine->ChannelGetInfo(handle, info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    // 64 rows at speed 6 and 125 BPM.
    EXPECT_NEAR(engine->ChannelBytes2Seconds(handle, engine->ChannelGetLength(handle, 0)), 7.68, 0.01);
    const std::string pcm = decodeAll(*engine, handle);
    EXPECT_NEAR(engine->ChannelBytes2Seconds(handle, pcm.size()), 7.68, 0.1);
    EXPECT_TRUE(audible(pcm));
    EXPECT_TRUE(engine->StreamFree(handle));
}

TEST(Module, RateFollowsTheCallerAndNonModulesFail)
{
    TempDir dir;
    writeFile(dir / "tune.mod", squareWaveModule());
    makeTone(dir / "tone.wav", 1);
    auto engine = decodingEngine();
    const EngineHandle handle = engine->MusicLoad((dir / "tune.mod").string(), 0, 0, StreamFlag::DecodeOnly, 22050);
    ASSERT_NE(handle, 0u);
    float rate = 0;
    EXPECT_TRUE(engine->ChannelGetAttribute(handle, ChannelAttribFreq, rate));
    EXPECT_EQ(rate, 22050.0f);
    EXPECT_EQ(engine->MusicLoad((dir / "tone.wav").string(), 0, 0, StreamFlag::DecodeOnly, 0), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Format);
}

} // namespace
