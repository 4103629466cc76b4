#include "OutputFormat.h"

#include <array>
#include <cctype>

namespace tunevale
{

#define TUNEVALE_FORMAT_DECLARE(name) extern const OutputFormat kOutputFormat##name;
TUNEVALE_OUTPUT_FORMATS(TUNEVALE_FORMAT_DECLARE)
#undef TUNEVALE_FORMAT_DECLARE

namespace
{

#define TUNEVALE_FORMAT_ENTRY(name) &kOutputFormat##name,
const std::array<const OutputFormat*, kFileFormatCount> kFormats{TUNEVALE_OUTPUT_FORMATS(TUNEVALE_FORMAT_ENTRY)};
#undef TUNEVALE_FORMAT_ENTRY

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::span<const OutputFormat* const> outputFormats()
{
    return kFormats;
}

const OutputFormat& outputFormat(FileFormat format)
{
    return *kFormats.at(static_cast<std::size_t>(format));
}

const OutputFormat* outputFormatNamed(const std::string& name)
{
    const std::string wanted = lower(name);
    for (const OutputFormat* format : kFormats)
        if (wanted == format->cliName)
            return format;
    return nullptr;
}

std::string formatSummary(const OutputFormat& format, int optionValue)
{
    std::string text = format.summary ? format.summary : format.caption;
    if (const auto at = text.find("%d"); at != std::string::npos)
        text.replace(at, 2, std::to_string(optionValue));
    return text;
}

} // namespace tunevale
