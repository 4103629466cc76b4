#include "FormatFamily.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <utility>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace tunevale
{

std::optional<FormatFamily> familyOfPlugin(const std::string& file)
{
    static const std::array<std::pair<const char*, FormatFamily>, 14> plugins{{
        {"basswma.dll", FormatFamily::Wma},
        {"bass_aac.dll", FormatFamily::Aac},
        {"bassmidi.dll", FormatFamily::Midi},
        {"bass_ac3.dll", FormatFamily::Ac3},
        {"bass_alac.dll", FormatFamily::Alac},
        {"bass_ape.dll", FormatFamily::Ape},
        {"bass_mpc.dll", FormatFamily::Mpc},
        {"bass_ofr.dll", FormatFamily::OptimFrog},
        {"bass_spx.dll", FormatFamily::Speex},
        {"bass_tta.dll", FormatFamily::Tta},
        {"bassflac.dll", FormatFamily::Flac},
        {"basswv.dll", FormatFamily::WavPack},
        {"bass_adx.dll", FormatFamily::Adx},
        {"basscd.dll", FormatFamily::Cd},
    }};
    std::string name = std::filesystem::path(file).filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto& [plugin, family] : plugins)
        if (name == plugin)
            return family;
    return std::nullopt;
}

bool familyAvailable(FormatFamily family)
{
    return family != FormatFamily::OptimFrog && family != FormatFamily::Count;
}

FormatFamily familyOfCodec(int codecId)
{
    switch (static_cast<AVCodecID>(codecId)) {
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMALOSSLESS:
    case AV_CODEC_ID_WMAVOICE:
        return FormatFamily::Wma;
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
        return FormatFamily::Aac;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
        return FormatFamily::Ac3;
    case AV_CODEC_ID_ALAC:
        return FormatFamily::Alac;
    case AV_CODEC_ID_APE:
        return FormatFamily::Ape;
    case AV_CODEC_ID_MUSEPACK7:
    case AV_CODEC_ID_MUSEPACK8:
        return FormatFamily::Mpc;
    case AV_CODEC_ID_SPEEX:
        return FormatFamily::Speex;
    case AV_CODEC_ID_TTA:
        return FormatFamily::Tta;
    case AV_CODEC_ID_FLAC:
        return FormatFamily::Flac;
    case AV_CODEC_ID_WAVPACK:
        return FormatFamily::WavPack;
    case AV_CODEC_ID_ADPCM_ADX:
        return FormatFamily::Adx;
    default:
        return FormatFamily::Base;
    }
}

} // namespace tunevale
