#include "CliHarness.h"
#include "ConversionOptions.h"
#include "OutputSettingsModel.h"

#include <gtest/gtest.h>

namespace tunevale::test
{
namespace
{

using Arguments = std::vector<std::string>;
using C = OutputControl;

// A run of the convert command with recording encoders, from stored settings whose output folder
// is out().
class ConvertOptionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli.store("optOtherFolder", "True");
        cli.store("txtOutPath", cli.out().string());
        cli.useRecordingEncoders();
        source = makeTone(cli.in("tone.wav"), 0.5).string();
    }

    // The encoder arguments of one convert run with the options, which must succeed.
    Arguments encoderArguments(const std::string& encoder, Arguments options)
    {
        options.insert(options.begin(), "convert");
        options.push_back(source);
        const auto before = readFile(cli.storeFile());
        const auto result = cli.run(options);
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_EQ(readFile(cli.storeFile()), before) << "the options changed the stored settings";
        const auto calls = cli.calls(encoder);
        if (calls.size() != ++m_runs) {
            ADD_FAILURE() << encoder << " ran " << calls.size() << " times after " << m_runs << " runs";
            return {};
        }
        return calls.back();
    }

    // The arguments the window gives the encoder after the same choices on its panel.
    Arguments windowArguments(const std::function<void(OutputSettingsModel&)>& choose, const std::string& outFile)
    {
        CRegister registry(cli.storeFile());
        OutputSettingsModel model(registry);
        model.LoadSettings(false);
        choose(model);
        return encoderCommandFromSettings(model.settings(), outFile)->command.arguments;
    }

    CliHarness cli;
    std::string source;
    std::size_t m_runs = 0;
};

TEST_F(ConvertOptionsTest, Mp3OptionsGiveTheWindowsLameCommand)
{
    const auto out = (cli.out() / "tone.mp3").string();
    // The encoder writes the job's private file, named inside the private folder it runs in.
    const std::string given = ".partial.mp3";
    const auto cbr = encoderArguments("lame", {"-f", "mp3", "--mp3-mode", "cbr", "--bitrate", "192", "--stereo",
                                               "joint", "--resample", "44.1", "--encoder-quality", "7"});
    EXPECT_EQ(cbr, (Arguments{"--cbr", "-b", "192", "-m", "j", "--resample", "44.1", "-q", "2", "-", given}));
    EXPECT_EQ(cbr, windowArguments(
                       [](OutputSettingsModel& m) {
                           m.clickOption(C::optFileFormat, 2);
                           m.clickOption(C::optMP3CBR);
                           m.setComboIndex(C::cmbMP3CBitrate, 4);
                           m.setComboIndex(C::cmbMP3StereoMode, 2);
                           m.setComboIndex(C::cmbMP3Freq, 8);
                           m.setSliderValue(C::SliderMP3EncoderQuality, 7);
                       },
                       given));

    std::filesystem::remove(out);
    const auto abr = encoderArguments(
        "lame", {"--format", "mp3", "--mp3-mode=abr", "--bitrate", "310", "--stereo", "forced", "--resample", "auto"});
    EXPECT_EQ(abr, (Arguments{"--abr", "310", "-m", "f", "--resample", "0", "-q", "4", "-", given}));

    std::filesystem::remove(out);
    const auto vbr = encoderArguments("lame", {"-f", "MP3", "--mp3-mode", "vbr", "--vbr-quality", "2", "--stereo",
                                               "mono", "--resample", "11.025", "--encoder-quality", "0"});
    EXPECT_EQ(vbr, (Arguments{"-V", "7", "-m", "m", "--resample", "11.025", "-q", "9", "-", given}));
    EXPECT_EQ(vbr, windowArguments(
                       [](OutputSettingsModel& m) {
                           m.clickOption(C::optFileFormat, 2);
                           m.clickOption(C::optMP3VBR);
                           m.setSliderValue(C::SliderMP3VBR, 2);
                           m.setComboIndex(C::cmbMP3StereoMode, 0);
                           m.setComboIndex(C::cmbMP3Freq, 2);
                           m.setSliderValue(C::SliderMP3EncoderQuality, 0);
                       },
                       given));

    // The stored mode (constant bitrate) takes the bitrate when no mode is given.
    std::filesystem::remove(out);
    EXPECT_EQ(encoderArguments("lame", {"-f", "mp3", "--stereo", "dual", "--bitrate", "32", "--resample", "48"}),
              (Arguments{"--cbr", "-b", "32", "-m", "d", "--resample", "48", "-q", "4", "-", given}));
    std::filesystem::remove(out);
    EXPECT_EQ(encoderArguments("lame", {"-f", "mp3", "--stereo", "stereo", "--resample", "8"}),
              (Arguments{"--cbr", "-b", "128", "-m", "s", "--resample", "8", "-q", "4", "-", given}));
}

