#pragma once

#include "HttpClient.h"

#include <memory>

class QCoreApplication;
class QNetworkAccessManager;

namespace tunevale
{

// An HttpClient on Qt Network: each request waits in a local event loop until the answer, an
// error or the timeout. Redirects are followed unless they lead from https to http. Makes a
// QCoreApplication when the program has none (the command line), as Qt Network needs one.
class QtHttpClient final : public HttpClient
{
public:
    QtHttpClient();
    ~QtHttpClient() override;
    HttpResponse get(const HttpRequest& request) override;

private:
    std::unique_ptr<QCoreApplication> m_application;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

} // namespace tunevale
