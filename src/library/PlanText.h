#pragma once

#include "SyncPlan.h"

#include <string>

namespace tunevale
{

// The plan as a dry run prints it: a line per file with its action ("convert", "retag", "move",
// "delete", "gone", "unchanged", "user-changed", "unreadable", "copy"), the source and, where the
// output's path matters, " -> " and the output; then a line of counts per action.
std::string planText(const SyncPlan& plan);

} // namespace tunevale
