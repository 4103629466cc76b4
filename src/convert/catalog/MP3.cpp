#include "OutputFormat.h"

namespace tunevale
{

// MP3 through the lame program, as its panel sets it.
extern const OutputFormat kOutputFormatMP3{
    FileFormat::MP3, "mp3",   nullptr, "MP3", "mp3", false, OutputTagFormat::Mp3, FormatWriter::EncoderProgram, {},
    std::nullopt,    nullptr, nullptr};

} // namespace tunevale
