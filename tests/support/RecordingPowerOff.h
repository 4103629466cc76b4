#pragma once

#include "PowerOff.h"

#include <vector>

namespace tunevale::test
{

// Never powers anything off: it only records what it was asked.
class RecordingPowerOff : public PowerOff
{
public:
    std::vector<Action> requests;
    void request(Action action) override { requests.push_back(action); }
};

} // namespace tunevale::test
