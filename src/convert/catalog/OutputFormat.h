#pragma once

#include "OutputEncoding.h"
#include "OutputFormatList.h"
#include "OutputTagFormat.h"

#include <optional>
#include <span>
#include <string>

namespace tunevale
{

// The output formats by their optFileFormat number.
enum class FileFormat {
#define TUNEVALE_FORMAT_ENUM(name) name,
    TUNEVALE_OUTPUT_FORMATS(TUNEVALE_FORMAT_ENUM)
#undef TUNEVALE_FORMAT_ENUM
};

#define TUNEVALE_FORMAT_COUNT(name) +1
inline constexpr int kFileFormatCount = 0 TUNEVALE_OUTPUT_FORMATS(TUNEVALE_FORMAT_COUNT);
#undef TUNEVALE_FORMAT_COUNT

// How a format's file is made.
enum class FormatWriter {
    Wav,            // Tunevale writes the RIFF file itself
    Wma,            // the engine's WMA encoder, with the bitrate from its list
    EncoderProgram, // an encoder program (lame, oggenc) fed through the engine's encoder bridge
    FileEncoder,    // the engine's in-process encoder of the format's codec
};

// A format's one numeric option: a slider on its panel, a stored value and a command-line option.
struct FormatOption {
    const char* storedKey;   // the name in the settings store, and the slider's name
    const char* cliOption;   // tunevale-cli convert --NAME N
    const char* caption;     // the slider's caption on the panel
    const char* lowCaption;  // below the slider's low end
    const char* highCaption; // below its high end
    const char* help;        // what the command-line option does
    int min = 0;
    int max = 0;
    int defaultValue = 0;
};

// One output format: everything the window's panel, the stored settings, the command line, the
// run and the tag writer need to know about it.
struct OutputFormat {
    FileFormat id;
    const char* cliName;   // tunevale-cli convert -f NAME
    const char* cliNote;   // said after the name in the -f help, or nullptr
    const char* caption;   // the format's choice on the panel
    const char* extension; // of the output files, without the dot
    bool lossless;         // decoded at the source's own resolution and verified after encoding
    OutputTagFormat tags;
    FormatWriter writer;
    OutputCodec codec; // FormatWriter::FileEncoder only
    std::optional<FormatOption> option;
    // The format summary line; "%d" stands for the option's value. nullptr: the settings compose
    // it from the format's own controls.
    const char* summary;
    // What the format's panel says about it (formats with a panel of their own have none).
    const char* panelText;

    int index() const { return static_cast<int>(id); }
};

// Every output format, by optFileFormat number.
std::span<const OutputFormat* const> outputFormats();
const OutputFormat& outputFormat(FileFormat format);
// The format whose command-line name is name (any case); nullptr when none is.
const OutputFormat* outputFormatNamed(const std::string& name);
// The format summary of a format with a summary text, for its option's value.
std::string formatSummary(const OutputFormat& format, int optionValue);

} // namespace tunevale
