#include "OutputFormat.h"

namespace tunevale
{

// FLAC at the source's resolution, with its compression level.
extern const OutputFormat kOutputFormatFLAC{
    FileFormat::FLAC,
    "flac",
    nullptr,
    "FLAC",
    "flac",
    true,
    OutputTagFormat::Flac,
    FormatWriter::FileEncoder,
    OutputCodec::Flac,
    FormatOption{"sliderFLACLevel", "flac-level", "Compression Level:", "Faster", "Smaller File",
                 "FLAC compression level, 0 (fastest) to 8 (smallest files).", EncodeLimits::FlacLevelMin,
                 EncodeLimits::FlacLevelMax, EncodeLimits::FlacLevelDefault},
    "FLAC,Compression Level=%d",
    "Lossless: sampling rate, resolution and channels of the output file will be the same as input file"};

} // namespace tunevale
