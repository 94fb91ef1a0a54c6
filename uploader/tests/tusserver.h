#pragma once
// A loopback HTTP server carrying the platform's tus endpoint, with a small
// implementation of the endpoint's hooks (one account, a space budget, a
// permission switch), a way to answer the next requests of a method with a
// chosen status, and a TCP relay that can cut connections mid-request.

#include "tus/tus_service.h"

#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace orvtest {

inline constexpr const char* kUserId = "u42demo";
inline constexpr const char* kAppId = "app-42";
inline constexpr const char* kAppSecret = "s3cret-42";

class AccountHooks : public orvsrv::TusHooks
{
public:
    bool Authenticate(const QMap<QString, QString>& signedParams, orvsrv::TusAccount* account,
                      orvsrv::TusError* err) override;
    bool CheckCreate(const orvsrv::TusAccount& account, qint64 size, qint64 cateId,
                     orvsrv::TusError* err) override;
    bool IsAlreadyStored(const orvsrv::TusAccount& account, const QString& vid, quint64 crc64,
                         qint64 size) override;
    bool CompleteUpload(const orvsrv::TusUploadInfo& info, orvsrv::TusError* err) override;

    std::mutex mutex;
    bool uploadAllowed = true;
    qint64 remainBytes = qint64(1) << 40;
    QList<orvsrv::TusUploadInfo> completed;
    QSet<QString> storedVids;
};

class TusTestServer
{
public:
    // With a certificate and key the server speaks HTTPS.
    explicit TusTestServer(const QString& storageDir, bool platformAdditions = true,
                           qint64 expirySeconds = 3600, const QString& certFile = QString(),
                           const QString& keyFile = QString());
    ~TusTestServer();

    QString BaseUrl() const; // http(s)://127.0.0.1:PORT
    int Port() const { return port_; }
    orvsrv::TusService& Service() { return *service_; }
    AccountHooks& Hooks() { return hooks_; }

    // The next `count` requests with this method are answered with `status`
    // before reaching the endpoint.
    void FailNext(const std::string& method, int status, int count = 1);
    int FaultsLeft() const { return faultCount_.load(); }
    // A hostile mode: the hook sees every request first and answers it itself
    // by returning true (a wrong Location, an offset that never moves, ...).
    using AnswerHook = std::function<bool(const httplib::Request&, httplib::Response&)>;
    void SetAnswerHook(AnswerHook hook);
    // Delay before answering every request.
    void SetLatencyMs(int ms) { latencyMs_.store(ms); }
    // Monotonic time (ns) at which the first PATCH after the last reset arrived.
    void ResetFirstPatch() { firstPatchNs_.store(0); }
    qint64 FirstPatchNs() const { return firstPatchNs_.load(); }

private:
    AccountHooks hooks_;
    std::unique_ptr<orvsrv::TusService> service_;
    std::unique_ptr<httplib::Server> http_;
    std::thread thread_;
    int port_ = 0;
    bool https_ = false;
    std::atomic<int> latencyMs_{0};
    std::atomic<qint64> firstPatchNs_{0};
    std::mutex faultMutex_;
    std::string faultMethod_;
    int faultStatus_ = 0;
    std::atomic<int> faultCount_{0};
    AnswerHook hook_;
};

// Forwards loopback TCP connections to a target port. It can cut the next
// connections after a number of bytes sent by the client.
class TcpRelay
{
public:
    explicit TcpRelay(int targetPort);
    ~TcpRelay();
    int Port() const { return port_; }
    void DropAfter(qint64 clientBytes, int connections = 1);
    // The next `count` answers to requests starting with `requestStart` are
    // cut after `answerBytes` and the connection closed.
    void CutAnswerAfter(const QByteArray& requestStart, qint64 answerBytes, int count = 1);
    int Drops() const { return drops_.load(); }

private:
    void AcceptLoop();
    void Pump(int client, int upstream);

    int target_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> dropAfter_{-1};
    std::atomic<int> dropConnections_{0};
    std::atomic<int> drops_{0};
    QByteArray cutRequest_;
    std::atomic<qint64> cutAnswerAt_{-1};
    std::atomic<int> cutsLeft_{0};
    std::thread acceptThread_;
    std::mutex threadsMutex_;
    std::vector<std::thread> threads_;
};

} // namespace orvtest
