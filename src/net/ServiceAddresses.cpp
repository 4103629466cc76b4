#include "ServiceAddresses.h"

#include <cstdlib>

namespace tunevale
{

namespace
{

std::string addressFrom(const char* variable, const char* standard)
{
    const char* set = std::getenv(variable);
    std::string address = set && *set ? set : standard;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

} // namespace

std::string musicBrainzAddress()
{
    return addressFrom("TUNEVALE_MUSICBRAINZ_URL", "https://musicbrainz.org");
}

std::string coverArtAddress()
{
    return addressFrom("TUNEVALE_COVERART_URL", "https://coverartarchive.org");
}

std::string accurateRipAddress()
{
    return addressFrom("TUNEVALE_ACCURATERIP_URL", "http://www.accuraterip.com");
}

} // namespace tunevale