TEST_F(ConvertOptionsTest, IpodIgnoresTheMp3Options)
{
    // The encoder writes the job's private file, named inside the private folder it runs in.
    const std::string given = ".partial.mp3";
    EXPECT_EQ(encoderArguments("lame", {"-f", "ipod", "--stereo", "mono", "--resample", "8", "--encoder-quality", "9",
                                        "--mp3-mode", "vbr"}),
              (Arguments{"--cbr", "-b", "128", "-m", "s", "--resample", "44.1", "-q", "0", "-", given}));
}

TEST_F(ConvertOptionsTest, OggOptionsGiveTheWindowsOggencCommand)
{
    const auto out = (cli.out() / "tone.ogg").string();
    // The encoder writes the job's private file, named inside the private folder it runs in.
    const std::string given = ".partial.ogg";
    const auto vbr = encoderArguments("oggenc", {"-f", "ogg", "--ogg-quality", "7", "--bitrate", "192"});
    EXPECT_EQ(vbr, (Arguments{"-b", "192", "--quality", "7", "-", "-o", given}));
    EXPECT_EQ(vbr, windowArguments(
                       [](OutputSettingsModel& m) {
                           m.clickOption(C::optFileFormat, 3);
                           m.setSliderValue(C::sliderOGG, 7);
                           m.setComboIndex(C::cmbOGGVBitrate, 4);
                       },
                       given));

    // The lowest quality is passed as the window passes it.
    std::filesystem::remove(out);
    EXPECT_EQ(encoderArguments("oggenc", {"-f", "ogg", "--ogg-quality", "-2", "--bitrate", "64"}),
              windowArguments(
                  [](OutputSettingsModel& m) {
                      m.clickOption(C::optFileFormat, 3);
                      m.setSliderValue(C::sliderOGG, -2);
                      m.setComboIndex(C::cmbOGGVBitrate, 8);
                  },
                  given));

    // The OGG mode follows the stored setting: constant bitrate takes the bitrate into --managed.
    cli.store("optOGGCBR", "True");
    cli.store("optOGGVBR", "False");
    std::filesystem::remove(out);
    EXPECT_EQ(encoderArguments("oggenc", {"-f", "ogg", "--bitrate", "320"}),
              (Arguments{"--managed", "-b", "320", "-", "-o", given}));
}

TEST_F(ConvertOptionsTest, StoredSettingsAreTheDefaultsOfARun)
{
    cli.store("optFileFormat", "3");
    cli.store("sliderOGG", "5");
    cli.store("cmbOGGVBitrate", "2");
    const auto out = (cli.out() / "tone.ogg").string();
    // The encoder writes the job's private file, named inside the private folder it runs in.
    const std::string given = ".partial.ogg";
    EXPECT_EQ(encoderArguments("oggenc", {}), (Arguments{"-b", "256", "--quality", "5", "-", "-o", given}));
    std::filesystem::remove(out);
    EXPECT_EQ(encoderArguments("oggenc", {"-j", "3", "--no-tags", "--ogg-quality", "0"}),
              (Arguments{"-b", "256", "--quality", "0", "-", "-o", given}));
}

