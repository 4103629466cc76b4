#pragma once

#include <functional>
#include <string>

namespace tunevale
{

// Opens a document, folder or web address in the desktop's default program; false when that could
// not even be started. The opener may still give up afterwards (no program for the document's type,
// such as no web browser installed): failed, when set, is then called later on the caller's thread.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool open(const std::string& pathOrUrl, std::function<void()> failed) = 0;
    bool open(const std::string& pathOrUrl) { return open(pathOrUrl, {}); }
};

} // namespace tunevale
