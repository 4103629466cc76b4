#pragma once

#include <QLabel>

namespace tunevale
{

struct RunSummary;

// The window's line about the last run, e.g. "Last run: 31 complete, 2 failed, 1 cancelled", each
// count in its job status colour. Empty until a run ends; the window clears it when the list changes.
class RunOutcomeLabel : public QLabel
{
public:
    explicit RunOutcomeLabel(QWidget* parent = nullptr);
    void showOutcome(const RunSummary& summary);
};

} // namespace tunevale
