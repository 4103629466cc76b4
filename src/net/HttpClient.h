#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tunevale
{

// One GET request.
struct HttpRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    // The whole exchange fails after this long.
    int timeoutMs = 10000;
};

// What came back. status is 0 when no answer arrived (no network, refused, timed out); error then
// says why.
struct HttpResponse {
    int status = 0;
    std::string body;
    std::string error;

    bool answered() const { return status > 0; }
    bool ok() const { return status >= 200 && status <= 299; }
};

// Fetches addresses; implemented on Qt Network for the programs and by stand-ins in tests.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    virtual HttpResponse get(const HttpRequest& request) = 0;
};

} // namespace tunevale
