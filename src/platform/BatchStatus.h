#pragma once

#include <string>

namespace tunevale
{

// How a conversion run ended, counted in files.
struct RunSummary {
    int completed = 0;
    int failed = 0;
    int cancelled = 0;
    std::string outputFolder; // where the files went; empty when they went beside their sources
    int notStarted = 0;       // jobs of the run that a stop left waiting
    int upToDate = 0;         // jobs whose outputs were already up to date
};

// What the desktop shows of a conversion run outside the window: progress on the program's
// taskbar entry and a notification at the end. Called on the window's thread; never blocks for
// long; a desktop without such services changes nothing and reports nothing.
class BatchStatus
{
public:
    virtual ~BatchStatus() = default;
    // The share of the run done, from 0 to 1.
    virtual void showProgress(double fraction) = 0;
    // Takes the progress away and, when notify is set, tells how the run ended.
    virtual void runFinished(const RunSummary& summary, bool notify) = 0;
};

} // namespace tunevale
