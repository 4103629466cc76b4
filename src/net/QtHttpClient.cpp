#include "QtHttpClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace tunevale
{

namespace
{

int g_argc = 1;
char g_name[] = "tunevale";
char* g_argv[] = {g_name, nullptr};

} // namespace

QtHttpClient::QtHttpClient()
{
    if (!QCoreApplication::instance())
        m_application = std::make_unique<QCoreApplication>(g_argc, g_argv);
    m_network = std::make_unique<QNetworkAccessManager>();
}

QtHttpClient::~QtHttpClient() = default;

HttpResponse QtHttpClient::get(const HttpRequest& request)
{
    QNetworkRequest query(QUrl(QString::fromStdString(request.url)));
    query.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const auto& [name, value] : request.headers)
        query.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));

    QNetworkReply* reply = m_network->get(query);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timeout.start(request.timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    HttpResponse response;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !timedOut) {
        response.status = status.toInt();
        response.body = reply->readAll().toStdString();
        // A body cut short is no answer: the connection broke mid-way.
        if (reply->error() != QNetworkReply::NoError && response.ok()) {
            response.status = 0;
            response.body.clear();
            response.error = reply->errorString().toStdString();
        }
    } else {
        response.error = timedOut ? "no answer within " + std::to_string(request.timeoutMs) + " ms"
                                  : reply->errorString().toStdString();
    }
    delete reply;
    return response;
}

} // namespace tunevale
