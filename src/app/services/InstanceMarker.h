#pragma once

#include <string>

namespace tunevale
{

// A name that other programs can see while Tunevale runs: an abstract-namespace Unix socket
// ("@Brindletunevale" in /proc/net/unix), gone with the process. Nothing depends on getting it: a
// second copy that finds the name taken runs all the same.
class InstanceMarker
{
public:
    explicit InstanceMarker(const std::string& name = "Brindletunevale");
    ~InstanceMarker();
    InstanceMarker(const InstanceMarker&) = delete;
    InstanceMarker& operator=(const InstanceMarker&) = delete;

    // Whether this process holds the name (false when another copy had it first).
    bool held() const { return m_socket >= 0; }

private:
    int m_socket = -1;
};

} // namespace tunevale
