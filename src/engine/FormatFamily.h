#pragma once

#include <bitset>
#include <optional>
#include <string>

namespace tunevale
{

// The format families that plug-in names switch on. Base is always on.
enum class FormatFamily {
    Base,
    Wma,
    Aac,
    Midi,
    Ac3,
    Alac,
    Ape,
    Mpc,
    OptimFrog,
    Speex,
    Tta,
    Flac,
    WavPack,
    Adx,
    Cd,
    Count
};

using FormatFamilies = std::bitset<static_cast<std::size_t>(FormatFamily::Count)>;

// The family a plug-in file name enables ("bassflac.dll" -> Flac); nothing for an unknown name.
// The name may carry a folder; letter case does not matter.
std::optional<FormatFamily> familyOfPlugin(const std::string& file);

// Whether this build can decode the family at all: OptimFROG has no decoder among our libraries
// and CD tracks no CD library, so those plug-ins fail to load.
bool familyAvailable(FormatFamily family);

// The family that governs an FFmpeg codec id. Codecs no plug-in names belong to the base.
FormatFamily familyOfCodec(int codecId);

} // namespace tunevale
