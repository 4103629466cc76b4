#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <latch>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr std::uint32_t Chunk = 64 * 1024;
constexpr std::uint32_t OpenFlags = StreamFlag::DecodeOnly | StreamFlag::Unicode;
constexpr EngineHandle NoSuchHandle = 0xFFFFFF;

enum class Output { Pcm, Lame, Oggenc, Wma };

const char* extension(Output output)
{
    switch (output) {
    case Output::Lame:
        return ".mp3";
    case Output::Oggenc:
        return ".ogg";
    case Output::Wma:
        return ".wma";
    case Output::Pcm:
        break;
    }
    return ".raw";
}

// What a job saw, checked on the test's thread once every job has ended.
struct JobResult {
    EngineHandle stream = 0;
    int openCode = 0;
    ChannelInfo info;
    float attributeFreq = 0;
    std::uint64_t length = 0;
    std::uint64_t pulled = 0;
    bool positionsAgreed = true; // the position always equalled the bytes pulled so far
    int pullCode = 0;
    std::string pcm;
    bool encoded = false;
    int encodeCode = 0;
    std::string encoderMessage;
    bool ownErrorCodes = true; // every failure on the job's thread left that thread's own code
};

// The code of a deliberate failure on the calling thread: the handle does not exist.
bool failsWithItsOwnCode(Engine& engine)
{
    return engine.ChannelGetLength(NoSuchHandle, 0) == EngineFailure64 && engine.ErrorGetCode() == EngineCode::Handle;
}

// One conversion the way the writers run it: the options set, the file opened as a stream (a
// tracker module as music), the stream's facts read, every chunk pulled into the output, the
// encoder stopped and the stream freed.
JobResult runJob(Engine& engine, const std::filesystem::path& source, Output output,
                 const std::filesystem::path& target)
{
    JobResult r;
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    if (output == Output::Wma)
        engine.SetConfig(EngineConfig::WmaUseEngineFiles, 1);
    EngineHandle stream = engine.StreamCreateFile(source.string(), 0, 0, OpenFlags);
    if (!stream)
        stream = engine.MusicLoad(source.string(), 0, 0, OpenFlags | StreamFlag::MusicRamp, 0);
    if (!stream) {
        r.openCode = engine.ErrorGetCode();
        return r;
    }
    r.stream = stream;
    engine.ChannelGetInfo(stream, r.info);
    engine.ChannelGetAttribute(stream, ChannelAttribFreq, r.attributeFreq);
    r.length = engine.ChannelGetLength(stream, 0);
    r.ownErrorCodes = failsWithItsOwnCode(engine);

    EngineHandle wma = 0;
    if (output == Output::Lame || output == Output::Oggenc) {
        const EncoderCommand command =
            output == Output::Lame ? EncoderCommand{"lame",
                                                    {"--cbr", "-b", "128", "-m", "j", "--resample", "44.1", "-q", "5",
                                                     "-", target.string()}}
                                   : EncoderCommand{"oggenc", {"--managed", "-b", "128", "-", "-o", target.string()}};
        if (!engine.EncodeStart(stream, command, 0)) {
            r.encodeCode = engine.ErrorGetCode();
            r.encoderMessage = engine.EncodeGetMessage();
            engine.StreamFree(stream);
            return r;
        }
    } else if (output == Output::Wma) {
        const auto rates = engine.WMAEncodeGetRates(r.info.freq, r.info.chans, WmaEncodeFlags);
        const bool has128 = std::find(rates.begin(), rates.end(), 128000u) != rates.end();
        const std::uint32_t bitrate = has128 ? 128000 : (rates.empty() ? 0 : rates.front());
        wma = engine.WMAEncodeOpenFile(r.info.freq, r.info.chans, WmaEncodeFlags, bitrate, target.string());
        if (!wma) {
            r.encodeCode = engine.ErrorGetCode();
            engine.StreamFree(stream);
            return r;
        }
        engine.WMAEncodeSetTag(wma, "Title", target.stem().string(), 0);
        engine.WMAEncodeSetTag(wma, "", "", 0);
    }

    std::string buffer(Chunk, '\0');
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t got = engine.ChannelGetData(stream, buffer.data(), Chunk);
        if (got <= 0) {
            r.pullCode = engine.ErrorGetCode();
            break;
        }
        r.pulled += static_cast<std::uint64_t>(got);
        r.positionsAgreed = r.positionsAgreed && engine.ChannelGetPosition(stream, 0) == r.pulled;
        if (output == Output::Pcm)
            r.pcm.append(buffer.data(), static_cast<std::size_t>(got));
        if (wma && !engine.WMAEncodeWrite(wma, buffer.data(), static_cast<std::uint32_t>(got))) {
            r.encodeCode = engine.ErrorGetCode();
            break;
        }
    }
    if (output == Output::Lame || output == Output::Oggenc) {
        r.encoded = engine.EncodeStop(stream);
        r.encodeCode = r.encoded ? 0 : engine.ErrorGetCode();
        r.encoderMessage = engine.EncodeGetMessage();
    } else if (output == Output::Wma) {
        r.encoded = engine.WMAEncodeClose(wma) && r.encodeCode == 0;
        if (!r.encoded && r.encodeCode == 0)
            r.encodeCode = engine.ErrorGetCode();
    }
    r.ownErrorCodes = r.ownErrorCodes && failsWithItsOwnCode(engine);
    engine.StreamFree(stream);
    return r;
}

