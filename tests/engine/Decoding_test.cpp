#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

struct Sample {
    std::string name; // file name; its extension picks the container
    double seconds;   // true playing time
    std::uint32_t rate;
    std::uint32_t chans;
    bool exactLength; // the file states its length: stated == decoded == true length
    bool bitExact;    // 16-bit lossless: the PCM must equal the original
};

class Decoding : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    // The fixture file of that name, made on first use (each test runs in its own process under
    // CTest, so only what a test needs is made).
    static std::filesystem::path file(const std::string& name)
    {
        const auto path = *s_dir / name;
        if (!std::filesystem::exists(path))
            make(name, path.string());
        return path;
    }

    // A path in the fixture folder for a file that the test itself writes (or leaves missing).
    static std::filesystem::path at(const std::string& name) { return *s_dir / name; }

    static void make(const std::string& name, const std::string& path)
    {
        static const std::map<std::string, std::vector<std::string>> fromTone{
            {"stereo16.wav", {"-c:a", "pcm_s16le"}},
            {"stereo.flac", {"-c:a", "flac"}},
            {"stereo.aiff", {"-c:a", "pcm_s16be"}},
            {"stereo.m4a", {"-c:a", "alac"}},
            {"stereo.tta", {"-c:a", "tta"}},
            {"stereo.wv", {"-c:a", "wavpack"}},
            {"stereo.mp2", {"-c:a", "mp2"}},
            {"stereo.ogg", {"-c:a", "libvorbis"}},
            {"stereo.wma", {"-c:a", "wmav2"}},
            {"stereo.aac", {"-c:a", "aac"}},
            {"aac.mp4", {"-c:a", "aac"}},
            {"stereo.adx", {"-c:a", "adpcm_adx"}},
            {"ffmpeg-cbr.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        };
        // Videos: a test picture with the tone as sound track.
        static const std::map<std::string, std::vector<std::string>> videos{
            {"clip.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}},
            {"clip.mp4", {"-c:v", "mpeg4", "-c:a", "aac"}},
            {"clip.mov", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}},
            {"clip.mpg", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}},
            {"clip.dat", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "vcd"}},
            {"clip.wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}},
            {"clip.asf", {"-c:v", "wmv2", "-c:a", "wmav2", "-f", "asf"}},
        };
        if (name == "tone.wav") {
            makeTone(path, 3, 44100, 2, {"-c:a", "pcm_s16le"});
        } else if (fromTone.count(name) || videos.count(name)) {
            std::vector<std::string> args{"-i", file("tone.wav").string()};
            if (videos.count(name))
                args.insert(args.begin(), {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=3"});
            const auto& encoding = fromTone.count(name) ? fromTone.at(name) : videos.at(name);
            args.insert(args.end(), encoding.begin(), encoding.end());
            args.push_back(path);
            ffmpeg(args);
        } else if (name == "mono8.wav") {
            makeTone(path, 3, 22050, 1, {"-c:a", "pcm_u8"});
        } else if (name == "stereo24.wav") {
            makeTone(path, 3, 48000, 2, {"-c:a", "pcm_s24le"});
        } else if (name == "surround.ac3") {
            ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=3", "-af",
                    "aformat=channel_layouts=5.1", "-c:a", "ac3", path});
        } else if (name == "lame-cbr.mp3" || name == "lame-vbr.mp3") {
            const std::vector<std::string> mode =
                name == "lame-cbr.mp3" ? std::vector<std::string>{"-b", "128"} : std::vector<std::string>{"-V", "4"};
            ASSERT_EQ(runProgram({"lame", "--quiet", mode[0], mode[1], file("tone.wav").string(), path}).exitCode, 0);
        } else if (name == "stereo.mpc") {
            ASSERT_EQ(runProgram({"mpcenc", "--silent", file("tone.wav").string(), path}).exitCode, 0);
        } else if (name == "speech.spx") {
            makeTone(*s_dir / "speech.wav", 3, 16000, 1, {"-c:a", "pcm_s16le"});
            ASSERT_EQ(runProgram({"speexenc", "--quiet", (*s_dir / "speech.wav").string(), path}).exitCode, 0);
        } else if (name == "silence.mp1") {
            // MPEG-1 Layer I has no encoder here: 125 silent mono frames at 48 kHz and 32 kbit/s
            // (32 bytes each: a header and all-zero bit allocations) of 384 samples: exactly 1 s.
            std::string layer1;
            for (int frame = 0; frame < 125; ++frame)
                layer1 += std::string("\xFF\xFF\x14\xC0", 4) + std::string(28, '\0');
            writeFile(path, layer1);
        } else {
            FAIL() << "no recipe for " << name;
        }
    }

    // Opens, checks format and length, decodes; returns the PCM.
    std::string check(const Sample& sample)
    {
        SCOPED_TRACE(sample.name);
        const EngineHandle handle =
            m_engine->StreamCreateFile(file(sample.name).string(), 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
        EXPECT_NE(handle, 0u) << "code " << m_engine->ErrorGetCode();
        if (!handle)
            return {};
        ChannelInfo info;
        EXPECT_TRUE(m_engine->ChannelGetInfo(handle, info));
        EXPECT_EQ(info.freq, sample.rate);
        EXPECT_EQ(info.chans, sample.chans);
        float rate = 0;
        EXPECT_TRUE(m_engine->ChannelGetAttribute(handle, ChannelAttribFreq, rate));
        EXPECT_EQ(rate, static_cast<float>(sample.rate));

        const std::uint64_t stated = m_engine->ChannelGetLength(handle, 0);
        const std::string pcm = decodeAll(*m_engine, handle);
        EXPECT_EQ(m_engine->ChannelGetPosition(handle, 0), pcm.size());
        const double statedSeconds = m_engine->ChannelBytes2Seconds(handle, stated);
        const double decodedSeconds = m_engine->ChannelBytes2Seconds(handle, pcm.size());
        const std::uint64_t trueBytes = static_cast<std::uint64_t>(std::llround(sample.seconds * sample.rate)) *
                                        sample.chans * ((info.flags & StreamFlag::Sample8Bits) ? 1 : 2);
        if (sample.exactLength) {
            EXPECT_EQ(stated, trueBytes);
            EXPECT_EQ(pcm.size(), trueBytes);
        } else {
            EXPECT_NEAR(statedSeconds, sample.seconds, 0.1);
            EXPECT_NEAR(decodedSeconds, sample.seconds, 0.1);
        }
        EXPECT_EQ(m_engine->ChannelGetData(handle, m_scratch, sizeof m_scratch), 0);
        EXPECT_TRUE(m_engine->StreamFree(handle));
        return pcm;
    }

    static bool audible(const std::string& pcm16)
    {
        std::int64_t energy = 0;
        for (std::size_t i = 0; i + 1 < pcm16.size(); i += 2) {
            std::int16_t v;
            std::memcpy(&v, &pcm16[i], 2);
            energy += std::abs(v);
        }
        return pcm16.size() > 0 && energy / static_cast<std::int64_t>(pcm16.size() / 2) > 100;
    }

    static TempDir* s_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
    char m_scratch[4096];
};

TempDir* Decoding::s_dir = nullptr;

TEST_F(Decoding, LosslessSixteenBitSourcesAreBitExact)
{
    const std::string original = ffmpegPcm(file("tone.wav"));
    ASSERT_EQ(original.size(), 3u * 44100 * 4);
    for (const char* name :
         {"stereo16.wav", "stereo.aiff", "stereo.flac", "stereo.m4a", "stereo.tta", "stereo.wv", "clip.mov"}) {
        const std::string pcm = check({name, 3, 44100, 2, true, true});
        EXPECT_TRUE(pcm == original) << name << " differs from the original";
    }
}

TEST_F(Decoding, EightBitWavIsDeliveredAsUnsignedEightBit)
{
    const EngineHandle handle = m_engine->StreamCreateFile(file("mono8.wav").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u);
    ChannelInfo info;
    ASSERT_TRUE(m_engine->ChannelGetInfo(handle, info));
    EXPECT_EQ(info.flags & StreamFlag::Sample8Bits, StreamFlag::Sample8Bits);
    EXPECT_EQ(info.origres, 8u);
    m_engine->StreamFree(handle);
    const std::string pcm = check({"mono8.wav", 3, 22050, 1, true, true});
    EXPECT_TRUE(pcm == ffmpegPcm(file("mono8.wav"), "u8"));
}

TEST_F(Decoding, TwentyFourBitWavIsDitheredToSixteen)
{
    const std::string pcm = check({"stereo24.wav", 3, 48000, 2, true, false});
    // The 24-bit file made from the same tone: dither moves each sample by at most one step of
    // the 16-bit result away from plain rounding, and does move some.
    const std::string rounded = ffmpegPcm(file("stereo24.wav"));
    ASSERT_EQ(pcm.size(), rounded.size());
    int moved = 0;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        std::int16_t a, b;
        std::memcpy(&a, &pcm[i], 2);
        std::memcpy(&b, &rounded[i], 2);
        ASSERT_LE(std::abs(a - b), 2) << "sample " << i / 2;
        moved += a != b;
    }
    EXPECT_GT(moved, 1000);
    EXPECT_TRUE(audible(pcm));
}

