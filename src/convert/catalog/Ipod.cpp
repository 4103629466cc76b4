#include "OutputFormat.h"

namespace tunevale
{

// The "Ipod Default" preset: MP3 through lame at fixed settings.
extern const OutputFormat kOutputFormatIpod{FileFormat::Ipod,
                                            "ipod",
                                            "MP3 at 128 kbps, 44.1 kHz, stereo",
                                            "Ipod Default",
                                            "mp3",
                                            false,
                                            OutputTagFormat::Mp3,
                                            FormatWriter::EncoderProgram,
                                            {},
                                            std::nullopt,
                                            "iPod Default format",
                                            nullptr};

} // namespace tunevale
