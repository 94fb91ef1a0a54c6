#include "tusserver.h"

#include <QCryptographicHash>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvtest {

bool AccountHooks::Authenticate(const QMap<QString, QString>& p, orvsrv::TusAccount* account,
                                orvsrv::TusError* err)
{
    // The API signing rule: MD5(secret + name value ... + secret), upper case.
    QString text = QString::fromLatin1(kAppSecret);
    for (auto it = p.begin(); it != p.end(); ++it) {
        if (it.key() != QLatin1String("sign") && !it.value().isEmpty())
            text += it.key() + it.value();
    }
    text += QString::fromLatin1(kAppSecret);
    const QString sign =
        QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex())
            .toUpper();
    if (p.value(QStringLiteral("appId")) != QLatin1String(kAppId) ||
        p.value(QStringLiteral("sign")) != sign) {
        err->httpStatus = 401;
        err->platformCode = 104;
        err->desc = QStringLiteral("TokenError: invalid sign");
        return false;
    }
    account->userId = QString::fromLatin1(kUserId);
    account->appId = QString::fromLatin1(kAppId);
    return true;
}

bool AccountHooks::CheckCreate(const orvsrv::TusAccount&, qint64 size, qint64, orvsrv::TusError* err)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!uploadAllowed) {
        err->httpStatus = 403;
        err->platformCode = 410;
        err->desc = QStringLiteral("UPLOAD_PERMISSION_LIMITED");
        return false;
    }
    if (size > remainBytes) {
        err->httpStatus = 403;
        err->platformCode = 0;
        err->desc = QStringLiteral("CapacityOverLimit");
        return false;
    }
    return true;
}

bool AccountHooks::IsAlreadyStored(const orvsrv::TusAccount&, const QString& vid, quint64, qint64)
{
    std::lock_guard<std::mutex> lock(mutex);
    return storedVids.contains(vid);
}

bool AccountHooks::CompleteUpload(const orvsrv::TusUploadInfo& info, orvsrv::TusError*)
{
    std::lock_guard<std::mutex> lock(mutex);
    completed.append(info);
    storedVids.insert(info.vid);
    remainBytes -= info.size;
    return true;
}

TusTestServer::TusTestServer(const QString& storageDir, bool platformAdditions, qint64 expirySeconds,
                             const QString& certFile, const QString& keyFile)
{
    if (!certFile.isEmpty()) {
        http_.reset(new httplib::SSLServer(certFile.toUtf8().constData(), keyFile.toUtf8().constData()));
        https_ = true;
    } else {
        http_.reset(new httplib::Server);
    }
    orvsrv::TusConfig config;
    config.storageDir = storageDir;
    config.platformAdditions = platformAdditions;
    config.expirySeconds = expirySeconds;
    service_.reset(new orvsrv::TusService(hooks_, config));
    service_->Install(*http_);
    http_->set_read_timeout(5, 0);
    http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "PATCH") {
            qint64 expected = 0;
            firstPatchNs_.compare_exchange_strong(expected,
                                                  std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                      std::chrono::steady_clock::now().time_since_epoch())
                                                      .count());
        }
        if (const int ms = latencyMs_.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        std::lock_guard<std::mutex> lock(faultMutex_);
        if (hook_ && hook_(req, res))
            return httplib::Server::HandlerResponse::Handled;
        if (faultCount_.load() > 0 && req.method == faultMethod_) {
            faultCount_.fetch_sub(1);
            res.status = faultStatus_;
            res.set_header("Tus-Resumable", "1.0.0");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    port_ = http_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    // stop() before the loop runs would be lost: wait until it does.
    while (!http_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TusTestServer::~TusTestServer()
{
    http_->stop();
    thread_.join();
}

QString TusTestServer::BaseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(https_ ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port_);
}

void TusTestServer::FailNext(const std::string& method, int status, int count)
{
    std::lock_guard<std::mutex> lock(faultMutex_);
    faultMethod_ = method;
    faultStatus_ = status;
    faultCount_.store(count);
}

void TusTestServer::SetAnswerHook(AnswerHook hook)
{
    std::lock_guard<std::mutex> lock(faultMutex_);
    hook_ = std::move(hook);
}

TcpRelay::TcpRelay(int targetPort) : target_(targetPort)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listenFd_, 16);
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TcpRelay::~TcpRelay()
{
    stop_.store(true);
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenFd_);
    std::lock_guard<std::mutex> lock(threadsMutex_);
    for (auto& t : threads_)
        t.join();
}

void TcpRelay::DropAfter(qint64 clientBytes, int connections)
{
    dropAfter_.store(clientBytes);
    dropConnections_.store(connections);
}

void TcpRelay::CutAnswerAfter(const QByteArray& requestStart, qint64 answerBytes, int count)
{
    cutRequest_ = requestStart;
    cutAnswerAt_.store(answerBytes);
    cutsLeft_.store(count);
}

void TcpRelay::AcceptLoop()
{
    while (!stop_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept(listenFd_, nullptr, nullptr);
        if (client < 0)
            continue;
        const int upstream = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(target_));
        if (::connect(upstream, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(client);
            ::close(upstream);
            continue;
        }
        std::lock_guard<std::mutex> lock(threadsMutex_);
        threads_.emplace_back([this, client, upstream] { Pump(client, upstream); });
    }
}

void TcpRelay::Pump(int client, int upstream)
{
    qint64 fromClient = 0;
    qint64 cutAt = -1;
    if (dropConnections_.load() > 0) {
        dropConnections_.fetch_sub(1);
        cutAt = dropAfter_.load();
    }
    qint64 answerLeft = -1; // bytes of the current answer still to pass before the cut
    char buf[65536];
    bool open = true;
    while (open && !stop_.load()) {
        pollfd p[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
        if (::poll(p, 2, 50) <= 0)
            continue;
        for (int i = 0; i < 2 && open; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const int from = i == 0 ? client : upstream;
            const int to = i == 0 ? upstream : client;
            size_t want = sizeof buf;
            if (i == 0 && cutAt >= 0)
                want = static_cast<size_t>(std::min<qint64>(static_cast<qint64>(want), cutAt - fromClient));
            const ssize_t n = want == 0 ? 0 : ::recv(from, buf, want, 0);
            if (n <= 0) {
                if (i == 0 && cutAt >= 0 && fromClient >= cutAt)
                    drops_.fetch_add(1);
                open = false;
                break;
            }
            if (i == 0)
                fromClient += n;
            if (i == 0 && cutsLeft_.load() > 0 &&
                QByteArray::fromRawData(buf, int(n)).startsWith(cutRequest_)) {
                cutsLeft_.fetch_sub(1);
                answerLeft = cutAnswerAt_.load();
            }
            ssize_t pass = n;
            if (i == 1 && answerLeft >= 0) {
                pass = static_cast<ssize_t>(std::min<qint64>(n, answerLeft));
                answerLeft -= pass;
                if (answerLeft == 0)
                    open = false; // after passing what is left
            }
            ssize_t done = 0;
            while (done < pass) {
                const ssize_t w = ::send(to, buf + done, static_cast<size_t>(pass - done), MSG_NOSIGNAL);
                if (w <= 0) {
                    open = false;
                    break;
                }
                done += w;
            }
        }
    }
    ::close(client);
    ::close(upstream);
}

} // namespace orvtest
