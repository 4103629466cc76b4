#pragma once

#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace tunevale
{

// Fetches one URL into a file. The data goes to a temporary file beside the destination, which
// takes the destination's name only once every byte has arrived: a failed, cut or cancelled
// download never leaves a file that looks complete, and an older file at the destination stays.
class Downloader : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Running, Complete, Cancelled, Failed };

    explicit Downloader(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~Downloader() override;

    // Starts the transfer; finished() follows exactly once, even when nothing could start.
    void start(const QUrl& url, const QString& destination);
    void cancel();

    Outcome outcome() const { return m_outcome; }
    // Why the download failed, for the user; empty otherwise.
    QString errorText() const { return m_errorText; }

signals:
    // Bytes received so far and the total (-1 while the server has not told it).
    void progress(qint64 received, qint64 total);
    void finished(tunevale::Downloader::Outcome outcome);

private:
    void receive();
    void complete();
    void fail(const QString& text);
    void finish(Outcome outcome);

    QNetworkAccessManager& m_network;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    qint64 m_written = 0;
    bool m_cancelRequested = false;
    Outcome m_outcome = Outcome::Running;
    QString m_errorText;
};

} // namespace tunevale
