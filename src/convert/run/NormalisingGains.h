#pragma once

#include "AlbumGrouping.h"
#include "OutputSettings.h"
#include "TrackLoudness.h"

#include <optional>
#include <vector>

namespace tunevale
{

// What the measuring pass before a normalised run found of one job's source.
struct MeasuredSource {
    AlbumKey album;                        // the source's path and album tags
    std::optional<TrackLoudness> loudness; // none when it could not be measured
};

// The gain in dB the engine applies to each job's audio so that it plays at the target loudness,
// lowered where needed so that its true peak stays at or below -1 dBTP. Track: each job's own.
// Album: one gain for all the jobs of an album (measured over them together, the quieter tracks
// staying quieter), each lone job its own. A source that could not be measured gets 0 dB.
std::vector<double> normalisingGains(const std::vector<MeasuredSource>& sources, NormalizeChoice choice,
                                     double targetLufs);

} // namespace tunevale
