#pragma once

#include <string>

namespace tunevale
{

// The base addresses of the online services the CD lookups use, without a trailing "/". Each can
// be pointed elsewhere (a mirror, a local test server) by its environment variable:
// TUNEVALE_MUSICBRAINZ_URL, TUNEVALE_COVERART_URL, TUNEVALE_ACCURATERIP_URL.
std::string musicBrainzAddress();
std::string coverArtAddress();
std::string accurateRipAddress();

} // namespace tunevale
