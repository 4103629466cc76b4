#include "Downloader.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tunevale
{

namespace
{

// A stalled transfer fails after this long without a byte.
constexpr int kTransferTimeoutMs = 30000;

} // namespace

Downloader::Downloader(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network) {}

Downloader::~Downloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void Downloader::start(const QUrl& url, const QString& destination)
{
    m_outcome = Outcome::Running;
    m_errorText.clear();
    m_written = 0;
    m_cancelRequested = false;

    const QFileInfo target(destination);
    QDir().mkpath(target.absolutePath());
    m_file = std::make_unique<QSaveFile>(destination);
    // Never write into the destination itself: it must only ever hold a whole file.
    m_file->setDirectWriteFallback(false);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString text = tr("Cannot write %1: %2").arg(destination, m_file->errorString());
        QMetaObject::invokeMethod(
            this, [this, text] { fail(text); }, Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // The bytes on the wire are the file's bytes, so the announced length can be checked.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tunevale/1.0.0.4"));

    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::receive);
    connect(m_reply, &QNetworkReply::finished, this, &Downloader::complete);
}

void Downloader::cancel()
{
    if (m_outcome != Outcome::Running || !m_reply)
        return;
    m_cancelRequested = true;
    m_reply->abort();
}

void Downloader::receive()
{
    if (!m_reply || !m_file)
        return;
    const QByteArray data = m_reply->readAll();
    if (m_file->write(data) != data.size()) {
        m_file->cancelWriting();
        m_reply->abort();
        return;
    }
    m_written += data.size();
    if (!data.isEmpty()) {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        emit progress(m_written, length.isValid() ? length.toLongLong() : -1);
    }
}

void Downloader::complete()
{
    if (m_outcome != Outcome::Running || !m_reply || !m_file)
        return;
    if (m_cancelRequested) {
        finish(Outcome::Cancelled);
        return;
    }
    receive();
    if (m_file->error() != QFileDevice::NoError) {
        fail(tr("Cannot write %1: %2").arg(m_file->fileName(), m_file->errorString()));
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(m_reply->errorString());
        return;
    }
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        fail(tr("The server answered %1 %2")
                 .arg(status.toInt())
                 .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        return;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_written) {
        fail(tr("The download ended after %1 of %2 bytes").arg(m_written).arg(length.toLongLong()));
        return;
    }
    if (!m_file->commit()) {
        fail(tr("Cannot save %1: %2").arg(m_file->fileName(), m_file->errorString()));
        return;
    }
    finish(Outcome::Complete);
}

void Downloader::fail(const QString& text)
{
    m_errorText = text;
    finish(Outcome::Failed);
}

void Downloader::finish(Outcome outcome)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    // A QSaveFile that was not committed removes its temporary file.
    m_file.reset();
    m_outcome = outcome;
    emit finished(outcome);
}

} // namespace tunevale
