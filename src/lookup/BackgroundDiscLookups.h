#pragma once

#include "HttpClient.h"
#include "LookedUpDiscsEngine.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tunevale
{

// Looks listed discs up online on a worker thread, one after another, and hands each answer to the
// run's engine, which from then on gives the disc's tracks the release's tags and cover and checks
// them with AccurateRip. A disc whose lookup gets no answer (offline, a server too slow) is handed
// over all the same: its tracks keep their CD-TEXT, else "Track NN". lookUp is for one thread;
// onLookedUp is called on the worker.
class BackgroundDiscLookups
{
public:
    // Makes the client for the worker thread, on that thread (Qt Network's objects belong to theirs).
    using ClientFactory = std::function<std::unique_ptr<HttpClient>()>;

    BackgroundDiscLookups(LookedUpDiscsEngine& engine, ClientFactory makeClient, std::string userAgent,
                          std::function<void(const std::string& disc)> onLookedUp);
    // Drops the discs still waiting and waits for the request under way, if any, to end.
    ~BackgroundDiscLookups();

    // Looks a disc (a cue sheet, a drive) up unless it waits already; a drive's new disc is looked
    // up anew.
    void lookUp(const std::string& disc);
    // True while a disc waits or is being looked up.
    bool busy() const;

private:
    void work();

    LookedUpDiscsEngine& m_engine;
    ClientFactory m_makeClient;
    std::string m_userAgent;
    std::function<void(const std::string&)> m_onLookedUp;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_waiting;
    std::string m_current;
    std::atomic<bool> m_stopping{false};
    std::thread m_worker;
};

} // namespace tunevale
