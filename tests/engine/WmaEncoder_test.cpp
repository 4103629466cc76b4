#include "WmaEncoder.h"

#include "Engine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <sys/stat.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// Signed 16-bit PCM made by ffmpeg from a lavfi source (a tone over noise, like music in its spread).
std::string makePcm(const TempDir& dir, int seconds, int rate, int channels)
{
    const auto file = dir / ("pcm-" + std::to_string(rate) + "-" + std::to_string(channels) + ".raw");
    std::ostringstream source;
    source << "anoisesrc=color=pink:amplitude=0.3:sample_rate=" << rate << ":duration=" << seconds;
    ffmpeg({"-f", "lavfi", "-i", source.str(), "-f", "lavfi", "-i",
            "sine=frequency=330:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds),
            "-filter_complex", "amix=inputs=2:normalize=0", "-ac", std::to_string(channels), "-f", "s16le",
            file.string()});
    return readFile(file);
}

bool encode(const std::string& pcm, std::uint32_t rate, std::uint32_t channels, std::uint32_t bitrate,
            const std::filesystem::path& out, const std::map<std::string, std::string>& tags = {})
{
    int code = 0;
    auto encoder = WmaEncoder::open(rate, channels, bitrate, out.string(), code);
    if (!encoder) {
        ADD_FAILURE() << "open failed with code " << code << " at " << bitrate;
        return false;
    }
    for (const auto& [name, value] : tags)
        EXPECT_TRUE(encoder->setTag(name, value, code));
    EXPECT_TRUE(encoder->setTag("", "", code));
    for (std::size_t done = 0; done < pcm.size(); done += 20000)
        if (!encoder->write(pcm.data() + done, std::min<std::size_t>(20000, pcm.size() - done), code))
            return false;
    return encoder->close(code);
}

double probeNumber(const std::filesystem::path& file, const std::string& entry)
{
    const std::string text = ffprobe(file, entry);
    return text.empty() ? -1 : std::stod(text);
}

// Entries of the first audio stream and of the container in one ffprobe run; the container's
// bit_rate comes second and is stored as "format_bit_rate".
std::map<std::string, std::string> probeEntries(const std::filesystem::path& file)
{
    const auto result = runProgramOnFile({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                          "stream=codec_name,sample_rate,channels,bit_rate:format=bit_rate,duration",
                                          "-of", "default=noprint_wrappers=1", file.string()},
                                         file);
    std::map<std::string, std::string> entries;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        entries[(entries.count(key) ? "format_" : "") + key] = line.substr(equals + 1);
    }
    return entries;
}

double number(const std::map<std::string, std::string>& entries, const std::string& key)
{
    const auto found = entries.find(key);
    return found == entries.end() ? -1 : std::stod(found->second);
}

// "TAG:key=value" lines of the container's tags, as ffprobe reads them.
std::map<std::string, std::string> probeTags(const std::filesystem::path& file)
{
    const auto result = runProgram(
        {"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "default=noprint_wrappers=1", file.string()});
    std::map<std::string, std::string> tags;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (line.starts_with("TAG:") && equals != std::string::npos)
            tags[line.substr(4, equals - 4)] = line.substr(equals + 1);
    }
    return tags;
}

std::string utf16(const std::string& ascii)
{
    std::string out;
    for (const char c : ascii)
        out += std::string{c, '\0'};
    return out;
}

} // namespace

