#include "Engine.h"
#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr std::uint32_t Chunk = 256 * 1024;

std::unique_ptr<Engine> decodingEngine()
{
    auto engine = makeEngine();
    EXPECT_TRUE(engine->Init(0, 44100, 0)) << engine->ErrorGetCode();
    engine->PluginLoad("bassflac.dll", 0);
    engine->PluginLoad("bass_ac3.dll", 0);
    return engine;
}

struct BridgeRun {
    bool started = false;
    int startCode = 0;
    bool pullFailed = false;
    int pullCode = 0;
    bool stopped = false;
    int stopCode = 0;
    std::string message; // what the engine kept of the encoder's standard error
};

// Converts the way the MP3/OGG writer does: a decode-only stream, the encoder started on it, every
// chunk pulled until the stream ends (or a pull fails), then the encoder stopped and the stream freed.
BridgeRun convert(Engine& engine, const std::filesystem::path& source, const EncoderCommand& command)
{
    BridgeRun run;
    const EngineHandle stream =
        engine.StreamCreateFile(source.string(), 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    EXPECT_NE(stream, 0u) << engine.ErrorGetCode();
    if (!stream)
        return run;
    run.started = engine.EncodeStart(stream, command, 0) != 0;
    if (!run.started) {
        run.startCode = engine.ErrorGetCode();
        run.message = engine.EncodeGetMessage();
        engine.StreamFree(stream);
        return run;
    }
    std::vector<char> buffer(Chunk);
    for (int pulls = 0; engine.ChannelIsActive(stream) != ChannelState::Stopped && pulls < 100'000; ++pulls) {
        const std::int32_t got = engine.ChannelGetData(stream, buffer.data(), Chunk);
        if (got <= 0) {
            run.pullFailed = true;
            run.pullCode = engine.ErrorGetCode();
            break;
        }
    }
    run.stopped = engine.EncodeStop(stream);
    run.stopCode = run.stopped ? 0 : engine.ErrorGetCode();
    run.message = engine.EncodeGetMessage();
    engine.StreamFree(stream);
    return run;
}

std::map<std::string, std::string> probeEntries(const std::filesystem::path& file)
{
    const auto result =
        runProgramOnFile({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                          "stream=codec_name,sample_rate,channels,channel_layout,bit_rate:format=duration", "-of",
                          "default=noprint_wrappers=1", file.string()},
                         file);
    std::map<std::string, std::string> entries;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            entries[line.substr(0, equals)] = line.substr(equals + 1);
    return entries;
}

// Seconds of audio that a player gets from the file: decoded by ffmpeg, which drops the encoder delay
// and padding recorded in lame's info tag.
double decodedSeconds(const std::filesystem::path& file, int rate)
{
    const auto raw = file.string() + ".raw";
    ffmpeg({"-i", file.string(), "-ac", "1", "-f", "s16le", raw});
    const auto bytes = std::filesystem::file_size(raw);
    std::filesystem::remove(raw);
    return static_cast<double>(bytes) / 2 / rate;
}

// The bitrate method that lame records in its info tag: 1 constant, 2 average, 3 to 6 variable; 0 when absent.
int lameMethod(const std::filesystem::path& file, std::string& tagName)
{
    const std::string head = readFile(file).substr(0, 4096);
    for (const char* name : {"Xing", "Info"}) {
        const auto at = head.find(name);
        if (at == std::string::npos)
            continue;
        tagName = name;
        const auto lame = head.find("LAME", at);
        return lame == std::string::npos ? 0 : static_cast<unsigned char>(head[lame + 9]) & 0x0F;
    }
    return 0;
}

// A FLAC source of 8 s at 48 kHz: a tone over noise, so that encoders have something to work on.
std::filesystem::path makeFlac(const TempDir& dir, int channels = 2)
{
    const auto file = dir / ("source-" + std::to_string(channels) + ".flac");
    ffmpeg({"-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.2:sample_rate=48000:duration=8", "-f", "lavfi", "-i",
            "sine=frequency=440:sample_rate=48000:duration=8", "-filter_complex", "amix=inputs=2:normalize=0", "-ac",
            std::to_string(channels), "-c:a", "flac", file.string()});
    return file;
}

class EncoderBridgeTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(childProcesses().empty()) << "an encoder process was left behind"; }
    TempDir dir;
    std::unique_ptr<Engine> engine = decodingEngine();
};

} // namespace

