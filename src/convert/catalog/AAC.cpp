#include "OutputFormat.h"

namespace tunevale
{

// AAC-LC in an M4A file.
extern const OutputFormat kOutputFormatAAC{
    FileFormat::AAC,
    "aac",
    nullptr,
    "AAC (M4A)",
    "m4a",
    false,
    OutputTagFormat::Mp4,
    FormatWriter::FileEncoder,
    OutputCodec::Aac,
    FormatOption{"sliderAACBitrate", "aac-bitrate", "Bitrate (Kbps):", "Smaller File", "Higher Quality",
                 "AAC bitrate in kbit/s, 64 to 320.", EncodeLimits::AacKbpsMin, EncodeLimits::AacKbpsMax,
                 EncodeLimits::AacKbpsDefault},
    "AAC,Bitrate %d Kbps",
    "AAC-LC in an M4A file: sampling rate (up to 48 KHz) and channels the same as input file"};

} // namespace tunevale
