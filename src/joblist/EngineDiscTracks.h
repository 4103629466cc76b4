#pragma once

#include "DiscTracks.h"

namespace tunevale
{

// The discs as the engine reads them: cue sheets with every format the engine decodes, and the
// drives libcdio finds.
class EngineDiscTracks final : public DiscTracks
{
public:
    bool isDisc(const std::string& path) override;
    std::vector<Track> tracks(const std::string& disc, std::string& reason) override;
    std::vector<std::string> audioDrives() override;
};

} // namespace tunevale
