#include "BackgroundDiscLookups.h"

#include "OnlineDisc.h"
#include "cd/DiscListing.h"

#include <algorithm>

namespace tunevale
{

namespace
{

// Answers nothing once the lookups stop, so that a closing window waits for one request at most.
class StoppableHttpClient final : public HttpClient
{
public:
    StoppableHttpClient(HttpClient& inner, const std::atomic<bool>& stopping) : m_inner(inner), m_stopping(stopping) {}
    HttpResponse get(const HttpRequest& request) override
    {
        if (m_stopping)
            return {0, {}, "the lookups were stopped"};
        return m_inner.get(request);
    }

private:
    HttpClient& m_inner;
    const std::atomic<bool>& m_stopping;
};

} // namespace

BackgroundDiscLookups::BackgroundDiscLookups(LookedUpDiscsEngine& engine, ClientFactory makeClient,
                                             std::string userAgent,
                                             std::function<void(const std::string& disc)> onLookedUp)
    : m_engine(engine), m_makeClient(std::move(makeClient)), m_userAgent(std::move(userAgent)),
      m_onLookedUp(std::move(onLookedUp))
{
}

BackgroundDiscLookups::~BackgroundDiscLookups()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundDiscLookups::lookUp(const std::string& disc)
{
    {
        const std::lock_guard lock(m_mutex);
        if (std::find(m_waiting.begin(), m_waiting.end(), disc) != m_waiting.end())
            return;
        m_waiting.push_back(disc);
    }
    if (!m_worker.joinable())
        m_worker = std::thread([this] { work(); });
    m_wake.notify_one();
}

bool BackgroundDiscLookups::busy() const
{
    const std::lock_guard lock(m_mutex);
    return !m_waiting.empty() || !m_current.empty();
}

void BackgroundDiscLookups::work()
{
    const std::unique_ptr<HttpClient> network = m_makeClient();
    StoppableHttpClient client(*network, m_stopping);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_current.clear();
        m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            return;
        const std::string disc = m_current = m_waiting.front();
        m_waiting.pop_front();
        lock.unlock();

        // The table of contents as the list read it; a disc that went meanwhile is left alone.
        DiscListing listing;
        int error = 0;
        std::string message;
        if (listDiscTracks(disc, decodingOpener(), listing, error, message)) {
            OnlineDisc online = lookUpDisc(client, listing.toc, m_userAgent);
            if (!m_stopping) {
                m_engine.addDisc(disc, listing.toc, std::move(online));
                if (m_onLookedUp)
                    m_onLookedUp(disc);
            }
        }
        lock.lock();
    }
}

} // namespace tunevale