TEST_F(Decoding, MpegAudioLayersAndMp3HeadersGiveExactLengths)
{
    // Xing/LAME headers state the frame count, the encoder delay and the padding.
    for (const char* name : {"lame-cbr.mp3", "lame-vbr.mp3", "ffmpeg-cbr.mp3"})
        EXPECT_TRUE(audible(check({name, 3, 44100, 2, true, false})));
    EXPECT_TRUE(audible(check({"stereo.mp2", 3, 44100, 2, false, false})));
    const std::string layer1 = check({"silence.mp1", 1, 48000, 1, true, false});
    EXPECT_EQ(layer1, std::string(layer1.size(), '\0'));
}

TEST_F(Decoding, LossyFormatsDecodeAtTheirRateAndLength)
{
    for (const Sample& sample :
         {Sample{"stereo.ogg", 3, 44100, 2, true, false}, Sample{"stereo.wma", 3, 44100, 2, false, false},
          Sample{"stereo.aac", 3, 44100, 2, false, false}, Sample{"aac.mp4", 3, 44100, 2, true, false},
          Sample{"stereo.mpc", 3, 44100, 2, false, false}, Sample{"speech.spx", 3, 16000, 1, false, false},
          Sample{"stereo.adx", 3, 44100, 2, false, false}, Sample{"surround.ac3", 3, 48000, 6, false, false}})
        EXPECT_TRUE(audible(check(sample))) << sample.name;
}

