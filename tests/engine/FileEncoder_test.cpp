#include "EncodeTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class FileEncoding : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    static std::filesystem::path source(const std::string& name) { return makeSource(*s_dir, name); }

    EncodeRun encode(const std::string& sourceName, const EncodeSetup& setup, const std::filesystem::path& out)
    {
        return encodeFile(*m_engine, source(sourceName), setup, {-1, out.string()}, isLosslessCodec(setup.codec));
    }

    static TempDir* s_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
    TempDir m_out;
};

TempDir* FileEncoding::s_dir = nullptr;

std::int64_t probeInteger(const std::filesystem::path& file, const std::string& entry)
{
    const std::string text = ffprobe(file, entry);
    return text.empty() || text == "N/A" ? -1 : std::stoll(text);
}

// Sample frames that the engine decodes from a file.
std::int64_t engineFrames(Engine& engine, const std::filesystem::path& file)
{
    const EngineHandle stream = engine.StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly);
    EXPECT_NE(stream, 0u) << file << " code " << engine.ErrorGetCode();
    ChannelInfo info;
    engine.ChannelGetInfo(stream, info);
    const std::string pcm = decodeAll(engine, stream);
    engine.StreamFree(stream);
    return info.chans ? static_cast<std::int64_t>(pcm.size() / (2 * info.chans)) : -1;
}

struct LosslessCase {
    OutputCodec codec;
    std::string extension;
};

const std::vector<LosslessCase> losslessCases{{OutputCodec::Flac, ".flac"},
                                              {OutputCodec::Alac, ".m4a"},
                                              {OutputCodec::WavPack, ".wv"},
                                              {OutputCodec::AiffPcm, ".aiff"}};

// Each lossless format holds exactly the source's PCM at its resolution, verified by the engine
// and read back by ffmpeg; the reference tools accept the files.
TEST_F(FileEncoding, LosslessOutputsHoldTheSourcesPcmBitForBit)
{
    for (const auto& format : losslessCases) {
        for (const std::string name : {"cd.flac", "hires.flac", "six.wav"}) {
            SCOPED_TRACE(name + " to " + format.extension);
            const SourceFile src = sourceFile(name);
            const auto out = m_out / (name + format.extension);
            const EncodeRun run = encode(name, setupFor(format.codec), out);
            ASSERT_TRUE(run.opened) << "code " << run.code;
            EXPECT_TRUE(run.closed) << "code " << run.code;

            const std::string expected = ffmpegPcm(source(name), src.pcmFormat);
            EXPECT_EQ(run.pcm.size(), expected.size());
            EXPECT_TRUE(ffmpegPcm(out, src.pcmFormat) == expected) << "the output's PCM differs from the source's";
            EXPECT_EQ(probeInteger(out, "stream=sample_rate"), src.rate);
            EXPECT_EQ(probeInteger(out, "stream=channels"), src.chans);
            if (src.pcmFormat == "s24le") {
                EXPECT_EQ(probeInteger(out, "stream=bits_per_raw_sample"), 24);
            }
            if (format.codec == OutputCodec::Flac) {
                const auto tested = runProgramOnFile({"flac", "-t", "-s", out.string()}, out);
                EXPECT_EQ(tested.exitCode, 0) << tested.output;
            }
            if (format.codec == OutputCodec::WavPack) {
                const auto verified = runProgramOnFile({"wvunpack", "-q", "-v", out.string()}, out);
                EXPECT_EQ(verified.exitCode, 0) << verified.output;
            }
        }
    }
}

