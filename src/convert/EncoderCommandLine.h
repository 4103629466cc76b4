#pragma once

#include "Engine.h"

#include <string>

namespace tunevale
{

// MP3 options as the settings panel holds them: the texts of its drop-down lists and its slider values.
struct Mp3EncoderOptions {
    enum class Mode { ConstantBitrate, AverageBitrate, VariableBitrate };
    Mode mode = Mode::ConstantBitrate;
    std::string constantBitrate = "128 Kbps"; // text of cmbMP3CBitrate
    std::string averageBitrate = "128 Kbps";  // text of cmbMP3ABitrate
    std::string stereoMode = "Joint Stereo";  // text of cmbMP3StereoMode
    std::string frequency = "Auto Sampling";  // text of cmbMP3Freq
    int vbrQuality = 5;                       // value of SliderMP3VBR, 0 to 9
    int encoderQuality = 5;                   // value of SliderMP3EncoderQuality, 0 to 9
};

// OGG options: optOGGVBR, the texts of the two bitrate lists and the value of sliderOGG (-2 to 10).
struct OggEncoderOptions {
    bool variable = true;                     // optOGGVBR
    std::string constantBitrate = "128 Kbps"; // text of cmbOGGCBitrate
    std::string variableBitrate = "128 Kbps"; // text of cmbOGGVBitrate
    int quality = 3;
};

// An encoder's program and arguments, and the same command as one line for logs and comparisons
// (the output path in double quotes).
struct EncoderCommandLine {
    EncoderCommand command;
    std::string display;
};

EncoderCommandLine mp3CommandLine(const Mp3EncoderOptions& options, const std::string& outFile);
// The fixed "Ipod Default" preset: MP3 at 128 kbit/s constant bitrate, stereo, 44.1 kHz.
EncoderCommandLine ipodDefaultCommandLine(const std::string& outFile);
EncoderCommandLine oggCommandLine(const OggEncoderOptions& options, const std::string& outFile);

// The leading decimal number of a list text in its shortest form: "44.1 KHz" gives "44.1",
// "128 Kbps" gives "128", a text that starts with no digit ("Auto Sampling") gives "0".
std::string leadingNumber(const std::string& text);

} // namespace tunevale