// The largest difference between two signed 16-bit PCM buffers of the same size.
int largestSampleDifference(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return std::numeric_limits<int>::max();
    int largest = 0;
    for (std::size_t i = 0; i + 1 < a.size(); i += 2) {
        const auto sample = [](const std::string& pcm, std::size_t at) {
            return static_cast<int>(static_cast<std::int16_t>(static_cast<unsigned char>(pcm[at]) |
                                                              static_cast<unsigned char>(pcm[at + 1]) << 8));
        };
        largest = std::max(largest, std::abs(sample(a, i) - sample(b, i)));
    }
    return largest;
}

// The codec, the duration and the tags of a written file, read by ffprobe.
std::map<std::string, std::string> probe(const std::filesystem::path& file)
{
    const auto result = runProgramOnFile({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                          "stream=codec_name:format=duration:format_tags", "-of",
                                          "default=noprint_wrappers=1", file.string()},
                                         file);
    std::map<std::string, std::string> entries;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            entries[line.substr(0, equals)] = line.substr(equals + 1);
    return entries;
}

struct Source {
    std::string name;
    std::filesystem::path file;
};

// One to eight seconds of every kind that a conversion reads: the formats of the engine's base and
// of its plug-ins, MIDI through the synthesizer and a tracker module.
std::vector<Source> makeSources(const TempDir& dir)
{
    std::vector<Source> sources{
        {"wav", makeTone(dir / "tone.wav", 1, 44100, 2)},
        {"flac", makeTone(dir / "tone.flac", 1, 48000, 2, {"-c:a", "flac"})},
        {"mp3", makeTone(dir / "tone.mp3", 1, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"})},
        {"ogg", makeTone(dir / "tone.ogg", 1, 44100, 2, {"-c:a", "libvorbis", "-q:a", "3"})},
        {"wma", makeTone(dir / "tone.wma", 1, 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"})},
        {"midi", dir / "song.mid"},
        {"module", dir / "square.mod"},
    };
    writeFile(dir / "song.mid", twoSecondMidi());
    writeFile(dir / "square.mod", squareWaveModule());
    return sources;
}

class ConcurrentJobsTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(childProcesses().empty()) << "an encoder process was left behind"; }
    TempDir dir;
    std::unique_ptr<Engine> engine = decodingEngine();
};

} // namespace

TEST_F(ConcurrentJobsTest, EveryFormatToEveryOutputAtOnce)
{
    const auto sources = makeSources(dir);
    // What each source decodes to when it runs alone.
    std::map<std::string, JobResult> alone;
    for (const auto& source : sources) {
        alone[source.name] = runJob(*engine, source.file, Output::Pcm, {});
        ASSERT_NE(alone[source.name].stream, 0u) << source.name << ": code " << alone[source.name].openCode;
        ASSERT_FALSE(alone[source.name].pcm.empty()) << source.name;
    }

    struct Job {
        const Source* source;
        Output output;
        std::filesystem::path target;
        JobResult result;
    };
    std::vector<Job> jobs;
    for (const Output output : {Output::Pcm, Output::Lame, Output::Oggenc, Output::Wma})
        for (const auto& source : sources)
            jobs.push_back({&source, output, dir / (source.name + "-out" + extension(output)), {}});
    std::latch start(static_cast<std::ptrdiff_t>(jobs.size()));
    std::vector<std::thread> threads;
    for (auto& job : jobs)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            job.result = runJob(*engine, job.source->file, job.output, job.target);
        });
    for (auto& thread : threads)
        thread.join();

    std::set<EngineHandle> handles;
    for (const auto& job : jobs) {
        const JobResult& r = job.result;
        const JobResult& reference = alone[job.source->name];
        const std::string name = job.target.filename().string();
        ASSERT_NE(r.stream, 0u) << name << ": code " << r.openCode;
        EXPECT_TRUE(handles.insert(r.stream).second) << name << ": a handle given twice";
        EXPECT_EQ(r.info.freq, reference.info.freq) << name;
        EXPECT_EQ(r.info.chans, reference.info.chans) << name;
        EXPECT_EQ(r.attributeFreq, static_cast<float>(reference.info.freq)) << name;
        EXPECT_EQ(r.length, reference.length) << name;
        EXPECT_EQ(r.pulled, reference.pcm.size()) << name << ": pull code " << r.pullCode;
        EXPECT_TRUE(r.positionsAgreed) << name;
        EXPECT_TRUE(r.ownErrorCodes) << name;
        const double seconds = static_cast<double>(reference.pcm.size()) / (reference.info.freq * 4.0);
        if (job.output == Output::Pcm) {
            // libopenmpt dithers with noise of its own for each module; everything else is exact.
            EXPECT_LE(largestSampleDifference(r.pcm, reference.pcm), job.source->name == "module" ? 2 : 0)
                << name << ": decoded differently beside other jobs";
            continue;
        }
        EXPECT_TRUE(r.encoded) << name << ": code " << r.encodeCode << ", " << r.encoderMessage;
        auto probed = probe(job.target);
        const char* codec = job.output == Output::Lame ? "mp3" : job.output == Output::Oggenc ? "vorbis" : "wmav2";
        EXPECT_EQ(probed["codec_name"], codec) << name;
        if (job.output == Output::Wma) {
            EXPECT_EQ(probed["TAG:Title"], job.target.stem().string()) << name;
        }
        ASSERT_FALSE(probed["duration"].empty()) << name;
        // Encoder delay and the padding of the last frame make the container a little longer.
        EXPECT_NEAR(std::stod(probed["duration"]), seconds, 0.15) << name;
    }
}