// The six command lines as the command builder makes them (its own test pins that).
TEST_F(EncoderBridgeTest, SixCommandLinesThroughTheRealEncoders)
{
    const auto source = makeFlac(dir);
    const double sourceSeconds = 8.0;
    struct Case {
        std::string name;
        EncoderCommand command;
        std::string codec;
        int rate;
        std::string mode; // lame's tag and method, or the Vorbis header's nominal bitrate
        int bitrate;
    };
    const auto out = [&](const std::string& name) { return (dir / name).string(); };
    const std::vector<Case> cases{
        {"constant.mp3",
         {"lame", {"--cbr", "-b", "192", "-m", "j", "--resample", "44.1", "-q", "2", "-", out("constant.mp3")}},
         "mp3",
         44100,
         "Info1",
         192000},
        {"average.mp3",
         {"lame", {"--abr", "310", "-m", "j", "--resample", "0", "-q", "2", "-", out("average.mp3")}},
         "mp3",
         48000,
         "Xing2",
         0},
        {"variable.mp3",
         {"lame", {"-V", "4", "-m", "s", "--resample", "22.05", "-q", "4", "-", out("variable.mp3")}},
         "mp3",
         22050,
         "Xing",
         0},
        {"ipod.mp3",
         {"lame", {"--cbr", "-b", "128", "-m", "s", "--resample", "44.1", "-q", "0", "-", out("ipod.mp3")}},
         "mp3",
         44100,
         "Info1",
         128000},
        {"variable.ogg",
         {"oggenc", {"-b", "192", "--quality", "3", "-", "-o", out("variable.ogg")}},
         "vorbis",
         48000,
         "quality",
         0},
        {"constant.ogg",
         {"oggenc", {"--managed", "-b", "128", "-", "-o", out("constant.ogg")}},
         "vorbis",
         48000,
         "managed",
         128000},
    };
    for (const auto& c : cases) {
        const auto run = convert(*engine, source, c.command);
        EXPECT_TRUE(run.started && !run.pullFailed && run.stopped)
            << c.name << ": codes " << run.startCode << " " << run.pullCode << " " << run.stopCode;
        const auto probed = probeEntries(dir / c.name);
        EXPECT_EQ(probed.count("codec_name") ? probed.at("codec_name") : "", c.codec) << c.name;
        EXPECT_EQ(probed.count("sample_rate") ? probed.at("sample_rate") : "", std::to_string(c.rate)) << c.name;
        EXPECT_EQ(probed.count("channel_layout") ? probed.at("channel_layout") : "", "stereo") << c.name;
        ASSERT_TRUE(probed.count("duration")) << c.name;
        EXPECT_NEAR(decodedSeconds(dir / c.name, c.rate), sourceSeconds, 0.05) << c.name;
        // The container's duration of an MP3 counts lame's fixed delay of 1105 samples and the padding
        // of the last frame; at 22.05 kHz that alone is more than 0.05 s, whatever feeds lame.
        EXPECT_NEAR(std::stod(probed.at("duration")), sourceSeconds, c.rate >= 44100 ? 0.05 : 0.1) << c.name;
        if (c.codec == "mp3") {
            std::string tag;
            const int method = lameMethod(dir / c.name, tag);
            if (c.mode == "Xing") {
                EXPECT_EQ(tag, "Xing") << c.name;
                EXPECT_GE(method, 3) << c.name;
                EXPECT_LE(method, 6) << c.name;
            } else {
                EXPECT_EQ(tag + std::to_string(method), c.mode) << c.name;
            }
        } else {
            // Managed mode records the asked-for bitrate as nominal; quality mode records its own.
            const int nominal = std::stoi(probed.at("bit_rate"));
            if (c.mode == "managed")
                EXPECT_EQ(nominal, c.bitrate) << c.name;
            else
                EXPECT_NE(nominal, 192000) << c.name;
        }
        if (c.bitrate && c.codec == "mp3") {
            EXPECT_EQ(probed.count("bit_rate") ? probed.at("bit_rate") : "", std::to_string(c.bitrate)) << c.name;
        }
    }
}

TEST_F(EncoderBridgeTest, SurroundSourceGivesStereoMp3AndSurroundOgg)
{
    const auto source = dir / "surround.ac3";
    makeTone(source, 4, 48000, 6, {"-c:a", "ac3", "-b:a", "384k"});
    const auto mp3 = dir / "surround.mp3";
    const auto ogg = dir / "surround.ogg";
    auto run = convert(*engine, source,
                       {"lame", {"--cbr", "-b", "128", "-m", "j", "--resample", "0", "-q", "5", "-", mp3.string()}});
    EXPECT_TRUE(run.started && !run.pullFailed && run.stopped)
        << run.startCode << " " << run.pullCode << " " << run.stopCode;
    EXPECT_EQ(probeEntries(mp3)["channel_layout"], "stereo");
    EXPECT_NEAR(std::stod(probeEntries(mp3)["duration"]), 4.0, 0.1);
    run = convert(*engine, source, {"oggenc", {"--managed", "-b", "128", "-", "-o", ogg.string()}});
    EXPECT_TRUE(run.started && !run.pullFailed && run.stopped)
        << run.startCode << " " << run.pullCode << " " << run.stopCode;
    EXPECT_EQ(probeEntries(ogg)["channels"], "6");
}

