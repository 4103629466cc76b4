#pragma once

#include "Shell.h"

#include <string>
#include <vector>

namespace tunevale::test
{

// Stands in for the desktop's opener: records what it was asked to open and answers `succeeds`.
class RecordingShell : public Shell
{
public:
    std::vector<std::string> opened;
    bool succeeds = true;

    bool open(const std::string& pathOrUrl) override
    {
        opened.push_back(pathOrUrl);
        return succeeds;
    }
};

} // namespace tunevale::test
