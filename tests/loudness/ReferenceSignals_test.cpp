#include "EngineFactory.h"
#include "FileLoudness.h"
#include "Gains.h"
#include "InitAudioEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace tunevale::test
{
namespace
{

// One part of an EBU test signal: a 1 kHz stereo sine at a peak level for a time.
struct Part {
    double seconds;
    double peakDbfs;
};

std::string number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

// The parts one after the other, made by sox as a 24-bit 48 kHz FLAC. The parts are WAV and the
// FLAC is compressed least: sox's FLAC encoding would otherwise take longer than the measurement.
std::filesystem::path makeSignal(const TempDir& dir, const std::string& name, const std::vector<Part>& parts)
{
    std::vector<std::string> concatenate{"sox"};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto part = (dir / (name + "-" + std::to_string(i) + ".wav")).string();
        const auto made =
            runProgram({"sox", "-n", "-r", "48000", "-c", "2", "-b", "24", part, "synth", number(parts[i].seconds),
                        "sine", "1000", "vol", number(parts[i].peakDbfs) + "dB"});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        concatenate.push_back(part);
    }
    const auto file = dir / (name + ".flac");
    concatenate.insert(concatenate.end(), {"-C", "0", file.string()});
    const auto joined = runProgram(concatenate);
    EXPECT_EQ(joined.exitCode, 0) << joined.output;
    return file;
}

class ReferenceSignals : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_engine->Init(0, 44100, 0));
        for (const char* plugin : enginePluginNames())
            m_engine->PluginLoad(plugin, 0);
    }
    void TearDown() override { m_engine->Free(); }

    TrackLoudness measure(const std::filesystem::path& file, PeakKind peakKind = PeakKind::True)
    {
        const std::atomic<bool> stop{false};
        const FileLoudness result = measureFile(*m_engine, file.string(), peakKind, stop);
        EXPECT_TRUE(result.measured()) << file << " error " << result.error;
        return result.loudness;
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = makeEngine();
};