TEST_F(Decoding, VideoSoundTracks)
{
    for (const Sample& sample :
         {Sample{"clip.avi", 3, 44100, 2, false, false}, Sample{"clip.mp4", 3, 44100, 2, true, false},
          Sample{"clip.mpg", 3, 44100, 2, false, false}, Sample{"clip.dat", 3, 44100, 2, false, false},
          Sample{"clip.wmv", 3, 44100, 2, false, false}, Sample{"clip.asf", 3, 44100, 2, false, false}})
        EXPECT_TRUE(audible(check(sample))) << sample.name;
}

TEST_F(Decoding, SmallPullsDeliverTheSameBytesInWholeSampleFrames)
{
    const EngineHandle handle = m_engine->StreamCreateFile(file("surround.ac3").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u);
    const std::string whole = check({"surround.ac3", 3, 48000, 6, false, false});
    // 100 bytes hold eight 12-byte sample frames: every pull delivers 96.
    std::string pcm;
    char buffer[100];
    while (m_engine->ChannelIsActive(handle)) {
        const std::int32_t got = m_engine->ChannelGetData(handle, buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        ASSERT_EQ(got % 12, 0);
        pcm.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_TRUE(pcm == whole);
    m_engine->StreamFree(handle);
}

TEST_F(Decoding, EachFamilyNeedsItsPlugin)
{
    auto engine = decodingEngine(false);
    // The base: WAV, MPEG audio (also inside a video), OGG Vorbis.
    for (const char* name : {"stereo16.wav", "lame-vbr.mp3", "stereo.mp2", "stereo.ogg", "clip.avi", "clip.mpg"}) {
        const EngineHandle handle = engine->StreamCreateFile(file(name).string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(handle, 0u) << name;
        engine->StreamFree(handle);
    }
    const std::vector<std::pair<const char*, const char*>> families{
        {"stereo.flac", "bassflac.dll"},  {"stereo.wma", "basswma.dll"},  {"clip.wmv", "basswma.dll"},
        {"aac.mp4", "bass_aac.dll"},      {"clip.mp4", "bass_aac.dll"},   {"stereo.aac", "bass_aac.dll"},
        {"stereo.m4a", "bass_alac.dll"},  {"stereo.tta", "bass_tta.dll"}, {"stereo.wv", "basswv.dll"},
        {"stereo.mpc", "bass_mpc.dll"},   {"speech.spx", "bass_spx.dll"}, {"stereo.adx", "bass_adx.dll"},
        {"surround.ac3", "bass_ac3.dll"},
    };
    for (const auto& [name, plugin] : families) {
        EXPECT_EQ(engine->StreamCreateFile(file(name).string(), 0, 0, StreamFlag::DecodeOnly), 0u) << name;
        EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Format) << name;
    }
    for (const auto& [name, plugin] : families)
        EXPECT_NE(engine->PluginLoad(plugin, 0), 0u) << plugin;
    for (const auto& [name, plugin] : families) {
        const EngineHandle handle = engine->StreamCreateFile(file(name).string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(handle, 0u) << name;
        engine->StreamFree(handle);
    }
}

TEST_F(Decoding, FamiliesWithoutADecoderFailToLoad)
{
    auto engine = decodingEngine(false);
    EXPECT_EQ(engine->PluginLoad("bass_ofr.dll", 0), 0u);
    EXPECT_NE(EngineErrorText(engine->ErrorGetCode()), "");
    EXPECT_EQ(engine->PluginLoad("nosuch.dll", 0), 0u);
    EXPECT_NE(engine->PluginLoad("bass_ape.dll", 0), 0u);
    EXPECT_NE(engine->PluginLoad("BASSFLAC.DLL", 0), 0u);
    // An OptimFROG file (its signature, then nothing an FFmpeg demuxer knows) does not open.
    writeFile(at("song.ofr"), std::string("OFR ") + std::string(4000, '\x11'));
    EXPECT_EQ(engine->StreamCreateFile(at("song.ofr").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_NE(EngineErrorText(engine->ErrorGetCode()), "");
}

TEST_F(Decoding, PositionCountsDeliveredBytesAndEndIsKnownAhead)
{
    const EngineHandle handle = m_engine->StreamCreateFile(file("stereo.flac").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
    EXPECT_EQ(m_engine->ChannelGetPosition(handle, 0), 0u);
    std::string buffer(3 * 44100 * 4 - 4, '\0');
    EXPECT_EQ(m_engine->ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size())),
              static_cast<std::int32_t>(buffer.size()));
    EXPECT_EQ(m_engine->ChannelGetPosition(handle, 0), buffer.size());
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Playing);
    EXPECT_EQ(m_engine->ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size())), 4);
    // The last byte is out: inactive at once, without a pull that returns nothing.
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
    EXPECT_DOUBLE_EQ(m_engine->ChannelBytes2Seconds(handle, 44100 * 4), 1.0);
    // Decode-only channels do not play.
    EXPECT_FALSE(m_engine->ChannelPlay(handle, false));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Decode);
    EXPECT_TRUE(m_engine->StreamFree(handle));
    EXPECT_FALSE(m_engine->StreamFree(handle));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Handle);
    EXPECT_EQ(m_engine->ChannelGetData(handle, buffer.data(), 4), -1);
    EXPECT_EQ(m_engine->ChannelGetLength(handle, 0), EngineFailure64);
}

