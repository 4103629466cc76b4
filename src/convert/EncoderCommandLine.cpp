#include "EncoderCommandLine.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

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

std::string modeLetter(const std::string& stereoMode)
{
    if (stereoMode.empty())
        return {};
    return std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(stereoMode.front()))));
}

std::vector<std::string> mp3TailArguments(const Mp3EncoderOptions& options)
{
    return {"-m",         modeLetter(options.stereoMode),
            "--resample", leadingNumber(options.frequency),
            "-q",         std::to_string(9 - options.encoderQuality),
            "-"};
}

} // namespace

std::string leadingNumber(const std::string& text)
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
        return "0";
    const double value = std::strtod(text.substr(begin, end - begin).c_str(), nullptr);
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

EncoderCommandLine mp3CommandLine(const Mp3EncoderOptions& options, const std::string& outFile)
{
    std::vector<std::string> arguments;
    switch (options.mode) {
    case Mp3EncoderOptions::Mode::ConstantBitrate:
        arguments = {"--cbr", "-b", leadingNumber(options.constantBitrate)};
        break;
    case Mp3EncoderOptions::Mode::AverageBitrate:
        arguments = {"--abr", leadingNumber(options.averageBitrate)};
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
        return makeCommandLine(
            "oggenc",
            {"-b", leadingNumber(options.variableBitrate), "--quality", std::to_string(options.quality), "-", "-o"},
            outFile);
    return makeCommandLine("oggenc", {"--managed", "-b", leadingNumber(options.constantBitrate), "-", "-o"}, outFile);
}

} // namespace tunevale
