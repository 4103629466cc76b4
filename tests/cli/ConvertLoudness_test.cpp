#include "CliHarness.h"

#include <gtest/gtest.h>

#include <regex>

namespace tunevale::test
{
namespace
{

// A stereo 1 kHz sine at -23 dBFS: -23 LUFS, a ReplayGain of +5 dB.
std::filesystem::path makeQuietTone(const std::filesystem::path& file)
{
    const std::string wave = "0.0707946*sin(2*PI*1000*t)";
    ffmpeg({"-f", "lavfi", "-i", "aevalsrc=" + wave + "|" + wave + ":s=44100:d=5", "-c:a", "flac", "-sample_fmt", "s16",
            file.string()});
    return file;
}

// The fields of each JSON line, as python prints them.
std::string jsonFields(CliHarness& cli, const std::string& json, const std::string& expression)
{
    return eachJsonLine(cli, json, expression);
}

TEST(ConvertLoudness, JsonCarriesEachJobsLoudnessAndNoReplayGainTurnsItOff)
{
    CliHarness cli;
    cli.store("optOtherFolder", "True");
    cli.store("txtOutPath", cli.out().string());
    const auto source = makeQuietTone(cli.in("quiet.flac"));
    const auto measured = cli.run({"convert", "-f", "ogg", "--json", source.string()});
    ASSERT_EQ(measured.exitCode, 0) << measured.err;
    EXPECT_EQ(jsonFields(cli, measured.out,
                         "e['status'], round(e['loudness']['integrated']), round(e['loudness']['trackGain'], 1), "
                         "e['loudness']['peakKind'], round(e['loudness']['peak'])"),
              "complete -23 5.0 true -23\n")
        << measured.out;
    const std::string tagged = ffprobe(cli.out() / "quiet.ogg", "stream_tags=REPLAYGAIN_TRACK_GAIN");
    EXPECT_TRUE(tagged == "+5.00 dB" || tagged == "+4.99 dB" || tagged == "+5.01 dB") << tagged;

    const auto plain = cli.run({"convert", "-f", "mp3", "--json", "--no-replaygain", source.string()});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(jsonFields(cli, plain.out, "e['status'], 'loudness' in e"), "complete False\n") << plain.out;
    EXPECT_EQ(ffprobe(cli.out() / "quiet.mp3", "format_tags=REPLAYGAIN_TRACK_GAIN"), "");
    // Not stored: the next run measures again.
    const auto again = cli.run({"convert", "-f", "mp3", "--json", source.string()});
    EXPECT_EQ(jsonFields(cli, again.out, "'loudness' in e"), "True\n") << again.out;
}

// --normalize and --target-lufs for one run: the output measured again lands on the target, its
// ReplayGain says so, and the stored settings stay as they were.
TEST(ConvertLoudness, NormalizeBringsTheOutputToTheTargetForThisRunOnly)
{
    CliHarness cli;
    cli.store("optOtherFolder", "True");
    cli.store("txtOutPath", cli.out().string());
    const auto source = makeQuietTone(cli.in("quiet.flac"));
    const std::string before = readFile(cli.storeFile());
    const auto run =
        cli.run({"convert", "-f", "ogg", "--json", "--normalize", "track", "--target-lufs", "-14", source.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(jsonFields(cli, run.out,
                         "round(e['loudness']['integrated']), round(e['loudness']['appliedGain']), "
                         "round(e['loudness']['trackGain'])"),
              "-14 9 -4\n")
        << run.out;
    const auto measured = runProgram({"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-i",
                                      (cli.out() / "quiet.ogg").string(), "-af", "ebur128", "-f", "null", "-"});
    const std::string summary = measured.output.substr(measured.output.rfind("Summary:"));
    std::smatch integrated;
    ASSERT_TRUE(std::regex_search(summary, integrated, std::regex(R"(I:\s+(-?[0-9.]+) LUFS)"))) << summary;
    EXPECT_NEAR(std::stod(integrated[1]), -14.0, 0.5);
    EXPECT_EQ(readFile(cli.storeFile()), before);
}

} // namespace
} // namespace tunevale::test
