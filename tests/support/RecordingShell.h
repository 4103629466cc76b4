#pragma once

#include "Shell.h"

#include <functional>
#include <string>
#include <vector>

namespace tunevale::test
{

// Stands in for the desktop's opener: records what it was asked to open and answers `succeeds`.
// giveUp() plays an opener that started and then failed (no program for the type).
class RecordingShell : public Shell
{
public:
    using Shell::open;
    std::vector<std::string> opened;
    bool succeeds = true;

    bool open(const std::string& pathOrUrl, std::function<void()> failed) override
    {
        opened.push_back(pathOrUrl);
        m_failed = std::move(failed);
        return succeeds;
    }
    void giveUp()
    {
        if (m_failed)
            m_failed();
    }

private:
    std::function<void()> m_failed;
};

} // namespace tunevale::test