TEST(WmaEncoder, RateListsAreHighestFirstAndZeroEnded)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> formats{
        {44100, 2}, {22050, 1}, {48000, 2}, {8000, 1}, {11025, 2}, {32000, 1}, {96000, 2}, {44100, 6}, {192000, 8}};
    for (const auto& [rate, channels] : formats) {
        const auto list = WmaEncoder::rates(rate, channels);
        ASSERT_GE(list.size(), 2u) << rate << "/" << channels;
        EXPECT_EQ(list.back(), 0u);
        for (std::size_t i = 0; i + 2 < list.size(); ++i)
            EXPECT_GT(list[i], list[i + 1]);
        for (const auto bitrate : list)
            EXPECT_EQ(bitrate % 1000, 0u) << "the quality rule rebuilds bitrates from whole kbit/s";
    }
    EXPECT_EQ(WmaEncoder::rates(44100, 2).front(), 320000u);
    EXPECT_EQ(WmaEncoder::rates(96000, 2), WmaEncoder::rates(48000, 2));
    EXPECT_EQ(WmaEncoder::rates(88200, 2), WmaEncoder::rates(44100, 2));
    EXPECT_EQ(WmaEncoder::rates(48000, 6), WmaEncoder::rates(48000, 2));
    EXPECT_TRUE(WmaEncoder::rates(0, 2).empty());
    EXPECT_TRUE(WmaEncoder::rates(44100, 0).empty());
}

TEST(WmaEncoder, EveryListedBitrateGivesAFileOfThatBitrate)
{
    TempDir dir;
    for (const auto& [rate, channels] :
         std::vector<std::pair<int, int>>{{44100, 2}, {22050, 1}, {48000, 2}, {11025, 1}}) {
        const std::string pcm = makePcm(dir, 15, rate, channels);
        for (const auto bitrate : WmaEncoder::rates(rate, channels)) {
            if (bitrate == 0)
                break;
            const auto out = dir / ("out-" + std::to_string(rate) + "-" + std::to_string(bitrate) + ".wma");
            ASSERT_TRUE(encode(pcm, rate, channels, bitrate, out));
            const std::string where =
                std::to_string(rate) + "/" + std::to_string(channels) + " at " + std::to_string(bitrate);
            const auto probed = probeEntries(out);
            EXPECT_EQ(probed.at("codec_name"), "wmav2") << where;
            EXPECT_EQ(number(probed, "sample_rate"), rate) << where;
            EXPECT_EQ(number(probed, "channels"), channels) << where;
            EXPECT_NEAR(number(probed, "bit_rate"), bitrate, bitrate * 0.1) << where;        // as the header says
            EXPECT_NEAR(number(probed, "format_bit_rate"), bitrate, bitrate * 0.1) << where; // as the size says
            EXPECT_NEAR(number(probed, "duration"), 15.0, 0.1) << where;
        }
    }
}

TEST(WmaEncoder, TagsReadBackUnderTheirNames)
{
    TempDir dir;
    const std::string pcm = makePcm(dir, 3, 44100, 2);
    const std::map<std::string, std::string> tags{
        {"Title", "Song Ünïcødé"}, {"Author", "Artist"},   {"WM/AlbumTitle", "Album Title"},
        {"Description", "Desc"},   {"Rating", "Rating 5"}, {"Copyright", "(c) 2026"},
        {"WM/Genre", "Genre"},     {"WM/Year", "1999"}};
    const auto out = dir / "tags.wma";
    ASSERT_TRUE(encode(pcm, 44100, 2, 128000, out, tags));

    // The file holds the Windows Media names themselves...
    const std::string bytes = readFile(out);
    for (const auto& [name, value] : tags)
        EXPECT_NE(bytes.find(utf16(name)), std::string::npos) << name;
    // ...and ffprobe reads every value back; it shows some names under its own generic ones.
    const std::map<std::string, std::string> shownAs{
        {"Title", "Title"},   {"Author", "artist"},       {"WM/AlbumTitle", "album"}, {"Description", "comment"},
        {"Rating", "Rating"}, {"Copyright", "Copyright"}, {"WM/Genre", "genre"},      {"WM/Year", "WM/Year"}};
    const auto read = probeTags(out);
    for (const auto& [name, value] : tags) {
        const auto found = read.find(shownAs.at(name));
        ASSERT_NE(found, read.end()) << name;
        EXPECT_EQ(found->second, value) << name;
    }
}