// Float and 32-bit sources: WavPack and AIFF store them as they are; FLAC and ALAC, which cannot,
// as 24-bit, and verification checks what they store.
TEST_F(FileEncoding, WideSourcesAreStoredAtTheBestResolutionTheFormatHas)
{
    struct Case {
        std::string source;
        OutputCodec codec;
        std::string extension;
        std::string sampleFormat; // as ffprobe names it
        std::int64_t rawBits;     // bits_per_raw_sample, -1 when ffprobe shows none
    };
    const std::vector<Case> cases{
        {"float.wav", OutputCodec::WavPack, ".wv", "fltp", 32}, {"float.wav", OutputCodec::AiffPcm, ".aiff", "flt", -1},
        {"float.wav", OutputCodec::Flac, ".flac", "s32", 24},   {"float.wav", OutputCodec::Alac, ".m4a", "s32p", 24},
        {"int32.wav", OutputCodec::WavPack, ".wv", "s32p", 32}, {"int32.wav", OutputCodec::AiffPcm, ".aiff", "s32", -1},
        {"int32.wav", OutputCodec::Flac, ".flac", "s32", 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source + " to " + c.extension);
        const auto out = m_out / (c.source + c.extension);
        const EncodeRun run = encode(c.source, setupFor(c.codec), out);
        ASSERT_TRUE(run.opened) << "code " << run.code;
        EXPECT_TRUE(run.closed) << "code " << run.code;
        EXPECT_EQ(ffprobe(out, "stream=sample_fmt"), c.sampleFormat);
        if (c.rawBits > 0) {
            EXPECT_EQ(probeInteger(out, "stream=bits_per_raw_sample"), c.rawBits);
        }
        const SourceFile src = sourceFile(c.source);
        if (c.rawBits != 24) { // stored as it came: bit-identical
            EXPECT_TRUE(ffmpegPcm(out, src.pcmFormat) == ffmpegPcm(source(c.source), src.pcmFormat));
        }
    }
}

// A 24-bit source stays a 24-bit WavPack file about as small as its FLAC (FFmpeg's default mode
// for WavPack makes it three quarters larger).
TEST_F(FileEncoding, WavPackStores24BitSamplesAs24Bits)
{
    const auto wv = m_out / "hires.wv";
    const auto flac = m_out / "hires.flac";
    ASSERT_TRUE(encode("hires.flac", setupFor(OutputCodec::WavPack), wv).closed);
    ASSERT_TRUE(encode("hires.flac", setupFor(OutputCodec::Flac), flac).closed);
    const auto summary = runProgramOnFile({"wvunpack", "-ss", wv.string()}, wv);
    EXPECT_NE(summary.output.find("24-bit ints"), std::string::npos) << summary.output;
    EXPECT_LT(std::filesystem::file_size(wv), std::filesystem::file_size(flac) * 1.15);
}

// The 16-bit road's 8-bit PCM goes into lossless files widened, exactly.
TEST_F(FileEncoding, EightBitPcmIsWidenedExactly)
{
    const auto out = m_out / "eight.flac";
    const EncodeRun run =
        encodeFile(*m_engine, source("eight.wav"), setupFor(OutputCodec::Flac), {-1, out.string()}, false);
    ASSERT_TRUE(run.closed) << "code " << run.code;
    EXPECT_EQ(run.info.flags & StreamFlag::Sample8Bits, StreamFlag::Sample8Bits);
    EXPECT_EQ(probeInteger(out, "stream=bits_per_raw_sample"), 16);
    EXPECT_TRUE(ffmpegPcm(out) == ffmpegPcm(source("eight.wav")));
}

// Opus: 48 kHz, exactly the source's length at that rate, the RFC 7845 header (pre-skip, gain 0,
// the original rate), accepted by opusinfo.
TEST_F(FileEncoding, OpusIsResampledTo48kHzAndKeepsTheExactLength)
{
    for (const auto& src : sourceFiles()) {
        if (src.name == "int32.wav" || src.name == "eight.wav")
            continue;
        SCOPED_TRACE(src.name);
        const auto out = m_out / (src.name + ".opus");
        const EncodeRun run = encode(src.name, setupFor(OutputCodec::Opus), out);
        ASSERT_TRUE(run.closed) << "code " << run.code;
        const std::int64_t fed =
            static_cast<std::int64_t>(run.pcm.size() / (src.chans * bytesPerSample(run.info.flags)));
        const std::int64_t expected = std::llround(static_cast<double>(fed) * 48000 / src.rate);
        EXPECT_EQ(static_cast<std::int64_t>(ffmpegPcm(out).size() / (2 * src.chans)), expected);
        EXPECT_EQ(engineFrames(*m_engine, out), expected);
        EXPECT_EQ(probeInteger(out, "stream=channels"), src.chans);

        const auto info = runProgramOnFile({"opusinfo", out.string()}, out);
        EXPECT_EQ(info.exitCode, 0) << info.output;
        EXPECT_NE(info.output.find("Pre-skip: 312"), std::string::npos) << info.output;
        EXPECT_NE(info.output.find("Playback gain: 0 dB"), std::string::npos) << info.output;
        EXPECT_NE(info.output.find("Original sample rate: " + std::to_string(src.rate) + " Hz"), std::string::npos)
            << info.output;
        EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
    }
}

