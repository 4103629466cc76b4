#include "OutputFormat.h"

namespace tunevale
{

// Ogg Opus, variable bitrate, at the 48 kHz that Opus always plays at.
extern const OutputFormat kOutputFormatOpus{
    FileFormat::Opus,
    "opus",
    nullptr,
    "Opus",
    "opus",
    false,
    OutputTagFormat::OggOpus,
    FormatWriter::FileEncoder,
    OutputCodec::Opus,
    FormatOption{"sliderOpusBitrate", "opus-bitrate", "Variable Bitrate (Kbps):", "Smaller File", "Higher Quality",
                 "Opus variable bitrate in kbit/s, 32 to 256.", EncodeLimits::OpusKbpsMin, EncodeLimits::OpusKbpsMax,
                 EncodeLimits::OpusKbpsDefault},
    "Opus,Variable Bitrate %d Kbps",
    "Ogg Opus: sampling rate 48 KHz, channels the same as input file"};

} // namespace tunevale
