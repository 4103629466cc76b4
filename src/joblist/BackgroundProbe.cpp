#include "BackgroundProbe.h"

#include <algorithm>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace tunevale
{

namespace
{

constexpr int WorkerNiceness = 10;

} // namespace

BackgroundProbe::BackgroundProbe(Measure measure, std::function<void()> resultsReady, unsigned workers)
    : m_measure(std::move(measure)), m_resultsReady(std::move(resultsReady)), m_workerCount(std::max(1u, workers))
{
}

BackgroundProbe::~BackgroundProbe()
{
    stop();
}

void BackgroundProbe::enqueue(std::string path)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_waiting.push_back(std::move(path));
        // Threads start with the first file, so a window that never adds one never has them.
        if (m_workers.empty())
            for (unsigned i = 0; i < m_workerCount; ++i)
                m_workers.emplace_back([this] { work(); });
    }
    m_wake.notify_one();
}

std::vector<BackgroundProbe::Result> BackgroundProbe::takeResults(std::size_t most)
{
    const std::lock_guard lock(m_mutex);
    const auto count = std::min(most, m_results.size());
    std::vector<Result> taken(std::make_move_iterator(m_results.begin()),
                              std::make_move_iterator(m_results.begin() + static_cast<std::ptrdiff_t>(count)));
    m_results.erase(m_results.begin(), m_results.begin() + static_cast<std::ptrdiff_t>(count));
    return taken;
}

std::size_t BackgroundProbe::outstanding() const
{
    const std::lock_guard lock(m_mutex);
    return m_waiting.size() + m_measuring + m_results.size();
}

void BackgroundProbe::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_waiting.clear();
    }
    m_wake.notify_all();
    for (auto& worker : m_workers)
        if (worker.joinable())
            worker.join();
}

void BackgroundProbe::work()
{
    // Below the window's thread, so that on a busy machine painting and clicks come first.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), WorkerNiceness);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopped || !m_waiting.empty(); });
        if (m_stopped)
            return;
        std::string path = std::move(m_waiting.front());
        m_waiting.pop_front();
        ++m_measuring;
        lock.unlock();
        std::string duration = m_measure(path);
        lock.lock();
        --m_measuring;
        const bool first = m_results.empty();
        m_results.push_back({std::move(path), std::move(duration)});
        if (first && m_resultsReady) {
            lock.unlock();
            m_resultsReady();
            lock.lock();
        }
    }
}

} // namespace tunevale