// AAC-LC in M4A: the edit list gives exactly the source's length (at 48 kHz for 96 kHz sources).
TEST_F(FileEncoding, AacInM4aKeepsTheExactLength)
{
    for (const std::string name : {"cd.flac", "hires.flac", "six.wav", "mono.mp3"}) {
        SCOPED_TRACE(name);
        const SourceFile src = sourceFile(name);
        const auto out = m_out / (name + ".m4a");
        const EncodeRun run = encode(name, setupFor(OutputCodec::Aac), out);
        ASSERT_TRUE(run.closed) << "code " << run.code;
        const std::int64_t fed =
            static_cast<std::int64_t>(run.pcm.size() / (src.chans * bytesPerSample(run.info.flags)));
        const std::int64_t rate = src.rate > 48000 ? 48000 : src.rate;
        const std::int64_t expected = fed * rate / src.rate;
        EXPECT_EQ(ffprobe(out, "stream=codec_name"), "aac");
        EXPECT_EQ(ffprobe(out, "stream=profile"), "LC");
        EXPECT_EQ(probeInteger(out, "stream=sample_rate"), rate);
        EXPECT_EQ(probeInteger(out, "stream=channels"), src.chans);
        EXPECT_EQ(probeInteger(out, "stream=duration_ts"), expected);
        EXPECT_EQ(engineFrames(*m_engine, out), expected);
    }
}

// The bitrate reaches the codec, and the FLAC level too.
TEST_F(FileEncoding, OptionsReachTheCodec)
{
    const auto sizeWith = [&](OutputCodec codec, int kbps, int level) {
        EncodeSetup setup = setupFor(codec);
        setup.kbps = kbps;
        setup.compressionLevel = level;
        const auto out = m_out / ("option" + std::to_string(kbps) + "-" + std::to_string(level));
        EXPECT_TRUE(encode("cd.flac", setup, out).closed);
        return std::filesystem::file_size(out);
    };
    const double seconds = 3.3217;
    for (const int kbps : {64, 256}) {
        SCOPED_TRACE(kbps);
        EXPECT_NEAR(sizeWith(OutputCodec::Opus, kbps, -1) * 8 / seconds / 1000, kbps, kbps * 0.2);
    }
    for (const int kbps : {96, 320}) {
        SCOPED_TRACE(kbps);
        EXPECT_NEAR(sizeWith(OutputCodec::Aac, kbps, -1) * 8 / seconds / 1000, kbps, kbps * 0.2);
    }
    EXPECT_GT(sizeWith(OutputCodec::Flac, 0, 0), sizeWith(OutputCodec::Flac, 0, 8));
}

TEST_F(FileEncoding, OptionsOutOfRangeAreRefused)
{
    const ChannelInfo pcm{44100, 2, 0, 16};
    const auto refused = [&](EncodeSetup setup) {
        const auto out = m_out / "refused.flac";
        const EngineHandle handle = m_engine->EncodeFileOpen(setup, pcm, {-1, out.string()});
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::IllegalParam);
        EXPECT_FALSE(std::filesystem::exists(out)) << "a refused setup must not create the file";
    };
    EncodeSetup setup = setupFor(OutputCodec::Opus);
    setup.kbps = 999;
    refused(setup);
    setup.kbps = 31;
    refused(setup);
    setup = setupFor(OutputCodec::Aac);
    setup.kbps = 63;
    refused(setup);
    setup.kbps = 321;
    refused(setup);
    setup = setupFor(OutputCodec::Flac);
    setup.compressionLevel = 9;
    refused(setup);
    setup = setupFor(OutputCodec::Flac);
    setup.container = OutputContainer::M4a;
    refused(setup);
    setup = setupFor(OutputCodec::Opus);
    setup.verify = true; // a lossy file cannot be verified: asking for it must not pass as verified
    refused(setup);

    EXPECT_EQ(m_engine->EncodeFileOpen(setupFor(OutputCodec::Flac), ChannelInfo{44100, 9, 0, 16}, {-1, "/tmp/x"}), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Format);
}

