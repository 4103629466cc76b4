#include "EngineTestSupport.h"
#include "HostileFiles.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

struct Pulled {
    std::uint64_t bytes = 0;          // what the pulls delivered before the first failure or the end
    int failureCode = EngineCode::Ok; // the code of the failed pull, Ok when the stream just ended
    std::uint64_t position = 0;       // ChannelGetPosition afterwards
    std::uint64_t stated = 0;         // ChannelGetLength
    double bytesPerSecond = 0;
};

class EarlyEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        // Thirty seconds of a chord that FLAC cannot shrink much, so 40 KB hold only a few seconds.
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=30", "-f", "lavfi", "-i",
                "anoisesrc=duration=30:amplitude=0.3:seed=5", "-filter_complex", "amix=inputs=2", "-ar", "44100", "-ac",
                "2", "-c:a", "flac", (*s_dir / "whole.flac").string()});
        makeTone(*s_dir / "whole.wav", 30, 44100, 2);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    // Pulls a decode-only stream the way the converters do, until it stops or a pull fails.
    Pulled pull(const std::filesystem::path& file)
    {
        Pulled result;
        const EngineHandle handle = m_engine->StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(handle, 0u) << file.filename() << " code " << m_engine->ErrorGetCode();
        if (!handle)
            return result;
        result.stated = m_engine->ChannelGetLength(handle, 0);
        result.bytesPerSecond = 1.0 / m_engine->ChannelBytes2Seconds(handle, 1);
        std::string buffer(64 * 1024, '\0');
        for (int pulls = 0; m_engine->ChannelIsActive(handle) != ChannelState::Stopped && pulls < 100000; ++pulls) {
            const std::int32_t got = m_engine->ChannelGetData(handle, buffer.data(), 64 * 1024);
            if (got < 0) {
                result.failureCode = m_engine->ErrorGetCode();
                // The failure holds: later pulls fail the same way and the channel is over.
                EXPECT_EQ(m_engine->ChannelGetData(handle, buffer.data(), 64 * 1024), -1);
                EXPECT_EQ(m_engine->ErrorGetCode(), result.failureCode);
                EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
                break;
            }
            EXPECT_GT(got, 0) << "an active channel delivered nothing";
            result.bytes += static_cast<std::uint64_t>(got);
        }
        result.position = m_engine->ChannelGetPosition(handle, 0);
        EXPECT_TRUE(m_engine->StreamFree(handle));
        return result;
    }

    static std::filesystem::path cut(const std::string& source, const std::string& name, std::size_t keep,
                                     std::size_t garbage)
    {
        writeFile(*s_dir / name, readFile(*s_dir / source).substr(0, keep) + randomBytes(garbage));
        return *s_dir / name;
    }

    static TempDir* s_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

TempDir* EarlyEnd::s_dir = nullptr;

TEST_F(EarlyEnd, AFlacWhoseAudioBreaksOffIntoGarbageFailsAfterWhatItDelivered)
{
    const std::size_t whole = std::filesystem::file_size(*s_dir / "whole.flac");
    const Pulled pulled = pull(cut("whole.flac", "garbage.flac", 40000, whole - 40000));
    EXPECT_EQ(pulled.failureCode, EngineCode::Truncated);
    EXPECT_EQ(pulled.stated, 30u * 44100 * 4);
    EXPECT_EQ(pulled.position, pulled.bytes);
    EXPECT_GT(pulled.bytes, 0u);
    EXPECT_LT(pulled.bytes / pulled.bytesPerSecond, 10.0);
    EXPECT_EQ(EngineErrorText(EngineCode::Truncated), "The audio ends early: the file is damaged");
}

TEST_F(EarlyEnd, FilesCutShortOfTheLengthTheirHeaderStatesFail)
{
    const std::size_t wavBytes = std::filesystem::file_size(*s_dir / "whole.wav");
    for (const auto& file : {cut("whole.flac", "cut.flac", 40000, 0), cut("whole.wav", "cut.wav", wavBytes / 12, 0)}) {
        SCOPED_TRACE(file.filename().string());
        const Pulled pulled = pull(file);
        EXPECT_EQ(pulled.failureCode, EngineCode::Truncated);
        EXPECT_EQ(pulled.stated, 30u * 44100 * 4);
        EXPECT_EQ(pulled.position, pulled.bytes);
        EXPECT_LT(pulled.bytes / pulled.bytesPerSecond, 10.0);
    }
    // A WAV cut 2.5 s into its 30 s delivers exactly the samples it holds.
    const std::size_t data = readFile(*s_dir / "whole.wav").find("data") + 8;
    EXPECT_EQ(pull(*s_dir / "cut.wav").bytes, (wavBytes / 12 - data) / 4 * 4);
}

TEST_F(EarlyEnd, WholeFilesEndCleanly)
{
    for (const char* name : {"whole.flac", "whole.wav"}) {
        const Pulled pulled = pull(*s_dir / name);
        EXPECT_EQ(pulled.failureCode, EngineCode::Ok) << name;
        EXPECT_EQ(pulled.bytes, 30u * 44100 * 4) << name;
    }
}

