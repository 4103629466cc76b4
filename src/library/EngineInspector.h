#pragma once

#include "SyncPlan.h"

namespace tunevale
{

class Engine;

// Opens a source below root through the engine: its audio identity, then its tags and cover.
// nullopt when either cannot be read.
InspectSource engineInspector(Engine& engine, std::string root);

} // namespace tunevale
