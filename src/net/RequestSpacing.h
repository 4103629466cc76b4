#pragma once

#include "HttpClient.h"

#include <chrono>
#include <map>
#include <string>

namespace tunevale
{

// The host of an address ("musicbrainz.org:443" keeps its port); empty when there is none.
std::string hostOf(const std::string& url);

// Keeps requests to one host at least an interval apart (MusicBrainz asks for one a second);
// requests to other hosts do not wait for each other.
class RequestSpacing
{
public:
    explicit RequestSpacing(std::chrono::milliseconds interval) : m_interval(interval) {}
    // Sleeps until the host's next request may start, and books that moment.
    void waitTurn(const std::string& host);

private:
    std::chrono::milliseconds m_interval;
    std::map<std::string, std::chrono::steady_clock::time_point> m_next;
};

// An HttpClient that spaces its requests per host before passing them on.
class SpacedHttpClient final : public HttpClient
{
public:
    SpacedHttpClient(HttpClient& inner, std::chrono::milliseconds interval) : m_inner(inner), m_spacing(interval) {}
    HttpResponse get(const HttpRequest& request) override;

private:
    HttpClient& m_inner;
    RequestSpacing m_spacing;
};

} // namespace tunevale
