#include "EngineTestSupport.h"
#include "HostileFiles.h"
#include "MidiDuration.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr int Patience = 20; // seconds

class SourceLimits : public ::testing::Test
{
protected:
    // Opens the file as the adding road does (a stream, else a module), on a bounded wait; the
    // handle, and the code of the call that fits the file (the module call for modules).
    std::pair<EngineHandle, int> openAnyway(const std::filesystem::path& file, bool module = false)
    {
        Engine* engine = m_engine.get();
        const std::string path = file.string();
        const auto opened = within<std::pair<EngineHandle, int>>(Patience, [engine, path, module] {
            EngineHandle handle = engine->StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly);
            const int streamCode = engine->ErrorGetCode();
            if (!handle)
                handle = engine->MusicLoad(path, 0, 0, StreamFlag::DecodeOnly, 0);
            return std::pair{handle, module ? engine->ErrorGetCode() : streamCode};
        });
        EXPECT_TRUE(opened.has_value()) << path << " still opening after " << Patience << " s";
        return opened.value_or(std::pair{EngineHandle{0}, EngineCode::Unknown});
    }

    void expectRefused(const std::filesystem::path& file, int code, bool module = false)
    {
        const auto [handle, error] = openAnyway(file, module);
        EXPECT_EQ(handle, 0u) << file.filename() << " opened, " << m_engine->ChannelGetLength(handle, 0) << " bytes";
        EXPECT_EQ(error, code) << file.filename();
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
};

TEST_F(SourceLimits, MidiLengthsAreExactUpToADayAndBeyondAreRefused)
{
    writeFile(m_dir / "centuries.mid", centuriesLongMidi());
    EXPECT_EQ(std::filesystem::file_size(m_dir / "centuries.mid"), 40u);
    writeFile(m_dir / "endless.mid", endlessMidi());
    writeFile(m_dir / "day-and-a-second.mid", midiOfSeconds(24 * 3600 + 1));
    for (const char* name : {"centuries.mid", "endless.mid", "day-and-a-second.mid"})
        expectRefused(m_dir / name, EngineCode::Format);

    // 23 hours: more PCM than 32 bits can count, exact to the byte.
    writeFile(m_dir / "long.mid", midiOfSeconds(23 * 3600));
    const auto [handle, error] = openAnyway(m_dir / "long.mid");
    ASSERT_NE(handle, 0u) << error;
    EXPECT_EQ(m_engine->ChannelGetLength(handle, 0), 23ull * 3600 * 44100 * 4);
    std::string start(4096, '\0');
    EXPECT_EQ(m_engine->ChannelGetData(handle, start.data(), 4096), 4096);
    EXPECT_TRUE(m_engine->StreamFree(handle));
}

TEST_F(SourceLimits, MidiDurationDoesNotWrapOnHugeTickCounts)
{
    const std::optional<double> endless = midiDurationSeconds(endlessMidi());
    ASSERT_TRUE(endless.has_value());
    // 60,000 times 2^28 - 1 ticks of 16.777215 s each.
    EXPECT_NEAR(*endless, 60000.0 * 0x0FFFFFFF * 16.777215, 1e9);
    const std::optional<double> centuries = midiDurationSeconds(centuriesLongMidi());
    ASSERT_TRUE(centuries.has_value());
    EXPECT_NEAR(*centuries / 60, 75059989.0, 60.0);
}

TEST_F(SourceLimits, ModulesLongerThanADayAreRefused)
{
    writeFile(m_dir / "marathon.mod", marathonModule());
    expectRefused(m_dir / "marathon.mod", EngineCode::Format, true);
    writeFile(m_dir / "square.mod", squareWaveModule());
    const auto [handle, error] = openAnyway(m_dir / "square.mod", true);
    EXPECT_NE(handle, 0u) << "an ordinary module still opens, code " << error;
}

TEST_F(SourceLimits, SampleRatesNoRecordingHasAreRefused)
{
    // 88 KB of samples that a 1 Hz header would stretch over twelve hours.
    for (std::uint32_t rate : {1u, 8u, 999u}) {
        const auto file = m_dir / ("rate" + std::to_string(rate) + ".wav");
        const std::string pcm = toneSamples(1.0, 44100);
        writeFile(file, wavHeader(rate, 1, static_cast<std::uint32_t>(pcm.size())) + pcm);
        expectRefused(file, EngineCode::Freq);
    }
    const std::string pcm = toneSamples(2.0, 1000);
    writeFile(m_dir / "rate1000.wav", wavHeader(1000, 1, static_cast<std::uint32_t>(pcm.size())) + pcm);
    const auto [handle, error] = openAnyway(m_dir / "rate1000.wav");
    ASSERT_NE(handle, 0u) << error;
    EXPECT_EQ(decodeAll(*m_engine, handle), pcm);
}

TEST_F(SourceLimits, AThirtyHourRecordingOpensWithItsLength)
{
    // Thirty hours of 8 kbit/s mono MP3 (108 MB): one 30 s piece, its frames repeated 3600 times.
    const auto piece = m_dir / "piece.mp3";
    ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=8000:duration=30", "-c:a", "libmp3lame", "-b:a", "8k",
            "-write_xing", "0", "-id3v2_version", "0", piece.string()});
    const std::string frames = readFile(piece);
    {
        std::ofstream book(m_dir / "audiobook.mp3", std::ios::binary);
        for (int i = 0; i < 3600; ++i)
            book.write(frames.data(), static_cast<std::streamsize>(frames.size()));
    }
    const double hours = frames.size() * 3600 * 8.0 / 8000 / 3600; // what its bit rate says
    ASSERT_GT(hours, 29.9);

    const auto [handle, error] = openAnyway(m_dir / "audiobook.mp3");
    ASSERT_NE(handle, 0u) << error;
    const double seconds = m_engine->ChannelBytes2Seconds(handle, m_engine->ChannelGetLength(handle, 0));
    EXPECT_NEAR(seconds, hours * 3600, 60.0);
    std::string start(64 * 1024, '\0');
    EXPECT_GT(m_engine->ChannelGetData(handle, start.data(), 64 * 1024), 0);
    EXPECT_TRUE(m_engine->StreamFree(handle));
}

} // namespace