TEST_F(EncoderBridgeTest, OddOutputNamesAreWrittenExactlyAndNoShellRuns)
{
    const auto source = dir / "short.flac";
    makeTone(source, 1, 44100, 2, {"-c:a", "flac"});
    // A shell would run the commands in the current folder.
    const auto marker = std::filesystem::current_path() / "tunevale-marker";
    std::filesystem::remove(marker);
    const std::vector<std::string> names{
        "with space.mp3",    "double \"quoted\".mp3", "$(touch tunevale-marker).mp3", "`touch tunevale-marker`.mp3",
        "-leading dash.mp3", "ünïcødé Größe.mp3",     "it's; rm -rf x & y | z.mp3"};
    for (const auto& name : names) {
        for (const bool ogg : {false, true}) {
            const auto out = dir / (ogg ? name + ".ogg" : name);
            const EncoderCommand command =
                ogg ? EncoderCommand{"oggenc", {"--managed", "-b", "128", "-", "-o", out.string()}}
                    : EncoderCommand{
                          "lame",
                          {"--cbr", "-b", "128", "-m", "s", "--resample", "44.1", "-q", "0", "-", out.string()}};
            const auto run = convert(*engine, source, command);
            EXPECT_TRUE(run.started && !run.pullFailed && run.stopped) << out;
            EXPECT_EQ(probeEntries(out)["codec_name"], ogg ? "vorbis" : "mp3") << out;
        }
    }
    std::size_t outputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        outputs += entry.path() != source;
    EXPECT_EQ(outputs, names.size() * 2);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(EncoderBridgeTest, MissingEncoderFailsToStart)
{
    const auto source = makeFlac(dir);
    const auto run = convert(*engine, source, {"tunevale-missing-encoder", {"-", (dir / "x.mp3").string()}});
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.startCode, EngineCode::EncoderStart);
    EXPECT_EQ(run.message, "");
    EXPECT_EQ(EngineErrorText(run.startCode), "The encoder could not be started");
}

TEST_F(EncoderBridgeTest, RefusedOptionsAndFailuresComeWithTheEncodersOwnWords)
{
    const auto source = dir / "short.flac";
    makeTone(source, 2, 44100, 2, {"-c:a", "flac"});
    // The real lame, given an option it does not know.
    auto run = convert(*engine, source, {"lame", {"--no-such-option", "-", (dir / "x.mp3").string()}});
    EXPECT_TRUE(!run.started || run.pullFailed || !run.stopped) << "failure not reported";
    EXPECT_EQ(run.started ? run.stopCode : run.startCode, EngineCode::EncoderFailed);
    EXPECT_NE(run.message.find("--no-such-option"), std::string::npos) << run.message;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.mp3"));

    // A program that reads everything and then fails after a long complaint.
    const auto chatty = writeScript(dir / "chatty", "cat > /dev/null; i=1; while [ $i -le 3000 ]; do "
                                                    "echo \"warning $i\" >&2; i=$((i+1)); done; "
                                                    "echo 'fatal: disk full' >&2; exit 1");
    run = convert(*engine, source, {chatty.string(), {}});
    EXPECT_TRUE(run.started && !run.pullFailed);
    EXPECT_FALSE(run.stopped);
    EXPECT_EQ(run.stopCode, EngineCode::EncoderFailed);
    EXPECT_EQ(run.message, "warning 2998\nwarning 2999\nwarning 3000\nfatal: disk full");

    // The message belongs to the encoder stopped last: a clean, silent one leaves none.
    const auto silent = writeScript(dir / "silent", "cat > /dev/null");
    run = convert(*engine, source, {silent.string(), {}});
    EXPECT_TRUE(run.started && !run.pullFailed && run.stopped);
    EXPECT_EQ(run.message, "");
}

TEST_F(EncoderBridgeTest, FailingAndKilledEncodersAreReportedWithoutHanging)
{
    const auto source = makeFlac(dir);
    const auto failing = writeScript(dir / "failing", "exit 1");
    const auto dying = writeScript(dir / "dying", "head -c 500000 > /dev/null; kill -KILL $$");
    // lame cannot create a file in a folder that does not exist and gives up at once.
    const EncoderCommand noFolder{"lame", {"--cbr", "-b", "128", "-", (dir / "missing" / "x.mp3").string()}};
    for (const EncoderCommand& command :
         {EncoderCommand{failing.string(), {}}, EncoderCommand{dying.string(), {}}, noFolder}) {
        const auto started = std::chrono::steady_clock::now();
        const auto run = convert(*engine, source, command);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << command.program;
        EXPECT_TRUE(!run.started || run.pullFailed || !run.stopped) << command.program << ": failure not reported";
        if (run.pullFailed) {
            EXPECT_EQ(run.pullCode, EngineCode::EncoderFailed) << command.program;
        }
        if (run.started) {
            EXPECT_FALSE(run.stopped) << command.program;
            EXPECT_EQ(run.stopCode, EngineCode::EncoderFailed) << command.program;
        }
        EXPECT_TRUE(childProcesses().empty()) << command.program;
    }
}
