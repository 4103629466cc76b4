#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace tunevale::test
{

// A tiny HTTP server on 127.0.0.1 for download tests. Paths:
//   /file    the payload, whole, with its length announced
//   /drop    the length announced, a quarter of the payload sent, then the connection closed
//   /stall   the length announced, 64 KiB sent, then nothing more (for cancelling)
//   other    404 Not Found
class LocalHttpServer
{
public:
    explicit LocalHttpServer(QByteArray payload) : m_payload(std::move(payload))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { receive(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                // The request may have arrived before the signal was connected.
                if (socket->bytesAvailable() > 0)
                    receive(socket);
            }
        });
    }

    bool listening() const { return m_server.isListening(); }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    int requests() const { return m_requests; }

private:
    void receive(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        m_pending.remove(socket);
        ++m_requests;

        if (path == "/file" || path == "/drop" || path == "/stall") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                          QByteArray::number(m_payload.size()) + "\r\nConnection: close\r\n\r\n");
            if (path == "/file") {
                socket->write(m_payload);
                socket->disconnectFromHost();
            } else if (path == "/drop") {
                socket->write(m_payload.left(m_payload.size() / 4));
                socket->disconnectFromHost();
            } else {
                socket->write(m_payload.left(64 * 1024));
                socket->flush();
            }
            return;
        }
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
                      "Connection: close\r\n\r\nnot found");
        socket->disconnectFromHost();
    }

    QByteArray m_payload;
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_requests = 0;
};

// Bytes that differ from one position to the next, so that a shifted or repeated block shows.
inline QByteArray testPayload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (int i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

} // namespace tunevale::test
