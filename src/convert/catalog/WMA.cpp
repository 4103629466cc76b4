#include "OutputFormat.h"

namespace tunevale
{

// Windows Media Audio through the engine's wmav2 encoder and ASF muxer.
extern const OutputFormat kOutputFormatWMA{
    FileFormat::WMA,   "wma", nullptr,      "WMA",   "wma",  false, OutputTagFormat::Wma,
    FormatWriter::Wma, {},    std::nullopt, nullptr, nullptr};

} // namespace tunevale
