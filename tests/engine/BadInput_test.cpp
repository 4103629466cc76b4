#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class BadInput : public ::testing::Test
{
protected:
    // Neither the stream call nor the module call opens the file; both leave a code with a text.
    void expectRefused(const std::filesystem::path& path, int streamCode)
    {
        SCOPED_TRACE(path.filename().string());
        EXPECT_EQ(m_engine->StreamCreateFile(path.string(), 0, 0, StreamFlag::DecodeOnly), 0u);
        EXPECT_EQ(m_engine->ErrorGetCode(), streamCode);
        EXPECT_NE(EngineErrorText(m_engine->ErrorGetCode()), "");
        EXPECT_EQ(m_engine->StreamCreateFile(path.string(), 0, 0, StreamFlag::Loop | StreamFlag::Fx), 0u);
        EXPECT_EQ(m_engine->MusicLoad(path.string(), 0, 0, 516, 0), 0u);
        EXPECT_NE(m_engine->ErrorGetCode(), EngineCode::Ok);
        EXPECT_NE(EngineErrorText(m_engine->ErrorGetCode()), "");
    }

    // Decodes a damaged file to its end; returns the byte count.
    std::size_t decodesAndEnds(const std::filesystem::path& path)
    {
        const EngineHandle handle = m_engine->StreamCreateFile(path.string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(handle, 0u) << m_engine->ErrorGetCode();
        if (!handle)
            return 0;
        const std::size_t size = decodeAll(*m_engine, handle).size();
        EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped);
        EXPECT_TRUE(m_engine->StreamFree(handle));
        return size;
    }

    std::string randomBytes(std::size_t size)
    {
        std::mt19937 random(42);
        std::string bytes(size, '\0');
        for (auto& byte : bytes)
            byte = static_cast<char>(random());
        return bytes;
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

TEST_F(BadInput, MissingFolderAndEmptyFiles)
{
    expectRefused(m_dir / "missing.mp3", EngineCode::FileOpen);
    std::filesystem::create_directory(m_dir / "folder.mp3");
    expectRefused(m_dir / "folder.mp3", EngineCode::FileOpen);
    writeFile(m_dir / "empty.wav", "");
    expectRefused(m_dir / "empty.wav", EngineCode::Format);
}

TEST_F(BadInput, UnreadableFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    makeTone(m_dir / "locked.wav", 1);
    std::filesystem::permissions(m_dir / "locked.wav", std::filesystem::perms::none);
    expectRefused(m_dir / "locked.wav", EngineCode::FileOpen);
}

TEST_F(BadInput, AFifoDoesNotHang)
{
    ASSERT_EQ(::mkfifo((m_dir / "pipe.mp3").c_str(), 0600), 0);
    expectRefused(m_dir / "pipe.mp3", EngineCode::FileOpen);
}

TEST_F(BadInput, RandomBytesWithAudioExtensions)
{
    for (const char* name : {"noise.mp3", "noise.wav", "noise.flac", "noise.ogg", "noise.wma", "noise.aac", "noise.mpg",
                             "noise.mid", "noise.mp4", "noise.ac3"}) {
        writeFile(m_dir / name, randomBytes(200000));
        expectRefused(m_dir / name, EngineCode::Format);
    }
}

TEST_F(BadInput, HugeTextFileNamedMp3FailsWithoutReadingItAll)
{
    {
        std::ofstream text(m_dir / "essay.mp3", std::ios::binary);
        const std::string line = "All work and no play makes a dull audio file, as everybody knows.\n";
        for (int i = 0; i < 3'000'000; ++i) // about 200 MB
            text << line;
    }
    expectRefused(m_dir / "essay.mp3", EngineCode::Format);
}

TEST_F(BadInput, TruncatedFilesDeliverWhatIsThere)
{
    makeTone(m_dir / "whole.flac", 4, 44100, 2, {"-c:a", "flac"});
    makeTone(m_dir / "whole.mp3", 4, 44100, 2, {"-c:a", "libmp3lame"});
    for (const char* name : {"whole.flac", "whole.mp3"}) {
        const std::string bytes = readFile(m_dir / name);
        const auto cut = m_dir / (std::string("cut-") + name);
        writeFile(cut, bytes.substr(0, bytes.size() / 2));
        const EngineHandle handle = m_engine->StreamCreateFile(cut.string(), 0, 0, StreamFlag::DecodeOnly);
        ASSERT_NE(handle, 0u) << name;
        std::string buffer(4096, '\0');
        std::size_t decoded = 0;
        std::int32_t got = 0;
        while (m_engine->ChannelIsActive(handle) != ChannelState::Stopped &&
               (got = m_engine->ChannelGetData(handle, buffer.data(), 4096)) > 0)
            decoded += static_cast<std::size_t>(got);
        // Each states four seconds (the MP3 in its Xing header) and holds two: damaged.
        EXPECT_EQ(got, -1) << name;
        EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Truncated) << name;
        EXPECT_EQ(m_engine->ChannelGetPosition(handle, 0), decoded) << name;
        EXPECT_GT(decoded, 1u * 44100 * 4) << name;
        EXPECT_LT(decoded, 3u * 44100 * 4) << name;
        EXPECT_EQ(m_engine->ChannelIsActive(handle), ChannelState::Stopped) << name;
        EXPECT_TRUE(m_engine->StreamFree(handle));
    }
}

TEST_F(BadInput, DamageInsideAFileIsSkippedWhereLittleIsLost)
{
    makeTone(m_dir / "whole.mp3", 4, 44100, 2, {"-c:a", "libmp3lame"});
    makeTone(m_dir / "whole.flac", 4, 44100, 2, {"-c:a", "flac"});
    // A lossy file may lose a frame or two and play on.
    std::string mp3 = readFile(m_dir / "whole.mp3");
    mp3.replace(mp3.size() / 3, 300, randomBytes(300));
    writeFile(m_dir / "few.mp3", mp3);
    EXPECT_GT(decodesAndEnds(m_dir / "few.mp3"), 39u * 4410 * 4);
    // Whole seconds lost are damage, and so is any damage inside a lossless file; the decoder still
    // goes on over it, and says so at the end.
    for (const char* name : {"whole.mp3", "whole.flac"}) {
        std::string bytes = readFile(m_dir / name);
        bytes.replace(bytes.size() / 3, 20000, randomBytes(20000));
        writeFile(m_dir / name, bytes);
        const EngineHandle handle = m_engine->StreamCreateFile((m_dir / name).string(), 0, 0, StreamFlag::DecodeOnly);
        ASSERT_NE(handle, 0u) << name;
        std::string buffer(4096, '\0');
        std::size_t decoded = 0;
        std::int32_t got = 0;
        while ((got = m_engine->ChannelGetData(handle, buffer.data(), 4096)) > 0)
            decoded += static_cast<std::size_t>(got);
        EXPECT_GT(decoded, 2u * 44100 * 4) << name;
        EXPECT_EQ(m_engine->ErrorGetCode(),
                  name == std::string("whole.flac") ? EngineCode::Corrupt : EngineCode::Truncated)
            << name;
        EXPECT_TRUE(m_engine->StreamFree(handle));
    }
}

TEST_F(BadInput, AVideoWithoutSoundFails)
{
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=1", "-c:v", "mpeg4",
            (m_dir / "silent.avi").string()});
    expectRefused(m_dir / "silent.avi", EngineCode::Format);
}

TEST_F(BadInput, OddFileNames)
{
    for (const char* name :
         {"a:b.wav", "space and ünïcode ♪.wav", "file:name.wav", "-dash.wav", "semi;colon|pipe.wav"}) {
        makeTone(m_dir / "plain.wav", 1);
        std::filesystem::rename(m_dir / "plain.wav", m_dir / name);
        EXPECT_EQ(decodesAndEnds(m_dir / name), 44100u * 4) << name;
    }
}

} // namespace