TEST_F(Decoding, AStreamWithoutSamplesIsInactiveFromTheStart)
{
    ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "0", "-c:a", "flac", at("empty.flac").string()});
    const EngineHandle handle = m_engine->StreamCreateFile(at("empty.flac").string(), 0, 0, StreamFlag::DecodeOnly);
    ASSERT_NE(handle, 0u) << m_engine->ErrorGetCode();
    EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
    EXPECT_EQ(m_engine->ChannelGetLength(handle, 0), 0u);
    m_engine->StreamFree(handle);
}

TEST_F(Decoding, StreamsNeedAnInitialisedEngine)
{
    auto engine = makeEngine();
    EXPECT_EQ(engine->StreamCreateFile(file("stereo16.wav").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Init);
    EXPECT_FALSE(engine->Free());
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Init);
    EXPECT_TRUE(engine->Init(0, 44100, 0));
    const EngineHandle handle = engine->StreamCreateFile(file("stereo16.wav").string(), 0, 0, StreamFlag::DecodeOnly);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Ok);
    // Free releases every handle.
    EXPECT_TRUE(engine->Free());
    EXPECT_TRUE(engine->Init(0, 44100, 0));
    EXPECT_EQ(engine->ChannelIsActive(handle), ChannelState::Stopped);
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Handle);
}

TEST_F(Decoding, ErrorCodesArePerThread)
{
    EXPECT_EQ(m_engine->StreamCreateFile(at("missing.wav").string(), 0, 0, StreamFlag::DecodeOnly), 0u);
    std::thread other([&] {
        const EngineHandle handle =
            m_engine->StreamCreateFile(file("stereo16.wav").string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Ok);
        decodeAll(*m_engine, handle);
        m_engine->StreamFree(handle);
    });
    other.join();
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::FileOpen);
}

} // namespace
