#pragma once

#include <atomic>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace tunevale
{

// A name that other programs can see while any copy of Tunevale runs: an abstract-namespace Unix
// socket ("@Brindletunevale" in /proc/net/unix), gone with the last copy. Only one process can
// bind the name, so a copy that finds it taken waits in the background and takes it over when
// the holder ends. Nothing depends on getting it: every copy runs all the same.
class InstanceMarker
{
public:
    explicit InstanceMarker(const std::string& name = "Brindletunevale");
    ~InstanceMarker();
    InstanceMarker(const InstanceMarker&) = delete;
    InstanceMarker& operator=(const InstanceMarker&) = delete;

    // Whether this process holds the name right now.
    bool held() const { return m_socket.load() >= 0; }

private:
    bool take();
    void waitForHolder();

    sockaddr_un m_address{};
    socklen_t m_addressSize = 0;
    std::atomic<int> m_socket{-1};
    int m_wake[2] = {-1, -1};
    std::thread m_waiter;
};

} // namespace tunevale
