#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tunevale::test
{

// An HTTP server on 127.0.0.1 serving recorded answers by path (query included), run by the
// event loop of whoever waits for it. Paths not recorded get 404. It keeps every request's path,
// headers and arrival time for the tests to check.
class LoopbackHttpServer
{
public:
    enum class Delivery {
        Whole,  // the answer as recorded
        CutOff, // the full length announced, half the body sent, then the connection closed
        Silent, // the request read and never answered
    };
    struct Answer {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;
        Delivery delivery = Delivery::Whole;
    };
    struct Request {
        QByteArray path;
        QByteArray head; // the request line and headers
        qint64 arrivedMs = 0;
    };

    LoopbackHttpServer()
    {
        m_clock.start();
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { receive(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                if (socket->bytesAvailable() > 0)
                    receive(socket);
            }
        });
    }

    void serve(const std::string& path, Answer answer) { m_answers[QByteArray::fromStdString(path)] = answer; }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(m_server.serverPort()); }
    const std::vector<Request>& requests() const { return m_requests; }

private:
    void receive(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        const auto end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request request{pending.split(' ').value(1), pending.left(end), m_clock.elapsed()};
        m_pending.remove(socket);
        m_requests.push_back(request);

        const auto found = m_answers.find(request.path);
        const Answer answer =
            found != m_answers.end() ? found->second : Answer{404, "text/plain", "not found", Delivery::Whole};
        if (answer.delivery == Delivery::Silent)
            return;
        socket->write(
            "HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\nContent-Type: " + answer.contentType +
            "\r\nContent-Length: " + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n");
        socket->write(answer.delivery == Delivery::CutOff ? answer.body.left(answer.body.size() / 2) : answer.body);
        socket->disconnectFromHost();
    }

    QElapsedTimer m_clock;
    QTcpServer m_server;
    std::map<QByteArray, Answer> m_answers;
    QHash<QTcpSocket*, QByteArray> m_pending;
    std::vector<Request> m_requests;
};

// A LoopbackHttpServer on a thread of its own, answering while the test waits for a program it
// runs. setUp records the answers before the first request can arrive. Needs the application object.
class LoopbackHttpServerThread
{
public:
    explicit LoopbackHttpServerThread(std::function<void(LoopbackHttpServer&)> setUp)
    {
        std::promise<std::string> address;
        auto published = address.get_future();
        m_thread.reset(QThread::create([this, setUp, &address] {
            LoopbackHttpServer server;
            setUp(server);
            address.set_value(server.address());
            while (!m_stop) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                QThread::msleep(2);
            }
            m_requests = server.requests().size();
        }));
        m_thread->start();
        m_address = published.get();
    }
    ~LoopbackHttpServerThread() { stop(); }

    const std::string& address() const { return m_address; }
    // Stops the server; the count of requests it had.
    std::size_t stop()
    {
        m_stop = true;
        m_thread->wait();
        return m_requests;
    }

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop{false};
    std::string m_address;
    std::size_t m_requests = 0;
};

} // namespace tunevale::test
