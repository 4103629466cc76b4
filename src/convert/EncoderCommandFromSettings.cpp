#include "EncoderCommandFromSettings.h"

#include "OutputSettings.h"

namespace tunevale
{

namespace
{

bool formatOn(const OutputSettings& settings, FileFormat format)
{
    return settings.optFileFormat[static_cast<std::size_t>(format)].value;
}

} // namespace

std::optional<EncoderCommandLine> encoderCommandFromSettings(const OutputSettings& settings, const std::string& outFile)
{
    if (formatOn(settings, FileFormat::MP3)) {
        Mp3EncoderOptions options;
        options.mode = settings.optMP3CBR.value   ? Mp3EncoderOptions::Mode::ConstantBitrate
                       : settings.optMP3ABR.value ? Mp3EncoderOptions::Mode::AverageBitrate
                                                  : Mp3EncoderOptions::Mode::VariableBitrate;
        options.constantBitrate = settings.cmbMP3CBitrate.text();
        options.averageBitrate = settings.cmbMP3ABitrate.text();
        options.stereoMode = settings.cmbMP3StereoMode.text();
        options.frequency = settings.cmbMP3Freq.text();
        options.vbrQuality = settings.SliderMP3VBR.value;
        options.encoderQuality = settings.SliderMP3EncoderQuality.value;
        return mp3CommandLine(options, outFile);
    }
    if (formatOn(settings, FileFormat::Ipod))
        return ipodDefaultCommandLine(outFile);
    if (formatOn(settings, FileFormat::OGG)) {
        OggEncoderOptions options;
        options.variable = settings.optOGGVBR.value;
        options.constantBitrate = settings.cmbOGGCBitrate.text();
        options.variableBitrate = settings.cmbOGGVBitrate.text();
        options.quality = settings.sliderOGG.value;
        return oggCommandLine(options, outFile);
    }
    return std::nullopt;
}

} // namespace tunevale
