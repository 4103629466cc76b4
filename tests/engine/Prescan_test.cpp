#include "EngineTestSupport.h"
#include "HostileFiles.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

class Prescan : public ::testing::Test
{
protected:
    // The length a stream states, opened with or without the prescan flag; 0 when it does not open.
    std::uint64_t statedLength(const std::filesystem::path& file, bool prescan)
    {
        const std::uint32_t flags = StreamFlag::DecodeOnly | (prescan ? StreamFlag::Prescan : 0);
        const EngineHandle handle = m_engine->StreamCreateFile(file.string(), 0, 0, flags);
        if (handle == 0)
            return 0;
        const std::uint64_t length = m_engine->ChannelGetLength(handle, 0);
        EXPECT_TRUE(m_engine->StreamFree(handle));
        return length;
    }

    // What the file decodes to, pulled through the engine after a prescanned open until the end
    // or the failure that a cut file's last frame gives.
    std::uint64_t decodedBytes(const std::filesystem::path& file)
    {
        const EngineHandle handle =
            m_engine->StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly | StreamFlag::Prescan);
        EXPECT_NE(handle, 0u) << file;
        std::uint64_t bytes = 0;
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const std::int32_t got =
                m_engine->ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            if (got <= 0)
                break;
            bytes += static_cast<std::uint64_t>(got);
        }
        m_engine->StreamFree(handle);
        return bytes;
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

// The outputs Tunevale writes, whole and cut in half: the prescanned length is what decodes, from
// the header where the file's size backs it up and by decoding where not.
TEST_F(Prescan, TheLengthIsWhatTheFileHoldsWholeOrCut)
{
    // Noise, so that the audio and not the headers fills each file.
    const auto wav = m_dir / "noise.wav";
    ffmpeg({"-f", "lavfi", "-i", "anoisesrc=amplitude=0.5:duration=4", "-ac", "2", "-ar", "44100", wav.string()});
    const std::pair<std::string, std::vector<std::string>> formats[] = {
        {"mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"ogg", {"-c:a", "libvorbis"}},
        {"wma", {"-c:a", "wmav2"}},
        {"wav", {}},
        {"flac", {"-c:a", "flac"}},
    };
    for (const auto& [extension, encoding] : formats) {
        SCOPED_TRACE(extension);
        const auto whole = m_dir / ("whole." + extension);
        std::vector<std::string> arguments{"-i", wav.string()};
        arguments.insert(arguments.end(), encoding.begin(), encoding.end());
        arguments.push_back(whole.string());
        ffmpeg(arguments);
        EXPECT_EQ(statedLength(whole, true), decodedBytes(whole));
        EXPECT_NEAR(statedLength(whole, true) / 176400.0, 4.0, 0.05);

        const auto cut = m_dir / ("cut." + extension);
        const std::string bytes = readFile(whole);
        writeFile(cut, bytes.substr(0, bytes.size() / 2));
        const std::uint64_t prescanned = statedLength(cut, true);
        EXPECT_EQ(prescanned, decodedBytes(cut));
        // Less than the whole by about half; an Ogg file loses its last, incomplete page of about a second.
        EXPECT_GT(prescanned / 176400.0, 0.9);
        EXPECT_LT(prescanned / 176400.0, 2.5);
    }
    // Without the flag, a cut MP3 states what its Xing header says.
    EXPECT_NEAR(statedLength(m_dir / "cut.mp3", false) / 176400.0, 4.0, 0.05);
}

TEST_F(Prescan, BytesThatAreNoAudioDoNotOpen)
{
    writeFile(m_dir / "noise.mp3", randomBytes(100'000));
    EXPECT_EQ(statedLength(m_dir / "noise.mp3", true), 0u);
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Format);
}

} // namespace
