#include "OutputFormat.h"

namespace tunevale
{

// RIFF WAV, written by Tunevale itself at the 16-bit (or 8-bit) PCM the engine delivers.
extern const OutputFormat kOutputFormatWAV{FileFormat::WAV,
                                           "wav",
                                           nullptr,
                                           "WAV",
                                           "wav",
                                           false,
                                           OutputTagFormat::Wav,
                                           FormatWriter::Wav,
                                           {},
                                           std::nullopt,
                                           "WAV, Bitrate will be as input",
                                           nullptr};

} // namespace tunevale