TEST(WmaEncoder, NoTagsAndTagsAfterTheListClosed)
{
    TempDir dir;
    int code = 0;
    auto encoder = WmaEncoder::open(44100, 2, 128000, (dir / "x.wma").string(), code);
    ASSERT_TRUE(encoder);
    EXPECT_TRUE(encoder->setTag("Title", "T", code));
    EXPECT_TRUE(encoder->setTag("", "", code));
    code = 0;
    EXPECT_FALSE(encoder->setTag("Author", "late", code));
    EXPECT_EQ(code, EngineCode::NotAvailable);
    EXPECT_TRUE(encoder->close(code));
    EXPECT_EQ(probeTags(dir / "x.wma").count("artist"), 0u);
    EXPECT_EQ(probeTags(dir / "x.wma").at("Title"), "T");
    EXPECT_FALSE(encoder->write("\0\0\0\0", 4, code));
}

TEST(WmaEncoder, RefusesUnlistedBitratesAndUncreatablePaths)
{
    TempDir dir;
    int code = 0;
    for (const std::uint32_t bitrate : {0u, 100000u, 128001u, 16000u, 999000u, static_cast<std::uint32_t>(-1)}) {
        code = 0;
        EXPECT_FALSE(WmaEncoder::open(44100, 2, bitrate, (dir / "bad.wma").string(), code)) << bitrate;
        EXPECT_EQ(code, EngineCode::IllegalParam) << bitrate;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.wma"));
    EXPECT_FALSE(WmaEncoder::open(0, 2, 128000, (dir / "bad.wma").string(), code));
    EXPECT_EQ(code, EngineCode::IllegalParam);

    code = 0;
    EXPECT_FALSE(WmaEncoder::open(44100, 2, 128000, (dir / "missing-folder" / "x.wma").string(), code));
    EXPECT_EQ(code, EngineCode::Create);
    std::filesystem::create_directory(dir / "locked");
    std::filesystem::permissions(dir / "locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) {
        code = 0;
        EXPECT_FALSE(WmaEncoder::open(44100, 2, 128000, (dir / "locked" / "x.wma").string(), code));
        EXPECT_EQ(code, EngineCode::Create);
    }
}

TEST(WmaEncoder, OddNamesAreWrittenAsGiven)
{
    TempDir dir;
    const std::string pcm = makePcm(dir, 1, 44100, 2);
    for (const std::string name : {"with space \"quoted\".wma", "$(touch marker).wma", "`id`.wma", "-dash.wma",
                                   "ünïcødé.wma", "a:b.wma", "file:c.wma"}) {
        ASSERT_TRUE(encode(pcm, 44100, 2, 128000, dir / name)) << name;
        EXPECT_EQ(ffprobe(dir / name, "stream=codec_name"), "wmav2") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "marker"));
}

TEST(WmaEncoder, HighRateAndSurroundSourcesEncode)
{
    TempDir dir;
    struct Case {
        int rate, channels, encodedRate;
    };
    for (const Case c : {Case{96000, 2, 48000}, Case{48000, 6, 48000}, Case{88200, 1, 44100}, Case{44100, 6, 44100}}) {
        const std::string pcm = makePcm(dir, 5, c.rate, c.channels);
        const auto bitrate = WmaEncoder::rates(c.rate, c.channels).at(4);
        const auto out = dir / ("hi-" + std::to_string(c.rate) + "-" + std::to_string(c.channels) + ".wma");
        ASSERT_TRUE(encode(pcm, c.rate, c.channels, bitrate, out));
        EXPECT_EQ(probeNumber(out, "stream=sample_rate"), c.encodedRate);
        EXPECT_EQ(probeNumber(out, "stream=channels"), std::min(c.channels, 2));
        EXPECT_NEAR(probeNumber(out, "format=duration"), 5.0, 0.1);
        // The downmix must carry the sound: the decoded file is not silent.
        const auto volume = runProgram(
            {"ffmpeg", "-nostdin", "-v", "info", "-i", out.string(), "-af", "volumedetect", "-f", "null", "-"});
        const auto at = volume.output.find("mean_volume: ");
        ASSERT_NE(at, std::string::npos);
        EXPECT_GT(std::stod(volume.output.substr(at + 13)), -45.0);
    }
}