TEST_F(EarlyEnd, LosslessFilesOfEveryFormatDeliverEverySampleCleanly)
{
    // An odd length, so that each ends in a partial frame.
    const std::pair<const char*, std::vector<std::string>> formats[] = {
        {"flac", {"-c:a", "flac"}}, {"wv", {"-c:a", "wavpack"}},
        {"tta", {"-c:a", "tta"}},   {"aiff", {}},
        {"m4a", {"-c:a", "alac"}},  {"wav", {}}};
    for (const auto& [extension, encoding] : formats) {
        SCOPED_TRACE(extension);
        const auto file = makeTone(*s_dir / (std::string("odd.") + extension), 3.3331, 44100, 2, encoding);
        const Pulled pulled = pull(file);
        EXPECT_EQ(pulled.failureCode, EngineCode::Ok);
        EXPECT_EQ(pulled.bytes, pulled.stated);
        EXPECT_NEAR(pulled.bytes / pulled.bytesPerSecond, 3.3331, 0.001);
    }
    // A WAV whose data ends in half a sample: every whole one is there.
    std::string wav = readFile(*s_dir / "odd.wav");
    const std::size_t data = wav.find("data");
    const auto grow = [&wav](std::size_t at) {
        const auto size = static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at]) |
                                                     static_cast<unsigned char>(wav[at + 1]) << 8 |
                                                     static_cast<unsigned char>(wav[at + 2]) << 16 |
                                                     static_cast<unsigned char>(wav[at + 3]) << 24) +
                          1;
        for (int i = 0; i < 4; ++i)
            wav[at + i] = static_cast<char>(size >> (8 * i));
    };
    grow(4);
    grow(data + 4);
    writeFile(*s_dir / "half-sample.wav", wav + '\x7f');
    const Pulled pulled = pull(*s_dir / "half-sample.wav");
    EXPECT_EQ(pulled.failureCode, EngineCode::Ok);
    EXPECT_NEAR(pulled.bytes / pulled.bytesPerSecond, 3.3331, 0.001);
}

TEST_F(EarlyEnd, DamageInsideALosslessFileIsCorruptEvenWhereTheAudioGoesOn)
{
    const std::string whole = readFile(*s_dir / "whole.flac");
    std::string zeroed = whole;
    zeroed.replace(zeroed.size() / 2, 20000, std::string(20000, '\0'));
    writeFile(*s_dir / "zeroed.flac", zeroed);
    std::string scrambled = whole;
    scrambled.replace(scrambled.size() / 2, 5000, randomBytes(5000));
    writeFile(*s_dir / "scrambled.flac", scrambled);
    // One flipped bit: the frame decodes, but its checksum fails.
    std::string flipped = whole;
    flipped[flipped.size() / 3] = static_cast<char>(flipped[flipped.size() / 3] ^ 0x10);
    writeFile(*s_dir / "flipped.flac", flipped);
    for (const char* name : {"zeroed.flac", "scrambled.flac", "flipped.flac"}) {
        const Pulled pulled = pull(*s_dir / name);
        EXPECT_EQ(pulled.failureCode, EngineCode::Corrupt) << name;
        EXPECT_EQ(pulled.stated, 30u * 44100 * 4) << name;
    }
    EXPECT_NE(EngineErrorText(EngineCode::Corrupt), "");
}

TEST_F(EarlyEnd, ALosslessFileCutEvenLessThanASecondShortEndsEarly)
{
    const auto second = makeTone(*s_dir / "second.flac", 1.0, 44100, 2, {"-c:a", "flac"});
    const std::string flac = readFile(second);
    writeFile(*s_dir / "cut-second.flac", flac.substr(0, flac.size() * 52 / 100));
    const Pulled pulled = pull(*s_dir / "cut-second.flac");
    EXPECT_EQ(pulled.failureCode, EngineCode::Truncated);
    EXPECT_LT(pulled.bytes / pulled.bytesPerSecond, 0.8);
}

TEST_F(EarlyEnd, ALossyFileMayLoseUpToOnePercentOrHalfASecondWhicheverIsLess)
{
    // Thirty seconds of MP3 whose Xing header states its exact length: 1 % is 0.3 s.
    const auto mp3 = makeTone(*s_dir / "stated.mp3", 30, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    const std::string bytes = readFile(mp3);
    const auto shortBy = [&](double seconds) {
        const auto file = *s_dir / ("short-" + std::to_string(seconds) + ".mp3");
        writeFile(file, bytes.substr(0, static_cast<std::size_t>(bytes.size() * (30 - seconds) / 30)));
        return pull(file);
    };
    EXPECT_EQ(shortBy(0.15).failureCode, EngineCode::Ok);
    EXPECT_EQ(shortBy(0.6).failureCode, EngineCode::Truncated);
    EXPECT_EQ(pull(cut("stated.mp3", "stated-third.mp3", bytes.size() / 3, 0)).failureCode, EngineCode::Truncated);

    // A few damaged frames in the middle are skipped, and the job goes on.
    std::string damaged = bytes;
    damaged.replace(damaged.size() / 2, 1000, randomBytes(1000));
    writeFile(*s_dir / "skipped.mp3", damaged);
    const Pulled pulled = pull(*s_dir / "skipped.mp3");
    EXPECT_EQ(pulled.failureCode, EngineCode::Ok);
    EXPECT_NEAR(pulled.bytes / pulled.bytesPerSecond, 30.0, 0.3);
}

TEST_F(EarlyEnd, AnMp3WhoseLengthWasOnlyEstimatedEndsCleanlyWhenCut)
{
    // Without a Xing header the length comes from the bit rate; a cut file ends where it ends.
    makeTone(*s_dir / "plain.mp3", 30, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"});
    const std::size_t size = std::filesystem::file_size(*s_dir / "plain.mp3");
    const Pulled pulled = pull(cut("plain.mp3", "plain-cut.mp3", size / 3, 0));
    EXPECT_EQ(pulled.failureCode, EngineCode::Ok);
    EXPECT_NEAR(pulled.bytes / pulled.bytesPerSecond, 10.0, 0.5);
}

} // namespace
