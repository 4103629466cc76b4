#include "OutputFormat.h"

namespace tunevale
{

// OGG Vorbis through the oggenc program.
extern const OutputFormat kOutputFormatOGG{
    FileFormat::OGG, "ogg",   nullptr, "OGG", "ogg", false, OutputTagFormat::Ogg, FormatWriter::EncoderProgram, {},
    std::nullopt,    nullptr, nullptr};

} // namespace tunevale
