#pragma once

#include "OnlineDisc.h"

#include <string>

namespace tunevale
{

// Looks a disc up from the command line over Qt Network, one request a second per host, each given
// a few seconds to answer.
OnlineDisc lookUpDiscOnline(const DiscToc& toc);

// "MusicBrainz: <release id>\t<artist> - <album>" when found, else "MusicBrainz: not found" or
// "MusicBrainz: not checked (WHY)"; the texts escaped for the terminal.
std::string releaseLine(const ReleaseLookup& release);

} // namespace tunevale
