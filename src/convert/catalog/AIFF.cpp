#include "OutputFormat.h"

namespace tunevale
{

// AIFF: big-endian PCM at the source's resolution.
extern const OutputFormat kOutputFormatAIFF{
    FileFormat::AIFF,
    "aiff",
    nullptr,
    "AIFF",
    "aiff",
    true,
    OutputTagFormat::Aiff,
    FormatWriter::FileEncoder,
    OutputCodec::AiffPcm,
    std::nullopt,
    "AIFF, Lossless as input",
    "Uncompressed: sampling rate, resolution and channels of the output file will be the same as input file"};

} // namespace tunevale
