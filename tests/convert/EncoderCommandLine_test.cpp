#include "EncoderCommandLine.h"

#include <gtest/gtest.h>

using namespace tunevale;

namespace
{

using Args = std::vector<std::string>;

Mp3EncoderOptions mp3(Mp3EncoderOptions::Mode mode)
{
    Mp3EncoderOptions options;
    options.mode = mode;
    return options;
}

} // namespace

TEST(EncoderCommandLine, LeadingNumberOfListTexts)
{
    EXPECT_EQ(leadingNumber("44.1 KHz"), "44.1");
    EXPECT_EQ(leadingNumber("11.025 KHz"), "11.025");
    EXPECT_EQ(leadingNumber("22.05 KHz"), "22.05");
    EXPECT_EQ(leadingNumber("8 KHz"), "8");
    EXPECT_EQ(leadingNumber("128 Kbps"), "128");
    EXPECT_EQ(leadingNumber("310 Kbps"), "310");
    EXPECT_EQ(leadingNumber("Auto Sampling"), "0");
    EXPECT_EQ(leadingNumber(""), "0");
    EXPECT_EQ(leadingNumber("48.0 KHz"), "48");
    EXPECT_EQ(leadingNumber("1.2.3"), "1.2");
    EXPECT_EQ(leadingValue("22.05 KHz"), 22.05);
    EXPECT_EQ(kiloHertzText(44100), "44.1");
    EXPECT_EQ(kiloHertzText(11025), "11.025");
    EXPECT_EQ(kiloHertzText(8000), "8");
    EXPECT_EQ(kiloHertzText(0), "0");
}

TEST(EncoderCommandLine, Mp3ConstantBitrateExample)
{
    Mp3EncoderOptions options = mp3(Mp3EncoderOptions::Mode::ConstantBitrate);
    options.constantKbps = 192;
    options.stereoMode = 'j';
    options.resampleHz = 44100;
    options.encoderQuality = 7;
    const auto line = mp3CommandLine(options, "/home/u/Converted Files/song.mp3");
    EXPECT_EQ(line.display, "lame --cbr -b 192 -m j --resample 44.1 -q 2 - \"/home/u/Converted Files/song.mp3\"");
    EXPECT_EQ(line.command.program, "lame");
    EXPECT_EQ(line.command.arguments, (Args{"--cbr", "-b", "192", "-m", "j", "--resample", "44.1", "-q", "2", "-",
                                            "/home/u/Converted Files/song.mp3"}));
}

TEST(EncoderCommandLine, Mp3AverageAndVariableBitrate)
{
    Mp3EncoderOptions average = mp3(Mp3EncoderOptions::Mode::AverageBitrate);
    average.averageKbps = 310;
    average.constantKbps = 32; // not read in this mode
    average.resampleHz = 0;
    average.encoderQuality = 9;
    EXPECT_EQ(mp3CommandLine(average, "/o/a.mp3").display, "lame --abr 310 -m j --resample 0 -q 0 - \"/o/a.mp3\"");

    Mp3EncoderOptions variable = mp3(Mp3EncoderOptions::Mode::VariableBitrate);
    variable.vbrQuality = 0;
    variable.encoderQuality = 0;
    variable.resampleHz = 11025;
    EXPECT_EQ(mp3CommandLine(variable, "/o/v.mp3").display, "lame -V 9 -m j --resample 11.025 -q 9 - \"/o/v.mp3\"");
    variable.vbrQuality = 9;
    EXPECT_EQ(mp3CommandLine(variable, "/o/v.mp3").command.arguments[1], "0");
}

TEST(EncoderCommandLine, StereoModeLetters)
{
    for (const char letter : {'m', 's', 'j', 'f', 'd'}) {
        Mp3EncoderOptions options;
        options.stereoMode = letter;
        const auto arguments = mp3CommandLine(options, "/o/x.mp3").command.arguments;
        EXPECT_EQ(arguments[3], "-m");
        EXPECT_EQ(arguments[4], std::string(1, letter));
    }
    // No mode chosen in the list: an empty argument, as the list's empty text gives.
    Mp3EncoderOptions none;
    none.stereoMode = '\0';
    EXPECT_EQ(mp3CommandLine(none, "/o/x.mp3").command.arguments[4], "");
}

TEST(EncoderCommandLine, IpodDefaultIgnoresMp3Options)
{
    const auto line = ipodDefaultCommandLine("/o/i.mp3");
    EXPECT_EQ(line.display, "lame --cbr -b 128 -m s --resample 44.1 -q 0 - \"/o/i.mp3\"");
    EXPECT_EQ(line.command.arguments.back(), "/o/i.mp3");
}

TEST(EncoderCommandLine, OggVariableAndConstantBitrate)
{
    OggEncoderOptions options;
    options.variable = true;
    options.variableKbps = 192;
    options.constantKbps = 64;
    options.quality = -1;
    const auto variable = oggCommandLine(options, "/o/v.ogg");
    EXPECT_EQ(variable.display, "oggenc -b 192 --quality -1 - -o \"/o/v.ogg\"");
    EXPECT_EQ(variable.command.program, "oggenc");
    EXPECT_EQ(variable.command.arguments, (Args{"-b", "192", "--quality", "-1", "-", "-o", "/o/v.ogg"}));
    // oggenc refuses -2: the lowest it takes is passed instead.
    options.quality = -2;
    EXPECT_EQ(oggCommandLine(options, "/o/v.ogg").command.arguments[3], "-1");

    options.variable = false;
    const auto constant = oggCommandLine(options, "/o/c.ogg");
    EXPECT_EQ(constant.display, "oggenc --managed -b 64 - -o \"/o/c.ogg\"");
    EXPECT_EQ(constant.command.arguments, (Args{"--managed", "-b", "64", "-", "-o", "/o/c.ogg"}));
}

TEST(EncoderCommandLine, OddOutputPathsStayOneArgument)
{
    const std::string path = "/o/a \"b\" $(touch x) `id` ünï.mp3";
    const auto line = ipodDefaultCommandLine(path);
    EXPECT_EQ(line.command.arguments.back(), path);
    EXPECT_EQ(line.command.arguments.size(), 11u);
    EXPECT_EQ(line.display, "lame --cbr -b 128 -m s --resample 44.1 -q 0 - \"" + path + "\"");
    // A relative name starting with a dash must not read as an option.
    EXPECT_EQ(ipodDefaultCommandLine("-x.mp3").command.arguments.back(), "./-x.mp3");
    EXPECT_EQ(oggCommandLine({}, "-x.ogg").command.arguments.back(), "./-x.ogg");
}