TEST_F(ConcurrentJobsTest, BitrateListsAndOptionsAskedFromManyThreadsAgree)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> formats{{44100, 2}, {48000, 2}, {22050, 1},
                                                                       {8000, 1},  {96000, 6}, {32000, 2}};
    constexpr int ThreadCount = 12;
    std::vector<std::vector<std::vector<std::uint32_t>>> answers(ThreadCount);
    std::vector<int> configFailures(ThreadCount, 0);
    std::latch start(ThreadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            // Each thread asks in its own order, so that first requests for a format meet.
            for (std::size_t i = 0; i < formats.size(); ++i) {
                const auto& [freq, chans] = formats[(i + static_cast<std::size_t>(t)) % formats.size()];
                configFailures[t] += !engine->SetConfig(EngineConfig::FloatDsp, 0);
                configFailures[t] += !engine->SetConfig(EngineConfig::WmaUseEngineFiles, 1);
                answers[t].push_back(engine->WMAEncodeGetRates(freq, chans, WmaEncodeFlags));
            }
        });
    for (auto& thread : threads)
        thread.join();

    for (int t = 0; t < ThreadCount; ++t) {
        EXPECT_EQ(configFailures[t], 0);
        for (std::size_t i = 0; i < formats.size(); ++i) {
            const auto& [freq, chans] = formats[(i + static_cast<std::size_t>(t)) % formats.size()];
            const auto& rates = answers[t][i];
            EXPECT_EQ(rates, engine->WMAEncodeGetRates(freq, chans, WmaEncodeFlags)) << freq << "/" << chans;
            ASSERT_GE(rates.size(), 2u) << freq << "/" << chans;
            EXPECT_EQ(rates.back(), 0u);
            EXPECT_TRUE(std::is_sorted(rates.rbegin() + 1, rates.rend())) << "not highest first";
        }
    }
}

