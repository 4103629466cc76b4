#pragma once

#include <atomic>

namespace tunevale
{

// The run's two flags, shared by the driver, the convert buttons and the writers' job contexts.
// Atomic so that writers may later run on worker threads.
struct ConversionFlags {
    std::atomic<bool> bConverting{false};       // a run is inside ConvertFiles
    std::atomic<bool> bCancelConversion{false}; // "Stop" was clicked
};

} // namespace tunevale
