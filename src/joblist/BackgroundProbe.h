#pragma once

#include "ProbeQueue.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tunevale
{

// Measures files on worker threads, first in first out, so that adding thousands of files never
// holds the window up. Paths go in on the UI thread; the durations are taken there too
// (takeResults), after resultsReady, which a worker calls when results wait where there were none.
class BackgroundProbe final : public ProbeQueue
{
public:
    // measure is called on the workers, several at once: it must be safe for that.
    using Measure = std::function<std::string(const std::string& path)>;
    struct Result {
        std::string path;
        std::string duration;
    };

    BackgroundProbe(Measure measure, std::function<void()> resultsReady, unsigned workers);
    ~BackgroundProbe() override;
    BackgroundProbe(const BackgroundProbe&) = delete;
    BackgroundProbe& operator=(const BackgroundProbe&) = delete;

    void enqueue(std::string path) override;
    // The oldest results, at most most of them.
    std::vector<Result> takeResults(std::size_t most = SIZE_MAX);
    // Files enqueued whose result has not been taken yet.
    std::size_t outstanding() const;
    // Drops the files still waiting and ends the workers once each has measured its current one;
    // nothing is measured afterwards. Before the engine the workers use goes away.
    void stop();

private:
    void work();

    Measure m_measure;
    std::function<void()> m_resultsReady;
    unsigned m_workerCount;
    std::vector<std::thread> m_workers;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_waiting;
    std::deque<Result> m_results;
    std::size_t m_measuring = 0;
    bool m_stopped = false;
};

} // namespace tunevale