TEST(WmaEncoder, PartialSampleFramesAcrossWritesAndCloseWithoutData)
{
    TempDir dir;
    const std::string pcm = makePcm(dir, 2, 22050, 1);
    int code = 0;
    auto encoder = WmaEncoder::open(22050, 1, WmaEncoder::rates(22050, 1).front(), (dir / "odd.wma").string(), code);
    ASSERT_TRUE(encoder);
    for (std::size_t done = 0; done < pcm.size(); done += 777)
        ASSERT_TRUE(encoder->write(pcm.data() + done, std::min<std::size_t>(777, pcm.size() - done), code));
    ASSERT_TRUE(encoder->close(code));
    EXPECT_NEAR(probeNumber(dir / "odd.wma", "format=duration"), 2.0, 0.1);

    auto empty = WmaEncoder::open(44100, 2, 128000, (dir / "empty.wma").string(), code);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->close(code));
    EXPECT_EQ(ffprobe(dir / "empty.wma", "stream=codec_name"), "wmav2");
}

TEST(WmaEncoder, EightBitPcm)
{
    TempDir dir;
    const auto raw = dir / "tone.u8";
    ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=3", "-af", "volume=0.5", "-f", "u8",
            raw.string()});
    const std::string pcm = readFile(raw);
    int code = 0;
    auto encoder = WmaEncoder::open(22050, 1, 64000, (dir / "u8.wma").string(), code, StreamFlag::Sample8Bits);
    ASSERT_TRUE(encoder) << code;
    ASSERT_TRUE(encoder->write(pcm.data(), pcm.size(), code));
    ASSERT_TRUE(encoder->close(code));
    EXPECT_NEAR(number(probeEntries(dir / "u8.wma"), "duration"), 3.0, 0.1);
    // The tone keeps its level; bytes taken for 16-bit samples would be loud noise.
    const auto meanVolume = [](const std::vector<std::string>& input) {
        std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "info"};
        argv.insert(argv.end(), input.begin(), input.end());
        argv.insert(argv.end(), {"-af", "volumedetect", "-f", "null", "-"});
        const auto result = runProgram(argv);
        const auto at = result.output.find("mean_volume: ");
        return at == std::string::npos ? 0.0 : std::stod(result.output.substr(at + 13));
    };
    const double source = meanVolume({"-f", "u8", "-ar", "22050", "-ac", "1", "-i", raw.string()});
    EXPECT_LT(source, -10.0);
    EXPECT_NEAR(meanVolume({"-i", (dir / "u8.wma").string()}), source, 1.5);
}

TEST(WmaEncoder, FullDiskIsReportedAndAnUnclosedEncoderFinishesOnDestruction)
{
    TempDir dir;
    const std::string pcm = makePcm(dir, 10, 44100, 2);
    int code = 0;
    auto full = WmaEncoder::open(44100, 2, 320000, "/dev/full", code);
    ASSERT_TRUE(full) << code;
    bool failed = false;
    for (std::size_t done = 0; done < pcm.size() && !failed; done += 20000)
        failed = !full->write(pcm.data() + done, std::min<std::size_t>(20000, pcm.size() - done), code);
    failed = !full->close(code) || failed;
    EXPECT_TRUE(failed);
    EXPECT_EQ(code, EngineCode::Create);

    {
        auto unclosed = WmaEncoder::open(44100, 2, 128000, (dir / "unclosed.wma").string(), code);
        ASSERT_TRUE(unclosed);
        for (std::size_t done = 0; done < pcm.size(); done += 20000)
            ASSERT_TRUE(unclosed->write(pcm.data() + done, std::min<std::size_t>(20000, pcm.size() - done), code));
    }
    EXPECT_NEAR(number(probeEntries(dir / "unclosed.wma"), "duration"), 10.0, 0.1);
}
