#include "FormatWriters.h"

#include "EncoderCommandFromSettings.h"
#include "Mp3OggWriter.h"
#include "OutputSettings.h"
#include "WavWriter.h"
#include "WmaWriter.h"

namespace tunevale
{

std::string outputExtension(FileFormat format)
{
    switch (format) {
    case FileFormat::WAV:
        return "wav";
    case FileFormat::WMA:
        return "wma";
    case FileFormat::OGG:
        return "ogg";
    case FileFormat::MP3:
    case FileFormat::Ipod:
        break;
    }
    return "mp3";
}

FormatWriters::FormatWriters(Engine& engine, ErrorLog& log, std::array<std::string, 8> wmaTagNames,
                             WmaBitrateListView* bitrateView)
    : m_engine(engine), m_log(log), m_wmaTagNames(std::move(wmaTagNames)), m_bitrateView(bitrateView)
{
}

std::optional<JobOutcome> FormatWriters::convert(const OutputSettings& settings, FileFormat format,
                                                 const std::string& origfile, const std::string& outFile,
                                                 JobContext& context)
{
    switch (format) {
    case FileFormat::WAV:
        return ConvertToWAV(m_engine, context, origfile, outFile);
    case FileFormat::WMA: {
        WmaOptions options;
        options.quality = settings.sliderWMA.value;
        options.setTags = settings.chkWMAFileTags.value;
        for (std::size_t i = 0; i < options.tags.size(); ++i)
            options.tags[i] = settings.txtWMATags[i].text;
        options.tagNames = m_wmaTagNames;
        options.bitrateView = m_bitrateView;
        return ConvertToWMA(m_engine, context, origfile, outFile, options);
    }
    case FileFormat::MP3:
    case FileFormat::OGG:
    case FileFormat::Ipod:
        break;
    }
    const std::optional<EncoderCommandLine> command = encoderCommandFromSettings(settings, outFile);
    if (!command)
        return std::nullopt;
    return ConvertToMP3_OGG(m_engine, context, m_log, origfile, outFile, command->command);
}

} // namespace tunevale