TEST_F(ConcurrentJobsTest, EachThreadReadsTheCodeAndMessageOfItsOwnEncoder)
{
    const auto source = makeTone(dir / "tone.flac", 1, 44100, 2, {"-c:a", "flac"});
    constexpr int ThreadCount = 6;
    std::vector<int> codes(ThreadCount, 0);
    std::vector<std::string> messages(ThreadCount);
    std::vector<int> stopped(ThreadCount, 1);
    std::latch start(ThreadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        // Odd threads fail with a complaint of their own, even ones succeed without a word.
        const std::string body =
            t % 2 ? "cat > /dev/null; echo 'encoder " + std::to_string(t) + " failed' >&2; exit 1" : "cat > /dev/null";
        const auto script = writeScript(dir / ("encoder" + std::to_string(t)), body);
        threads.emplace_back([&, t, script] {
            start.arrive_and_wait();
            const EngineHandle stream = engine->StreamCreateFile(source.string(), 0, 0, OpenFlags);
            if (!stream || !engine->EncodeStart(stream, {script.string(), {}}, 0)) {
                codes[t] = -100;
                return;
            }
            decodeAll(*engine, stream);
            stopped[t] = engine->EncodeStop(stream);
            codes[t] = engine->ErrorGetCode();
            messages[t] = engine->EncodeGetMessage();
            engine->StreamFree(stream);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < ThreadCount; ++t) {
        EXPECT_EQ(stopped[t] != 0, t % 2 == 0) << t;
        EXPECT_EQ(codes[t], t % 2 ? EngineCode::EncoderFailed : EngineCode::Ok) << t;
        EXPECT_EQ(messages[t], t % 2 ? "encoder " + std::to_string(t) + " failed" : "") << t;
    }
}

TEST_F(ConcurrentJobsTest, OnlyOneEncoderWhenTwoThreadsStartOneOnTheSameStream)
{
    const auto source = makeTone(dir / "tone.wav", 1, 44100, 2);
    const auto sink = writeScript(dir / "sink", "cat > /dev/null");
    for (int round = 0; round < 10; ++round) {
        const EngineHandle stream = engine->StreamCreateFile(source.string(), 0, 0, OpenFlags);
        ASSERT_NE(stream, 0u);
        std::array<EngineHandle, 2> encoders{};
        std::array<int, 2> codes{};
        std::latch start(2);
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t)
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                encoders[t] = engine->EncodeStart(stream, {sink.string(), {}}, 0);
                codes[t] = engine->ErrorGetCode();
            });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ((encoders[0] != 0) + (encoders[1] != 0), 1) << round;
        EXPECT_EQ(codes[encoders[0] ? 1 : 0], EngineCode::Already) << round;
        decodeAll(*engine, stream);
        EXPECT_TRUE(engine->EncodeStop(stream)) << round;
        EXPECT_TRUE(engine->StreamFree(stream));
        EXPECT_TRUE(childProcesses().empty()) << round;
    }
}

TEST_F(ConcurrentJobsTest, StreamFreedByAnotherThreadMidwayEndsTheJobCleanly)
{
    const auto source = makeTone(dir / "tone.flac", 4, 44100, 2, {"-c:a", "flac"});
    const EngineHandle stream = engine->StreamCreateFile(source.string(), 0, 0, OpenFlags);
    ASSERT_NE(stream, 0u);
    const auto out = dir / "out.mp3";
    std::latch pulledOnce(1);
    std::latch freed(1);
    std::int32_t firstPull = 0, secondPull = 0;
    int pullCode = 0, stopCode = 0;
    bool stopped = true;
    std::thread job([&] {
        if (engine->EncodeStart(stream, {"lame", {"--cbr", "-b", "128", "-", out.string()}}, 0)) {
            std::string buffer(Chunk, '\0');
            firstPull = engine->ChannelGetData(stream, buffer.data(), Chunk);
        }
        pulledOnce.count_down();
        freed.wait();
        std::string buffer(Chunk, '\0');
        secondPull = engine->ChannelGetData(stream, buffer.data(), Chunk);
        pullCode = engine->ErrorGetCode();
        stopped = engine->EncodeStop(stream);
        stopCode = engine->ErrorGetCode();
    });
    pulledOnce.wait();
    EXPECT_TRUE(engine->StreamFree(stream));
    freed.count_down();
    job.join();
    EXPECT_GT(firstPull, 0);
    EXPECT_EQ(secondPull, -1);
    EXPECT_EQ(pullCode, EngineCode::Handle);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(stopCode, EngineCode::Handle);
}
