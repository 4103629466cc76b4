#pragma once

#include <string>

namespace tunevale
{

// Opens a document, folder or web address in the desktop's default program; false when that failed.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool open(const std::string& pathOrUrl) = 0;
};

} // namespace tunevale
