#include "RequestSpacing.h"

#include <algorithm>
#include <thread>

namespace tunevale
{

std::string hostOf(const std::string& url)
{
    const auto scheme = url.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t end = url.find_first_of("/?#", start);
    std::string host = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // User information is not part of the host.
    if (const auto at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return host;
}

void RequestSpacing::waitTurn(const std::string& host)
{
    const auto now = std::chrono::steady_clock::now();
    const auto booked = m_next.find(host);
    const auto start = booked == m_next.end() ? now : std::max(now, booked->second);
    m_next[host] = start + m_interval;
    std::this_thread::sleep_until(start);
}

HttpResponse SpacedHttpClient::get(const HttpRequest& request)
{
    m_spacing.waitTurn(hostOf(request.url));
    return m_inner.get(request);
}

} // namespace tunevale
