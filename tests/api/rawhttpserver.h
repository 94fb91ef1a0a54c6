#pragma once
// A plain-HTTP listener on loopback that records the raw requests it receives
// and answers each with a configured reply. It shows what actually goes over
// the wire (headers, bodies, proxy credentials), which a full server hides.

#include <QByteArray>
#include <QList>

#include <atomic>
#include <mutex>
#include <thread>

class RawHttpServer
{
public:
    RawHttpServer();
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    quint16 Port() const { return port_; }
    QByteArray Url() const; // http://127.0.0.1:PORT
    // The full raw answer (status line, headers, body) to every request.
    void SetReply(const QByteArray& reply);
    static QByteArray JsonReply(int status, const QByteArray& body);

    QList<QByteArray> Requests() const; // head + body of each request, in arrival order
    int ConnectionCount() const { return connections_.load(); }

private:
    void Run();

    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<quint16> port_{0};
    // A std::mutex, not a QMutex: the race detector sees only locks taken in
    // instrumented code, and QMutex locks inside the uninstrumented Qt library.
    mutable std::mutex mutex_;
    QByteArray reply_;
    QList<QByteArray> requests_;
    std::thread thread_;
};

// Head and body of a recorded request.
QByteArray RequestHead(const QByteArray& request);
QByteArray RequestBody(const QByteArray& request);
