// tunevale-cli convert -f flac|opus|aac|alac|aiff|wavpack with their options, through the real
// engine, read back with ffprobe.
#include "CliHarness.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

namespace tunevale::test
{
namespace
{

class CatalogFormatsConvert : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli.store("optOtherFolder", "True");
        cli.store("txtOutPath", cli.out().string());
        cli.store("optFileFormat", "0");
        source = makeTone(cli.in("tone.flac"), 3.0, 44100, 2, {"-c:a", "flac"});
    }

    // The one JSON line of a run over the source, which must complete.
    QJsonObject convert(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"convert", "--json"});
        options.push_back(source.string());
        const auto result = cli.run(options);
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        const auto json = QJsonDocument::fromJson(QByteArray::fromStdString(result.out));
        EXPECT_TRUE(json.isObject()) << result.out;
        return json.object();
    }
    static std::filesystem::path outputOf(const QJsonObject& job)
    {
        return job.value("output").toString().toStdString();
    }
    static int bitrateOf(const std::filesystem::path& file)
    {
        return std::atoi(ffprobe(file, "format=bit_rate").c_str());
    }

    CliHarness cli;
    std::filesystem::path source;
};

TEST_F(CatalogFormatsConvert, EachFormatIsWrittenAndLosslessJobsReportTheirVerification)
{
    const std::vector<std::tuple<const char*, const char*, const char*, bool>> formats{
        {"flac", "flac", "tone.flac", true},      {"opus", "opus", "tone.opus", false},
        {"aac", "aac", "tone.m4a", false},        {"alac", "alac", "tone_Converted.m4a", true},
        {"aiff", "pcm_s16be", "tone.aiff", true}, {"WavPack", "wavpack", "tone.wv", true}};
    const auto before = readFile(cli.storeFile());
    for (const auto& [name, codec, file, lossless] : formats) {
        SCOPED_TRACE(name);
        const QJsonObject job = convert({"-f", name});
        EXPECT_EQ(job.value("status").toString(), "complete");
        EXPECT_EQ(outputOf(job), cli.out() / file);
        EXPECT_EQ(ffprobe(cli.out() / file, "stream=codec_name"), codec);
        EXPECT_EQ(job.contains("verified"), lossless);
        if (lossless) {
            EXPECT_TRUE(job.value("verified").toBool());
        }
    }
    EXPECT_EQ(readFile(cli.storeFile()), before) << "the options changed the stored settings";
}

TEST_F(CatalogFormatsConvert, OptionsSetTheEncoder)
{
    const auto opus64 = outputOf(convert({"-f", "opus", "--opus-bitrate", "64"}));
    const auto opus256 = outputOf(convert({"-f", "opus", "--opus-bitrate", "256"}));
    EXPECT_LT(bitrateOf(opus64) * 2, bitrateOf(opus256));
    const auto aac96 = outputOf(convert({"-f", "aac", "--aac-bitrate", "96"}));
    const auto aac320 = outputOf(convert({"-f", "aac", "--aac-bitrate", "320"}));
    EXPECT_LT(bitrateOf(aac96) * 2, bitrateOf(aac320));
    const auto fast = outputOf(convert({"-f", "flac", "--flac-level", "0"}));
    const auto small = outputOf(convert({"-f", "flac", "--flac-level", "8"}));
    EXPECT_GT(std::filesystem::file_size(fast), std::filesystem::file_size(small));
}

TEST_F(CatalogFormatsConvert, BadValuesExitTwoWithTheirRange)
{
    for (const auto& [option, value, range] :
         std::vector<std::tuple<const char*, const char*, const char*>>{{"--opus-bitrate", "999", "from 32 to 256"},
                                                                        {"--flac-level", "9", "from 0 to 8"},
                                                                        {"--aac-bitrate", "32", "from 64 to 320"}}) {
        const auto result = cli.run({"convert", "-f", "flac", option, value, source.string()});
        EXPECT_EQ(result.exitCode, 2) << option;
        EXPECT_NE(result.err.find(std::string(option) + " expects a whole number " + range), std::string::npos)
            << result.err;
    }
    const auto unknown = cli.run({"convert", "-f", "mp4", source.string()});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("-f expects one of wav, wma, mp3, ogg, ipod, flac, opus, aac, alac, aiff, wavpack, "
                               "not \"mp4\""),
              std::string::npos)
        << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(cli.out()));

    const auto help = cli.run({"convert", "--help"});
    for (const char* text : {"--flac-level", "--opus-bitrate", "--aac-bitrate", "aiff or wavpack", "\"verified\""})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

} // namespace
} // namespace tunevale::test
