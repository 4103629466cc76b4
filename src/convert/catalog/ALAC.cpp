#include "OutputFormat.h"

namespace tunevale
{

// Apple Lossless in an M4A file, at the source's resolution.
extern const OutputFormat kOutputFormatALAC{
    FileFormat::ALAC,
    "alac",
    nullptr,
    "ALAC (M4A)",
    "m4a",
    true,
    OutputTagFormat::Mp4,
    FormatWriter::FileEncoder,
    OutputCodec::Alac,
    std::nullopt,
    "ALAC, Lossless as input",
    "Apple Lossless in an M4A file: sampling rate, resolution and channels of the output file will be the same as "
    "input file"};

} // namespace tunevale
