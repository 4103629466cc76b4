#pragma once

#include "Engine.h"
#include "PcmFormat.h"
#include "SourceTags.h"
#include "TrackLoudness.h"

#include <atomic>
#include <functional>
#include <string>

namespace tunevale
{

// One file measured through the engine.
struct FileLoudness {
    int error = EngineCode::Ok; // the engine's code when the file did not open or broke off
    bool stopped = false;       // the stop flag was raised before the end
    TrackLoudness loudness;     // of the whole file, when error is Ok and it was not stopped
    SourceTags tags;            // the source's tags (for its album), when it opened
    double seconds = 0;         // the decoded length

    bool measured() const { return error == EngineCode::Ok && !stopped; }
};

// The sample layout of an engine channel's PCM.
PcmFormat pcmFormatOf(const ChannelInfo& info);

// The percentage of a file measured so far.
using MeasureProgress = std::function<void(float percent)>;

// Decodes the file (a tracker module too) and measures all of it. Thread-safe as the engine is;
// stop is read and progress (when given) told between chunks.
FileLoudness measureFile(Engine& engine, const std::string& path, PeakKind peakKind, const std::atomic<bool>& stop,
                         const MeasureProgress& progress = {});

} // namespace tunevale
