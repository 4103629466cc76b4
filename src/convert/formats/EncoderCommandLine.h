#pragma once

#include "Engine.h"

#include <string>

namespace tunevale
{

// MP3 options as numbers, read once from the settings panel's lists and sliders.
struct Mp3EncoderOptions {
    enum class Mode { ConstantBitrate, AverageBitrate, VariableBitrate };
    Mode mode = Mode::ConstantBitrate;
    int constantKbps = 128; // cmbMP3CBitrate
    int averageKbps = 128;  // cmbMP3ABitrate
    char stereoMode = 'j';  // first letter of cmbMP3StereoMode, lower case; 0 when none is chosen
    int resampleHz = 0;     // cmbMP3Freq; 0 for "Auto Sampling"
    int vbrQuality = 5;     // SliderMP3VBR, 0 to 9
    int encoderQuality = 5; // SliderMP3EncoderQuality, 0 to 9
};

// OGG options: optOGGVBR, the two bitrate lists and sliderOGG (-2 to 10).
struct OggEncoderOptions {
    bool variable = true;   // optOGGVBR
    int constantKbps = 128; // cmbOGGCBitrate
    int variableKbps = 128; // cmbOGGVBitrate
    int quality = 3;
};

// The lowest quality the oggenc of Linux distributions accepts: the slider's -2 passes this.
inline constexpr int kLowestOggencQuality = -1;

// An encoder's program and arguments, and the same command as one line for logs and comparisons
// (the output path in double quotes). The output is the path the encoder writes: in a run, the
// job's hidden file in its private folder, which the encoder runs in (see PendingOutputFile), so
// the line names that file, never the output's final name.
struct EncoderCommandLine {
    EncoderCommand command;
    std::string display;
};

EncoderCommandLine mp3CommandLine(const Mp3EncoderOptions& options, const std::string& outFile);
// The fixed "Ipod Default" preset: MP3 at 128 kbit/s constant bitrate, stereo, 44.1 kHz.
EncoderCommandLine ipodDefaultCommandLine(const std::string& outFile);
EncoderCommandLine oggCommandLine(const OggEncoderOptions& options, const std::string& outFile);

// The leading decimal number of a list text in its shortest form: "44.1 KHz" gives "44.1",
// "128 Kbps" gives "128", a text that starts with no digit ("Auto Sampling") gives "0". Read
// without the user's locale: the point is the decimal separator.
std::string leadingNumber(const std::string& text);
// The leading number of a list text as a value: "44.1 KHz" gives 44.1, "Auto Sampling" 0.
double leadingValue(const std::string& text);

// A sample rate in Hz as the encoder's kHz text: 44100 gives "44.1", 8000 "8", 0 "0".
std::string kiloHertzText(int hertz);

} // namespace tunevale
