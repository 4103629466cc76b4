#pragma once

#include "DecodeOptions.h"
#include "FileInput.h"
#include "FormatFamily.h"
#include "PcmSource.h"

#include <memory>
#include <string>

namespace tunevale
{

// The decoder of an audio (or video) file, chosen by its bytes: native FLAC streams decode through
// libFLAC (FlacDecoder), everything else, and FLAC that libFLAC does not take, through FFmpeg
// (FfmpegDecoder); both deliver the same PCM. nullptr with errorCode set (an EngineCode) on
// failure; a file whose family is not in enabled fails with EngineCode::Format.
std::unique_ptr<PcmSource> openFileDecoder(std::unique_ptr<FileInput> input, const std::string& name,
                                           const FormatFamilies& enabled, int& errorCode, DecodeOptions options);
std::unique_ptr<PcmSource> openFileDecoder(const std::string& path, const FormatFamilies& enabled, int& errorCode,
                                           DecodeOptions options);

} // namespace tunevale
