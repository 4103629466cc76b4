#include "AllowedDemuxers.h"

#include <string>

namespace tunevale
{

namespace
{

// Separated and surrounded by spaces (the names themselves may hold commas).
constexpr std::string_view Allowed = " wav w64 aiff au caf voc ircam nistsphere flac ape tta tak wv shn mlp truehd dsf"
                                     " mp3 ogg aac loas ac3 eac3 dts dtshd mpc mpc8 adx amr amrnb amrwb xwma asf"
                                     " mov,mp4,m4a,3gp,3g2,mj2 matroska,webm avi mpeg mpegts flv rm nut ";

} // namespace

bool isAllowedDemuxer(std::string_view name)
{
    if (name.empty() || name.find(' ') != std::string_view::npos)
        return false;
    return Allowed.find(" " + std::string(name) + " ") != std::string_view::npos;
}

} // namespace tunevale
