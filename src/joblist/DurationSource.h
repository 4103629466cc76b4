#pragma once

#include <string>

namespace tunevale
{

// Measures a file's play time for its job; UI thread, synchronous. The text is minutes and seconds
// such as "03:07", or "Error" when the file cannot be decoded (the source may prompt the user then).
class DurationSource
{
public:
    virtual ~DurationSource() = default;
    virtual std::string GetDurationText(const std::string& filePath) = 0;
};

} // namespace tunevale
