#pragma once

#include "ConsoleRun.h"
#include "ConversionOptions.h"
#include "LibraryRecords.h"
#include "SyncPlan.h"

#include <string>
#include <vector>

namespace tunevale
{

class JobReporter;
class LibraryDatabase;

// What a sync carries out its plan with.
struct SyncTarget {
    std::string source; // the source root, absolute
    std::string dest;   // the mirror, absolute
    const SyncOptions& options;
    const ConversionOptions& conversion;
    std::string runFingerprint; // the settings as the run records them on each output
    unsigned parallel = 1;
    const std::vector<OutputRecord>& rows; // the database's rows before the sync
    bool outputsKeepRecords = true;        // the mirror's file system keeps each output's OutputOrigin
};

// Carries out a plan in the mirror: outputs moved, retagged and deleted, rows of unchanged sources
// stored anew, sources converted, other files copied. Each file reaches its final name complete,
// and its row is stored after that, in transactions. Every action is reported through the reporter
// (unchanged sources are not); stops between actions, and the run between jobs, at a stop signal.
// False when an action failed or a source could not be read.
bool carryOutSync(const SyncPlan& plan, const SyncTarget& target, LibraryDatabase& database,
                  const ConversionServices& services, JobReporter& reporter);

// Removes the private folders that killed runs left anywhere in the mirror (its state folder aside).
void removeLeftoversBelow(const std::string& dest);

} // namespace tunevale
