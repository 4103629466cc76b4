#include "OutputFormat.h"

namespace tunevale
{

// WavPack, lossless, at the source's resolution.
extern const OutputFormat kOutputFormatWavPack{
    FileFormat::WavPack,
    "wavpack",
    nullptr,
    "WavPack",
    "wv",
    true,
    OutputTagFormat::WavPack,
    FormatWriter::FileEncoder,
    OutputCodec::WavPack,
    std::nullopt,
    "WavPack, Lossless as input",
    "Lossless: sampling rate, resolution and channels of the output file will be the same as input file"};

} // namespace tunevale
