#include "EncoderCommandFromSettings.h"
#include "OutputSettings.h"

#include <gtest/gtest.h>

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

TEST(EncoderCommandFromSettings, Mp3ModesFollowTheOptionsInOrder)
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

TEST(EncoderCommandFromSettings, IpodIgnoresTheMp3OptionsAndMp3ComesFirst)
{
    OutputSettings settings = withFormat(FileFormat::Ipod);
    settings.cmbMP3StereoMode.listIndex = 0;
    settings.optMP3CBR.value = false;
    EXPECT_EQ(display(settings), "lame --cbr -b 128 -m s --resample 44.1 -q 0 - \"/out/a b.mp3\"");

    settings.optFileFormat[static_cast<std::size_t>(FileFormat::MP3)].value = true;
    settings.optMP3CBR.value = true;
    EXPECT_EQ(display(settings).substr(0, 29), "lame --cbr -b 128 -m m --resa");
}

TEST(EncoderCommandFromSettings, OggVariableOrConstantAndNothingForOtherFormats)
{
    OutputSettings settings = withFormat(FileFormat::OGG);
    settings.sliderOGG.value = -2;
    EXPECT_EQ(display(settings), "oggenc -b 128 --quality -2 - -o \"/out/a b.mp3\"");
    settings.optOGGVBR.value = false;
    settings.cmbOGGCBitrate.listIndex = 0;
    EXPECT_EQ(display(settings), "oggenc --managed -b 320 - -o \"/out/a b.mp3\"");

    EXPECT_EQ(display(withFormat(FileFormat::WAV)), "(none)");
    EXPECT_EQ(display(withFormat(FileFormat::WMA)), "(none)");
}