TEST_F(ReferenceSignals, Tech3341IntegratedLoudness)
{
    const std::vector<std::pair<std::vector<Part>, double>> cases{
        {{{20, -23}}, -23.0},
        {{{20, -33}}, -33.0},
        {{{10, -36}, {60, -23}, {10, -36}}, -23.0},
        {{{10, -72}, {10, -36}, {60, -23}, {10, -36}, {10, -72}}, -23.0},
        {{{20, -26}, {20.1, -20}, {20, -26}}, -23.0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TrackLoudness loudness = measure(makeSignal(m_dir, "case" + std::to_string(i + 1), cases[i].first));
        ASSERT_TRUE(loudness.integrated()) << "case " << i + 1;
        EXPECT_NEAR(*loudness.integrated(), cases[i].second, 0.1) << "case " << i + 1;
    }
}

TEST_F(ReferenceSignals, Tech3342LoudnessRange)
{
    const std::vector<std::pair<std::vector<Part>, double>> cases{
        {{{20, -20}, {20, -30}}, 10},
        {{{20, -20}, {20, -15}}, 5},
        {{{20, -40}, {20, -20}}, 20},
        {{{20, -50}, {20, -35}, {20, -20}, {20, -35}, {20, -50}}, 15},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TrackLoudness loudness = measure(makeSignal(m_dir, "range" + std::to_string(i + 1), cases[i].first));
        EXPECT_NEAR(loudness.range(), cases[i].second, 1.0) << "case " << i + 1;
    }
}

struct OtherMeter {
    double integrated = 0;
    double truePeakDb = 0;
    double gain = 0; // loudgain only
};

double matched(const std::string& text, const std::string& pattern)
{
    std::smatch match;
    EXPECT_TRUE(std::regex_search(text, match, std::regex(pattern))) << pattern << "\n" << text;
    return match.empty() ? 0 : std::stod(match[1]);
}

// The `ffmpeg` program's ebur128 filter, counting mono as two speakers as Tunevale does.
OtherMeter ffmpegMeasures(const std::filesystem::path& file)
{
    const auto run = runProgram({"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-i", file.string(), "-af",
                                 "ebur128=peak=true:dualmono=true", "-f", "null", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string summary = run.output.substr(run.output.rfind("Summary:"));
    return {matched(summary, R"(I:\s+(-?[0-9.]+) LUFS)"), matched(summary, R"(Peak:\s+(-?[0-9.]+) dBFS)"), 0};
}

// loudgain's tab-separated list: the file's line, or with album the album's line.
OtherMeter loudgainMeasures(const std::vector<std::string>& files, bool album = false)
{
    std::vector<std::string> argv{"loudgain", "-q", "-O"};
    if (album)
        argv.push_back("-a");
    argv.insert(argv.end(), files.begin(), files.end());
    const auto run = runProgram(argv);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto rows = lines(run.output);
    const std::string row = album ? rows.back() : rows.at(1);
    return {matched(row, R"(\t(-?[0-9.]+) LUFS)"), matched(row, R"(\t(-?[0-9.]+) dBTP)"),
            matched(row, R"(LUFS\t[NY]\t[NY]\t(-?[0-9.]+) dB)")};
}

TEST_F(ReferenceSignals, AgreeWithFfmpegAndLoudgain)
{
    const std::vector<std::pair<std::string, std::string>> sources{
        // A chord over pink noise, as from a CD.
        {"chord.flac", "sine=f=220:r=44100:d=40[a];sine=f=331:r=44100:d=40[b];"
                       "anoisesrc=color=pink:a=0.05:r=44100:d=40[c];[a][b][c]amix=inputs=3,pan=stereo|c0=c0|c1=0.8*c0"},
        // Rising and falling levels, at 48 kHz.
        {"swell.flac", "aevalsrc=0.5*sin(2*PI*440*t)*(0.55+0.45*sin(2*PI*t/13))|0.3*sin(2*PI*660*t):s=48000:d=45"},
        // A quarter of the rate at 45 degrees: the true peak is 3 dB above every sample.
        {"intersample.flac", "aevalsrc=0.9*sin(PI/2*n+PI/4)|0.9*sin(PI/2*n+PI/4):s=44100:d=20"},
        // Mono speech-like bursts.
        {"mono.flac", "aevalsrc=0.4*sin(2*PI*300*t)*gt(sin(2*PI*0.7*t)\\,0):s=22050:d=30"},
    };
    for (const auto& [name, graph] : sources) {
        const auto file = m_dir / name;
        ffmpeg({"-f", "lavfi", "-i", graph, "-c:a", "flac", "-sample_fmt", "s16", file.string()});
        const TrackLoudness ours = measure(file);
        ASSERT_TRUE(ours.integrated()) << name;
        const OtherMeter byFfmpeg = ffmpegMeasures(file);
        EXPECT_NEAR(*ours.integrated(), byFfmpeg.integrated, 0.1) << name;
        if (name == "intersample.flac") {
            // ffmpeg's filter reads 0.6 dB above this sine's peak (-0.92 dB) at a quarter of the rate.
            EXPECT_NEAR(ours.peakDb(), 20 * std::log10(0.9), 0.2);
            EXPECT_NEAR(measure(file, PeakKind::Sample).peakDb(), 20 * std::log10(0.9 * std::sqrt(0.5)), 0.01);
        } else {
            EXPECT_NEAR(ours.peakDb(), byFfmpeg.truePeakDb, 0.2) << name;
        }
        if (name == "mono.flac")
            continue; // loudgain counts a mono file as one speaker
        const OtherMeter byLoudgain = loudgainMeasures({file.string()});
        EXPECT_NEAR(*ours.integrated(), byLoudgain.integrated, 0.1) << name;
        EXPECT_NEAR(ours.peakDb(), byLoudgain.truePeakDb, 0.2) << name;
        EXPECT_NEAR(replayGain(ours), byLoudgain.gain, 0.1) << name;
    }
}

TEST_F(ReferenceSignals, AlbumEqualsItsTracksJoinedIntoOne)
{
    const std::vector<std::string> graphs{
        "sine=f=440:r=44100:d=40,volume=-12dB",
        "anoisesrc=color=pink:a=0.02:r=44100:d=50",
        "aevalsrc=0.7*sin(2*PI*1200*t)*(0.5+0.5*sin(2*PI*t/9)):s=44100:d=35",
    };
    std::vector<TrackLoudness> tracks;
    std::vector<std::string> files;
    std::vector<std::string> concatenate{"sox"};
    for (std::size_t i = 0; i < graphs.size(); ++i) {
        files.push_back((m_dir / ("track" + std::to_string(i) + ".flac")).string());
        ffmpeg({"-f", "lavfi", "-i", graphs[i], "-ac", "2", "-c:a", "flac", "-sample_fmt", "s16", files.back()});
        tracks.push_back(measure(files.back()));
        concatenate.push_back(files.back());
    }
    const auto joined = m_dir / "joined.flac";
    concatenate.push_back(joined.string());
    ASSERT_EQ(runProgram(concatenate).exitCode, 0);

    const TrackLoudness album = combine(tracks);
    const TrackLoudness whole = measure(joined);
    EXPECT_NEAR(*album.integrated(), *whole.integrated(), 0.1);
    EXPECT_NEAR(album.range(), whole.range(), 0.5);
    EXPECT_NEAR(album.peakDb(), whole.peakDb(), 0.05);
    const OtherMeter byLoudgain = loudgainMeasures(files, true);
    EXPECT_NEAR(replayGain(album), byLoudgain.gain, 0.1);
}

TEST_F(ReferenceSignals, DamagedAndMissingFilesAreErrors)
{
    const std::atomic<bool> stop{false};
    EXPECT_EQ(measureFile(*m_engine, (m_dir / "none.flac").string(), PeakKind::True, stop).error, EngineCode::FileOpen);
    writeFile(m_dir / "noise.mp3", std::string(5000, 'x'));
    EXPECT_FALSE(measureFile(*m_engine, (m_dir / "noise.mp3").string(), PeakKind::True, stop).measured());

    const std::atomic<bool> stopped{true};
    const auto tone = makeTone(m_dir / "tone.flac", 2.0, 44100, 2, {"-c:a", "flac"});
    const FileLoudness cancelled = measureFile(*m_engine, tone.string(), PeakKind::True, stopped);
    EXPECT_TRUE(cancelled.stopped);
    EXPECT_FALSE(cancelled.measured());
}

} // namespace
} // namespace tunevale::test
