#include "EncoderCommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tunevale
{

namespace
{

// Builds both forms from one argument list, so that the line shown can never differ from the
// command run. The output path is the last argument and is shown in double quotes.
EncoderCommandLine makeCommandLine(const std::string& program, std::vector<std::string> arguments,
                                   const std::string& outFile)
{
    // An output name that starts with a dash would be read as an option; "./" keeps it a file name.
    const std::string outArgument = outFile.starts_with('-') ? "./" + outFile : outFile;
    EncoderCommandLine line;
    line.display = program;
    for (const auto& argument : arguments)
        line.display += ' ' + argument;
    line.display += " \"" + outArgument + '"';
    arguments.push_back(outArgument);
    line.command = EncoderCommand{program, std::move(arguments)};
    return line;
}

std::vector<std::string> mp3TailArguments(const Mp3EncoderOptions& options)
{
    return {"-m",         options.stereoMode ? std::string(1, options.stereoMode) : std::string(),
            "--resample", kiloHertzText(options.resampleHz),
            "-q",         std::to_string(9 - options.encoderQuality),
            "-"};
}

std::string shortestFixed(double value)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string leadingNumber(const std::string& text)
{
    return shortestFixed(leadingValue(text));
}

std::string kiloHertzText(int hertz)
{
    return shortestFixed(hertz / 1000.0);
}

double leadingValue(const std::string& text)
{
    std::size_t end = 0;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t'))
        ++end;
    const std::size_t begin = end;
    if (end < text.size() && (text[end] == '+' || text[end] == '-'))
        ++end;
    bool seenDigit = false;
    bool seenPoint = false;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (std::isdigit(static_cast<unsigned char>(c)))
            seenDigit = true;
        else if (c == '.' && !seenPoint)
            seenPoint = true;
        else
            break;
    }
    if (!seenDigit)
        return 0;
    // from_chars takes no '+' and never reads the user's locale (a decimal comma).
    const std::size_t from = text[begin] == '+' ? begin + 1 : begin;
    double value = 0;
    std::from_chars(text.data() + from, text.data() + end, value, std::chars_format::fixed);
    return value;
}

EncoderCommandLine mp3CommandLine(const Mp3EncoderOptions& options, const std::string& outFile)
{
    std::vector<std::string> arguments;
    switch (options.mode) {
    case Mp3EncoderOptions::Mode::ConstantBitrate:
        arguments = {"--cbr", "-b", std::to_string(options.constantKbps)};
        break;
    case Mp3EncoderOptions::Mode::AverageBitrate:
        arguments = {"--abr", std::to_string(options.averageKbps)};
        break;
    case Mp3EncoderOptions::Mode::VariableBitrate:
        arguments = {"-V", std::to_string(9 - options.vbrQuality)};
        break;
    }
    const auto tail = mp3TailArguments(options);
    arguments.insert(arguments.end(), tail.begin(), tail.end());
    return makeCommandLine("lame", std::move(arguments), outFile);
}

EncoderCommandLine ipodDefaultCommandLine(const std::string& outFile)
{
    return makeCommandLine("lame", {"--cbr", "-b", "128", "-m", "s", "--resample", "44.1", "-q", "0", "-"}, outFile);
}

EncoderCommandLine oggCommandLine(const OggEncoderOptions& options, const std::string& outFile)
{
    if (options.variable)
        return makeCommandLine("oggenc",
                               {"-b", std::to_string(options.variableKbps), "--quality",
                                std::to_string(std::max(options.quality, kLowestOggencQuality)), "-", "-o"},
                               outFile);
    return makeCommandLine("oggenc", {"--managed", "-b", std::to_string(options.constantKbps), "-", "-o"}, outFile);
}

} // namespace tunevale
