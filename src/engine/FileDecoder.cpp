#include "FileDecoder.h"

#include "Engine.h"
#include "FfmpegDecoder.h"
#include "FlacDecoder.h"

namespace tunevale
{

std::unique_ptr<PcmSource> openFileDecoder(std::unique_ptr<FileInput> input, const std::string& name,
                                           const FormatFamilies& enabled, int& errorCode, DecodeOptions options)
{
    if (FlacDecoder::looksLikeFlac(*input)) {
        if (!enabled[static_cast<std::size_t>(FormatFamily::Flac)]) {
            errorCode = EngineCode::Format;
            return nullptr;
        }
        if (auto flac = FlacDecoder::open(input, options)) {
            errorCode = EngineCode::Ok;
            return flac;
        }
    }
    return FfmpegDecoder::open(std::move(input), name, enabled, errorCode, options);
}

std::unique_ptr<PcmSource> openFileDecoder(const std::string& path, const FormatFamilies& enabled, int& errorCode,
                                           DecodeOptions options)
{
    auto input = FileInput::open(path, errorCode);
    if (!input)
        return nullptr;
    return openFileDecoder(std::move(input), path, enabled, errorCode, options);
}

} // namespace tunevale