TEST_F(ConvertOptionsTest, OutputFolderOptions)
{
    const auto other = cli.dir() / "elsewhere";
    const auto result = cli.run({"convert", "-f", "ogg", "-o", other.string(), source});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(std::filesystem::exists(other / "tone.ogg"));

    const auto beside = cli.run({"convert", "-f", "ogg", "--same-folder", source});
    EXPECT_EQ(beside.exitCode, 0) << beside.out << beside.err;
    EXPECT_TRUE(std::filesystem::exists(cli.in("tone.ogg")));
    EXPECT_FALSE(std::filesystem::exists(cli.out()));
}

TEST_F(ConvertOptionsTest, NoStoreIsWrittenWhenThereWasNone)
{
    std::filesystem::remove(cli.storeFile());
    const auto result = cli.run({"convert", "-f", "mp3", "--bitrate", "64", "-o", cli.out().string(), source});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_FALSE(std::filesystem::exists(cli.storeFile()));
    EXPECT_EQ(cli.calls("lame").size(), 1u);
}

TEST_F(ConvertOptionsTest, UsageErrorsDoNothingAndExitTwo)
{
    const auto before = readFile(cli.storeFile());
    const std::vector<Arguments> bad{
        {"--format=vorbis"},
        {"-f", "m4a"},
        {"-f"},
        {"-j", "0"},
        {"--jobs", "two"},
        {"--bitrate", "999", "-f", "mp3"},
        {"--bitrate", "310", "-f", "mp3", "--mp3-mode", "cbr"},
        {"--bitrate", "32", "-f", "ogg"},
        {"--bitrate", "128", "-f", "wav"},
        {"--bitrate", "128", "-f", "mp3", "--mp3-mode", "vbr"},
        {"--vbr-quality", "10"},
        {"--encoder-quality", "-1"},
        {"--ogg-quality", "-3"},
        {"--ogg-quality", "2.5"},
        {"--wma-quality", "101"},
        {"--flac-level", "9"},
        {"--flac-level", "-1"},
        {"--opus-bitrate", "999"},
        {"--opus-bitrate", "31"},
        {"--aac-bitrate", "63"},
        {"--aac-bitrate", "321"},
        {"--aac-bitrate", "high"},
        {"--stereo", "surround"},
        {"--resample", "44"},
        {"--mp3-mode", "xbr"},
        {"--normalize", "loud"},
        {"--normalize"},
        {"--target-lufs", "-31"},
        {"--target-lufs", "-9"},
        {"--target-lufs", "-18.5"},
        {"-o", cli.out().string(), "--same-folder"},
        {"--unknown"},
        {"-x"},
    };
    for (auto arguments : bad) {
        arguments.insert(arguments.begin(), "convert");
        arguments.push_back(source);
        const auto result = cli.run(arguments);
        std::string shown;
        for (const auto& a : arguments)
            shown += a + " ";
        EXPECT_EQ(result.exitCode, 2) << shown << result.out << result.err;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(lines(result.err).size(), 1u) << shown << result.err;
        EXPECT_EQ(result.err.rfind("tunevale-cli convert: ", 0), 0u) << shown << result.err;
    }
    EXPECT_EQ(cli.run({"convert"}).exitCode, 2);
    EXPECT_EQ(cli.run({"convert", "--selected"}).exitCode, 2);
    EXPECT_TRUE(cli.calls("lame").empty());
    EXPECT_TRUE(cli.calls("oggenc").empty());
    EXPECT_FALSE(std::filesystem::exists(cli.out()));
    EXPECT_EQ(readFile(cli.storeFile()), before);
}

} // namespace
} // namespace tunevale::test
