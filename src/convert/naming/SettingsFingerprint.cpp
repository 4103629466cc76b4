#include "SettingsFingerprint.h"

#include <sstream>

namespace tunevale
{

std::string outputSettingsFingerprint(const ConversionOptions& options)
{
    if (!options.format)
        return {};
    std::ostringstream text;
    text << "format=" << static_cast<int>(*options.format) << ";tags=" << options.carryTags;
    if (const auto encoder = encoderCommand(options, "OUTPUT")) {
        text << ";encoder=" << encoder->command.program;
        for (const auto& argument : encoder->command.arguments)
            text << ' ' << argument;
    }
    if (*options.format == FileFormat::WMA)
        text << ";wma=" << options.wma.quality;
    if (outputFormat(*options.format).option)
        text << ";option=" << options.formatOption[static_cast<std::size_t>(*options.format)];
    text << ";gain=" << options.replayGain << options.truePeak << ";normalize=" << static_cast<int>(options.normalize);
    if (options.normalize != NormalizeChoice::Off)
        text << '@' << options.targetLufs;
    return text.str();
}

} // namespace tunevale
