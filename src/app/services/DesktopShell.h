#pragma once

#include "Shell.h"

namespace tunevale
{

// Opens files and web addresses with the desktop's default programs (xdg-open and the like).
class DesktopShell : public Shell
{
public:
    bool open(const std::string& pathOrUrl) override;
};

} // namespace tunevale
