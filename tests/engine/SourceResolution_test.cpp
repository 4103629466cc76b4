#include "EncodeTestSupport.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class SourceResolution : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    static std::filesystem::path source(const std::string& name) { return makeSource(*s_dir, name); }

    // Opens and decodes a whole source; the PCM and the channel info.
    std::string decode(const std::string& name, std::uint32_t flags, ChannelInfo& info)
    {
        const EngineHandle stream = m_engine->StreamCreateFile(source(name).string(), 0, 0, flags);
        EXPECT_NE(stream, 0u) << name << " code " << m_engine->ErrorGetCode();
        m_engine->ChannelGetInfo(stream, info);
        const std::uint64_t length = m_engine->ChannelGetLength(stream, 0);
        std::string pcm = decodeAll(*m_engine, stream);
        EXPECT_EQ(length, pcm.size()) << "the length counts bytes of the delivered format";
        m_engine->StreamFree(stream);
        return pcm;
    }

    static TempDir* s_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

TempDir* SourceResolution::s_dir = nullptr;

constexpr std::uint32_t Native = StreamFlag::DecodeOnly | StreamFlag::SourceResolution;

// Lossless sources come at their own resolution, sample for sample what ffmpeg decodes.
TEST_F(SourceResolution, LosslessSourcesKeepTheirResolution)
{
    const std::map<std::string, std::uint32_t> expectedFlags{{"cd.flac", 0},
                                                             {"hires.flac", StreamFlag::Sample24Bits},
                                                             {"six.wav", 0},
                                                             {"float.wav", StreamFlag::SampleFloat},
                                                             {"int32.wav", StreamFlag::Sample32Bits},
                                                             {"eight.wav", 0}};
    for (const auto& [name, flags] : expectedFlags) {
        SCOPED_TRACE(name);
        const SourceFile src = sourceFile(name);
        ChannelInfo info;
        const std::string pcm = decode(name, Native, info);
        EXPECT_EQ(info.flags, flags);
        EXPECT_EQ(info.freq, src.rate);
        EXPECT_EQ(info.chans, src.chans);
        EXPECT_TRUE(pcm == ffmpegPcm(source(name), src.pcmFormat)) << "the PCM differs from the source's";
    }
}

// Without the flag, and for lossy sources with it, the 16-bit road stays as it was.
TEST_F(SourceResolution, TheSixteenBitRoadIsUnchanged)
{
    ChannelInfo plain;
    ChannelInfo native;
    const std::string dithered = decode("hires.flac", StreamFlag::DecodeOnly, plain);
    EXPECT_EQ(plain.flags, 0u);
    EXPECT_EQ(dithered.size(), ffmpegPcm(source("hires.flac"), "s24le").size() / 3 * 2);

    EXPECT_TRUE(decode("mono.mp3", Native, native) == decode("mono.mp3", StreamFlag::DecodeOnly, plain));
    EXPECT_EQ(native.flags, 0u);
    decode("eight.wav", StreamFlag::DecodeOnly, plain);
    EXPECT_EQ(plain.flags, StreamFlag::Sample8Bits);
}

// Players and encoder programs take the 16-bit road alone.
TEST_F(SourceResolution, OnlyDecodeOnlyStreamsAndInProcessEncodersTakeIt)
{
    EXPECT_EQ(m_engine->StreamCreateFile(source("hires.flac").string(), 0, 0, StreamFlag::SourceResolution), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::IllegalParam);

    const EngineHandle stream = m_engine->StreamCreateFile(source("hires.flac").string(), 0, 0, Native);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(m_engine->EncodeStart(stream, EncoderCommand{"cat", {}}, 0), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Format);
    m_engine->StreamFree(stream);
}

} // namespace
