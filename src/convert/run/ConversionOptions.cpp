#include "ConversionOptions.h"

#include <cctype>
#include <cmath>

namespace tunevale
{

namespace
{

int kbps(const ComboBox& list)
{
    return static_cast<int>(std::lround(leadingValue(list.text())));
}

char stereoLetter(const ComboBox& list)
{
    const std::string text = list.text();
    return text.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
}

} // namespace

ConversionOptions conversionOptions(const OutputSettings& settings, const std::array<std::string, 8>& wmaTagNames)
{
    ConversionOptions options;
    options.format = settings.chosenFormat();
    options.sameFolder = settings.optSameFolder.value;
    options.outPath = settings.txtOutPath.text;

    Mp3EncoderOptions& mp3 = options.mp3;
    mp3.mode = settings.optMP3CBR.value   ? Mp3EncoderOptions::Mode::ConstantBitrate
               : settings.optMP3ABR.value ? Mp3EncoderOptions::Mode::AverageBitrate
                                          : Mp3EncoderOptions::Mode::VariableBitrate;
    mp3.constantKbps = kbps(settings.cmbMP3CBitrate);
    mp3.averageKbps = kbps(settings.cmbMP3ABitrate);
    mp3.stereoMode = stereoLetter(settings.cmbMP3StereoMode);
    mp3.resampleHz = static_cast<int>(std::lround(leadingValue(settings.cmbMP3Freq.text()) * 1000));
    mp3.vbrQuality = settings.SliderMP3VBR.value;
    mp3.encoderQuality = settings.SliderMP3EncoderQuality.value;

    OggEncoderOptions& ogg = options.ogg;
    ogg.variable = settings.optOGGVBR.value;
    ogg.constantKbps = kbps(settings.cmbOGGCBitrate);
    ogg.variableKbps = kbps(settings.cmbOGGVBitrate);
    ogg.quality = settings.sliderOGG.value;

    options.wma.quality = settings.sliderWMA.value;
    options.wma.setTags = settings.chkWMAFileTags.value;
    for (std::size_t i = 0; i < options.wma.tags.size(); ++i)
        options.wma.tags[i] = settings.txtWMATags[i].text;
    options.wma.tagNames = wmaTagNames;
    for (std::size_t i = 0; i < options.formatOption.size(); ++i)
        options.formatOption[i] = settings.formatOption[i].value;
    options.carryTags = settings.chkCarryTags.value;

    options.keepFolders = settings.chkKeepSubFolders.value;
    options.namePattern = settings.txtNamePattern.text;
    if (settings.cmbIfExists.hasIndex(settings.cmbIfExists.listIndex))
        options.ifExists = static_cast<IfExistsChoice>(settings.cmbIfExists.listIndex);
    options.replayGain = settings.chkReplayGain.value;
    options.truePeak = settings.chkTruePeak.value;
    if (settings.cmbNormalize.hasIndex(settings.cmbNormalize.listIndex))
        options.normalize = static_cast<NormalizeChoice>(settings.cmbNormalize.listIndex);
    options.targetLufs = settings.sliderTargetLufs.value;
    return options;
}

std::string outputExtension(FileFormat format)
{
    return outputFormat(format).extension;
}

EncodeSetup encodeSetup(const ConversionOptions& options, FileFormat format)
{
    const OutputFormat& described = outputFormat(format);
    EncodeSetup setup;
    setup.codec = described.codec;
    setup.container = defaultContainer(described.codec);
    setup.verify = described.lossless;
    if (described.option) {
        const int value = options.formatOption[static_cast<std::size_t>(described.index())];
        if (described.codec == OutputCodec::Flac)
            setup.compressionLevel = value;
        else
            setup.kbps = value;
    }
    return setup;
}

std::optional<EncoderCommandLine> encoderCommand(const ConversionOptions& options, const std::string& outFile)
{
    if (!options.format)
        return std::nullopt;
    switch (*options.format) {
    case FileFormat::MP3:
        return mp3CommandLine(options.mp3, outFile);
    case FileFormat::Ipod:
        return ipodDefaultCommandLine(outFile);
    case FileFormat::OGG:
        return oggCommandLine(options.ogg, outFile);
    default:
        break;
    }
    return std::nullopt;
}

std::optional<EncoderCommandLine> encoderCommandFromSettings(const OutputSettings& settings, const std::string& outFile)
{
    return encoderCommand(conversionOptions(settings), outFile);
}

} // namespace tunevale
