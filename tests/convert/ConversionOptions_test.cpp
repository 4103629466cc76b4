#include "ConversionOptions.h"
#include "OutputSettings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

using namespace tunevale;

namespace
{

OutputSettings withFormat(FileFormat format)
{
    OutputSettings settings = designOutputSettings("/out");
    for (auto& option : settings.optFileFormat)
        option.value = false;
    settings.optFileFormat[static_cast<std::size_t>(format)].value = true;
    return settings;
}

std::string display(const OutputSettings& settings)
{
    const auto line = encoderCommandFromSettings(settings, "/out/a b.mp3");
    return line ? line->display : "(none)";
}

} // namespace

TEST(ConversionOptions, Mp3ModesFollowTheOptionsInOrder)
{
    OutputSettings settings = withFormat(FileFormat::MP3);
    EXPECT_EQ(display(settings), "lame --cbr -b 128 -m j --resample 0 -q 4 - \"/out/a b.mp3\"");

    settings.optMP3CBR.value = false;
    settings.optMP3ABR.value = true;
    settings.cmbMP3ABitrate.listIndex = 0;
    EXPECT_EQ(display(settings), "lame --abr 310 -m j --resample 0 -q 4 - \"/out/a b.mp3\"");

    // Neither constant nor average: variable bitrate, whatever optMP3VBR holds.
    settings.optMP3ABR.value = false;
    settings.optMP3VBR.value = false;
    settings.SliderMP3VBR.value = 7;
    settings.SliderMP3EncoderQuality.value = 9;
    settings.cmbMP3StereoMode.listIndex = 3;
    settings.cmbMP3Freq.listIndex = 8;
    EXPECT_EQ(display(settings), "lame -V 2 -m f --resample 44.1 -q 0 - \"/out/a b.mp3\"");
}

TEST(ConversionOptions, IpodIgnoresTheMp3OptionsAndMp3ComesFirst)
{
    OutputSettings settings = withFormat(FileFormat::Ipod);
    settings.cmbMP3StereoMode.listIndex = 0;
    settings.optMP3CBR.value = false;
    EXPECT_EQ(display(settings), "lame --cbr -b 128 -m s --resample 44.1 -q 0 - \"/out/a b.mp3\"");

    settings.optFileFormat[static_cast<std::size_t>(FileFormat::MP3)].value = true;
    settings.optMP3CBR.value = true;
    EXPECT_EQ(display(settings).substr(0, 29), "lame --cbr -b 128 -m m --resa");
}

TEST(ConversionOptions, OggVariableOrConstantAndNothingForOtherFormats)
{
    OutputSettings settings = withFormat(FileFormat::OGG);
    settings.sliderOGG.value = 10;
    EXPECT_EQ(display(settings), "oggenc -b 128 --quality 10 - -o \"/out/a b.mp3\"");
    // The slider's lowest position passes the lowest quality oggenc accepts.
    settings.sliderOGG.value = -2;
    EXPECT_EQ(display(settings), "oggenc -b 128 --quality -1 - -o \"/out/a b.mp3\"");
    settings.optOGGVBR.value = false;
    settings.cmbOGGCBitrate.listIndex = 0;
    EXPECT_EQ(display(settings), "oggenc --managed -b 320 - -o \"/out/a b.mp3\"");

    EXPECT_EQ(display(withFormat(FileFormat::WAV)), "(none)");
    EXPECT_EQ(display(withFormat(FileFormat::WMA)), "(none)");
}

TEST(ConversionOptions, ListTextsBecomeNumbersWhateverTheLocale)
{
    // A desktop with a decimal comma must still pass 44.1 kHz, not 44: a German locale is built for
    // the test, as the machine may have none.
    test::TempDir locales;
    ASSERT_EQ(
        test::runProgram({"localedef", "-i", "de_DE", "-f", "UTF-8", (locales / "de_DE.UTF-8").string()}).exitCode, 0);
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    ASSERT_EQ(std::strtod("44.1", nullptr), 44.0) << "the locale reads a comma";
    OutputSettings settings = withFormat(FileFormat::MP3);
    settings.cmbMP3Freq.listIndex = 8; // "44.1 KHz"
    const ConversionOptions options = conversionOptions(settings);
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    EXPECT_EQ(options.mp3.resampleHz, 44100);
    EXPECT_EQ(options.mp3.constantKbps, 128);

    const std::vector<std::pair<int, char>> stereo{{0, 'm'}, {1, 's'}, {2, 'j'}, {3, 'f'}, {4, 'd'}};
    for (const auto& [index, letter] : stereo) {
        settings.cmbMP3StereoMode.listIndex = index;
        EXPECT_EQ(conversionOptions(settings).mp3.stereoMode, letter) << settings.cmbMP3StereoMode.text();
    }
}

TEST(ConversionOptions, ARunKeepsTheOptionsItStartedWith)
{
    OutputSettings settings = withFormat(FileFormat::WMA);
    settings.sliderWMA.value = 80;
    settings.chkWMAFileTags.value = true;
    settings.txtWMATags[0].text = "Title";
    const ConversionOptions options = conversionOptions(settings, {"WM/Title"});
    settings.sliderWMA.value = 10;
    settings.txtWMATags[0].text = "Changed";
    settings.optFileFormat[static_cast<std::size_t>(FileFormat::WMA)].value = false;
    EXPECT_EQ(options.format, FileFormat::WMA);
    EXPECT_EQ(options.wma.quality, 80);
    EXPECT_EQ(options.wma.tags[0], "Title");
    EXPECT_EQ(options.wma.tagNames[0], "WM/Title");
    EXPECT_EQ(outputExtension(FileFormat::Ipod), "mp3");
}