// A fault of the encoder is caught by decoding the file back: a sample changed after the checksum
// (a wrong encoding) and a byte changed in the file (damage) both fail with their own code.
TEST_F(FileEncoding, VerificationCatchesCorruptedOutputs)
{
    for (const auto& format : losslessCases) {
        for (const EncoderFault fault : {EncoderFault::FlipSampleBit, EncoderFault::FlipPacketByte}) {
            SCOPED_TRACE(format.extension + (fault == EncoderFault::FlipSampleBit ? " sample" : " packet"));
            EncodeSetup setup = setupFor(format.codec);
            setup.fault = fault;
            const EncodeRun run = encode("cd.flac", setup, m_out / ("faulty" + format.extension));
            ASSERT_TRUE(run.opened);
            EXPECT_FALSE(run.closed);
            EXPECT_EQ(run.code, EngineCode::VerifyFailed);
        }
    }
    EXPECT_EQ(EngineErrorText(EngineCode::VerifyFailed), "The output does not decode to the audio that was encoded");
}

// Damage done to the file on disk once written (by the disk, by another program) is caught as
// well where the file is read back when finished. FLAC is read back while it is written, so
// a change behind what was read already is not seen.
TEST_F(FileEncoding, VerificationReadsTheFinishedFileBack)
{
    for (const auto& format : losslessCases) {
        if (format.codec == OutputCodec::Flac)
            continue;
        SCOPED_TRACE(format.extension);
        const auto out = m_out / ("damaged" + format.extension);
        const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const auto damageTheMiddle = [fd] {
            struct stat written {
            };
            ASSERT_EQ(::fstat(fd, &written), 0);
            const off_t middle = written.st_size / 2;
            char byte = 0;
            ASSERT_EQ(::pread(fd, &byte, 1, middle), 1);
            byte = static_cast<char>(byte ^ 0x10);
            ASSERT_EQ(::pwrite(fd, &byte, 1, middle), 1);
        };
        const EncodeRun run =
            encodeFile(*m_engine, source("cd.flac"), setupFor(format.codec), {fd, ""}, true, damageTheMiddle);
        ::close(fd);
        EXPECT_FALSE(run.closed);
        EXPECT_EQ(run.code, EngineCode::VerifyFailed);
    }
}

// Written through a descriptor, the encoder opens no name at all and leaves the descriptor open.
TEST_F(FileEncoding, WritesThroughAGivenDescriptor)
{
    const auto folder = m_out / "private";
    std::filesystem::create_directory(folder);
    const auto out = folder / ".partial";
    const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const EncodeRun run = encodeFile(*m_engine, source("hires.flac"), setupFor(OutputCodec::Flac), {fd, ""}, true);
    EXPECT_TRUE(run.closed) << "code " << run.code;
    EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC) << "the descriptor stays open";
    ::close(fd);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    EXPECT_TRUE(ffmpegPcm(out, "s24le") == ffmpegPcm(source("hires.flac"), "s24le"));

    // Verification reads the file back, which a write-only descriptor cannot.
    const int writeOnly = ::open((folder / "w").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    EXPECT_EQ(m_engine->EncodeFileOpen(setupFor(OutputCodec::Flac), run.info, {writeOnly, ""}), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::IllegalParam);
    ::close(writeOnly);
}

TEST_F(FileEncoding, OutputThatIsNoRegularFileIsRefused)
{
    const auto fifo = m_out / "fifo.flac";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const ChannelInfo pcm{44100, 2, 0, 16};
    EXPECT_EQ(m_engine->EncodeFileOpen(setupFor(OutputCodec::Flac), pcm, {-1, fifo.string()}), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Create);
    EXPECT_EQ(m_engine->EncodeFileOpen(setupFor(OutputCodec::Flac), pcm, {-1, (m_out / "none/x.flac").string()}), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Create);
}

} // namespace
