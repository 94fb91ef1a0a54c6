#include "rawhttpserver.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <condition_variable>
#include <mutex>

namespace {

int ContentLength(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("content-length:"))
            return line.mid(15).trimmed().toInt();
    }
    return 0;
}

QByteArray DeepCopy(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

} // namespace

QByteArray RequestHead(const QByteArray& request)
{
    const int end = request.indexOf("\r\n\r\n");
    return end < 0 ? request : request.left(end + 4);
}

QByteArray RequestBody(const QByteArray& request)
{
    const int end = request.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : request.mid(end + 4);
}

RawHttpServer::RawHttpServer()
{
    std::mutex m;
    std::condition_variable cv;
    bool ready = false;
    thread_ = std::thread([this, &m, &cv, &ready] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port_ = server.serverPort();
        {
            // Notify under the lock: the constructor's cv lives only until it wakes.
            std::lock_guard<std::mutex> lock(m);
            ready = true;
            cv.notify_one();
        }
        while (!stop_.load()) {
            if (!server.waitForNewConnection(50))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            if (!socket)
                continue;
            ++connections_;
            QByteArray data;
            QElapsedTimer timer;
            timer.start();
            // Read the head, then as many body bytes as announced.
            while (!stop_.load() && timer.elapsed() < 10000) {
                const int headEnd = data.indexOf("\r\n\r\n");
                if (headEnd >= 0 && data.size() >= headEnd + 4 + ContentLength(data.left(headEnd)))
                    break;
                if (socket->waitForReadyRead(50))
                    data += socket->readAll();
                if (socket->state() != QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0)
                    break;
            }
            // Deep copies only: no byte array is shared between the threads.
            QByteArray reply;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.append(DeepCopy(data));
                reply = DeepCopy(reply_);
            }
            socket->write(reply);
            socket->waitForBytesWritten(2000);
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(500);
        }
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&ready] { return ready; });
}

RawHttpServer::~RawHttpServer()
{
    stop_ = true;
    thread_.join();
}

QByteArray RawHttpServer::Url() const
{
    return "http://127.0.0.1:" + QByteArray::number(port_.load());
}

void RawHttpServer::SetReply(const QByteArray& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    reply_ = DeepCopy(reply);
}

QByteArray RawHttpServer::JsonReply(int status, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " X\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

QList<QByteArray> RawHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    QList<QByteArray> copies;
    for (const QByteArray& request : requests_)
        copies.append(DeepCopy(request));
    return copies;
}
