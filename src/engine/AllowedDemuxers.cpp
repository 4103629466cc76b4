#include "AllowedDemuxers.h"

#include <algorithm>
#include <iterator>

namespace tunevale
{

bool isAllowedDemuxer(std::string_view name)
{
    static constexpr std::string_view allowed[] = {// Uncompressed and lossless audio
                                                   "wav", "w64", "aiff", "au", "caf", "voc", "ircam", "nistsphere",
                                                   "flac", "ape", "tta", "tak", "wv", "shn", "mlp", "truehd", "dsf",
                                                   // Lossy audio
                                                   "mp3", "ogg", "aac", "loas", "ac3", "eac3", "dts", "dtshd", "mpc",
                                                   "mpc8", "adx", "amr", "amrnb", "amrwb", "xwma", "asf",
                                                   // Containers of videos and their sound tracks
                                                   "mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm", "avi", "mpeg", "mpegts",
                                                   "flv", "rm", "nut"};
    return std::ranges::find(allowed, name) != std::end(allowed);
}

} // namespace tunevale
