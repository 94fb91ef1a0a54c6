#include "faults.h"

#include "tus/tus_service.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUuid>

#include <httplib.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace orvsrv {
namespace {

// Before and the endpoint run on the same worker thread for one request.
thread_local qint64 t_bodyCut = -1;

int PortOf(const sockaddr_storage& ss)
{
    if (ss.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(ss).sin_port);
    if (ss.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(ss).sin6_port);
    return -1;
}

// The server-side socket of req: local port = our port, peer port = the
// client's. The client end in the same process has the ports reversed.
int FindConnectionFd(const httplib::Request& req)
{
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : fds) {
        bool ok = false;
        const int fd = name.toInt(&ok);
        if (!ok)
            continue;
        sockaddr_storage local{}, peer{};
        socklen_t ll = sizeof local, pl = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0)
            continue;
        if (PortOf(local) == req.local_port && PortOf(peer) == req.remote_port)
            return fd;
    }
    return -1;
}

std::string InjectedBody(const FaultRule& r, std::string* contentType)
{
    if (r.htmlPage) {
        *contentType = "text/html";
        const std::string code = std::to_string(r.httpStatus);
        return "<html>\r\n<head><title>" + code + " Error</title></head>\r\n<body>\r\n<center><h1>" + code +
               " Error</h1></center>\r\n<hr><center>orvane-edge</center>\r\n</body>\r\n</html>\r\n";
    }
    if (r.jsonEnvelope) {
        *contentType = "application/json";
        const QByteArray id = QUuid::createUuid().toByteArray(QUuid::Id128);
        return "{\"requestId\":\"" + id.toStdString() + "\",\"code\":" + std::to_string(r.httpStatus) +
               ",\"status\":\"error\",\"error\":{\"code\":9,\"desc\":\"InjectedFault\"},\"data\":null}";
    }
    *contentType = "text/plain";
    return "Injected failure " + std::to_string(r.httpStatus) + "\n";
}

// Every scalar replaced by one of another type; objects and arrays kept, so
// that each field a client reads has the wrong type.
QJsonValue WrongTypes(const QJsonValue& v)
{
    if (v.isObject()) {
        QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            *it = WrongTypes(*it);
        return o;
    }
    if (v.isArray()) {
        QJsonArray a;
        for (const QJsonValue& x : v.toArray())
            a.append(WrongTypes(x));
        return a;
    }
    if (v.isString())
        return QJsonValue(QJsonArray{1, 2});
    if (v.isDouble())
        return QJsonValue(QStringLiteral("not a number"));
    if (v.isBool())
        return QJsonValue(QJsonObject{});
    return QJsonValue(true); // null
}

void MakeGarbage(const FaultRule& rule, httplib::Response& res)
{
    const QString& kind = rule.garbage;
    std::string& body = res.body;
    if (kind == QLatin1String("truncated-json")) {
        body.resize(body.size() / 2);
    } else if (kind == QLatin1String("wrong-types")) {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body));
        if (!doc.isNull())
            body =
                QJsonDocument(WrongTypes(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()))
                                  .toObject())
                    .toJson(QJsonDocument::Compact)
                    .toStdString();
    } else if (kind == QLatin1String("huge-numbers")) {
        static const QRegularExpression number(QStringLiteral("(?<=[:\\[,])-?\\d+(\\.\\d+)?(?=[,}\\]])"));
        body = QString::fromStdString(body)
                   .replace(number, QStringLiteral("-98765432109876543210987654321e300"))
                   .toStdString();
    } else if (kind == QLatin1String("deep-nesting")) {
        body = "{\"code\":200,\"status\":\"success\",\"error\":null,\"data\":" + std::string(200000, '[') +
               std::string(200000, ']') + "}";
    } else if (kind == QLatin1String("invalid-utf8")) {
        std::string out;
        for (size_t i = 0; i < body.size(); ++i) {
            out += body[i];
            if (body[i] == '"' && i > 0 && body[i - 1] == ':')
                out += "\xff\xc3\x28\xed\xa0\x80";
        }
        body = out;
    } else if (kind == QLatin1String("huge-text")) {
        body = "{\"requestId\":\"" + std::string(3 << 20, 'r') +
               "\",\"code\":400,\"status\":\"error\",\"error\":{\"code\":3003,\"desc\":\"" +
               std::string(3 << 20, 'x') + "\"},\"data\":null}";
        res.status = 400;
    } else if (kind == QLatin1String("foreign-location")) {
        if (res.has_header("Location"))
            res.set_header("Location", rule.location.toStdString());
    } else if (kind == QLatin1String("negative-offset") || kind == QLatin1String("huge-offset")) {
        if (res.has_header("Upload-Offset"))
            res.set_header("Upload-Offset",
                           kind == QLatin1String("negative-offset") ? "-5" : "99999999999999999999");
    } else if (kind == QLatin1String("beyond-offset") && res.has_header("Upload-Offset")) {
        const qint64 offset = QByteArray::fromStdString(res.get_header_value("Upload-Offset")).toLongLong();
        res.set_header("Upload-Offset", std::to_string(offset + (qint64(1) << 30)));
    }
}

// The body is compressed by now when the client asked for it; garbage is
// made from the plain text and sent uncompressed.
bool PlainBody(httplib::Response& res)
{
    const std::string encoding = res.get_header_value("Content-Encoding");
    if (encoding.empty())
        return true;
    if (encoding != "gzip" && encoding != "deflate")
        return false;
    httplib::detail::gzip_decompressor inflater;
    std::string plain;
    if (!inflater.is_valid() ||
        !inflater.decompress(res.body.data(), res.body.size(), [&](const char* d, size_t n) {
            plain.append(d, n);
            return true;
        }))
        return false;
    res.body = std::move(plain);
    res.headers.erase("Content-Encoding");
    return true;
}

// 100 MB of a valid-looking answer, produced piece by piece.
void HugeBody(httplib::Response& res)
{
    static const std::string head =
        "{\"code\":200,\"status\":\"success\",\"error\":null,\"data\":{\"pad\":\"";
    static const std::string tail = "\"}}";
    constexpr size_t total = size_t(100) << 20;
    res.body.clear();
    res.headers.erase("Content-Encoding");
    res.headers.erase("Content-Length");
    res.set_content_provider(
        total, "application/octet-stream", [](size_t offset, size_t, httplib::DataSink& sink) {
            std::string chunk;
            if (offset < head.size())
                chunk = head.substr(offset);
            const size_t room = total - tail.size();
            const size_t pad =
                std::min<size_t>(65536, room > offset + chunk.size() ? room - offset - chunk.size() : 0);
            chunk.append(pad, 'p');
            if (offset + chunk.size() >= room)
                chunk += tail.substr(offset + chunk.size() - room);
            return sink.write(chunk.data(), chunk.size());
        });
}

// Sends the first `bytes` of the answer's status line and headers straight
// to the connection, then cuts it: httplib's own answer then goes nowhere.
void SendHeadersCut(const httplib::Request& req, const httplib::Response& res, qint64 bytes)
{
    std::string head = "HTTP/1.1 " + std::to_string(res.status) + " Answer\r\n"; // the reason is free text
    for (const auto& [name, value] : res.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    head.resize(size_t(qMin<qint64>(bytes, qint64(head.size()))));
    const int fd = FindConnectionFd(req);
    if (fd < 0)
        return;
    if (req.ssl)
        SSL_write(const_cast<SSL*>(req.ssl), head.data(), int(head.size()));
    else
        ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_RDWR);
}

} // namespace

qint64 BodyCutOfCurrentRequest()
{
    return t_bodyCut;
}

QStringList GarbageKinds()
{
    return {QStringLiteral("truncated-json"),  QStringLiteral("wrong-types"),
            QStringLiteral("huge-numbers"),    QStringLiteral("deep-nesting"),
            QStringLiteral("huge-body"),       QStringLiteral("invalid-utf8"),
            QStringLiteral("huge-text"),       QStringLiteral("foreign-location"),
            QStringLiteral("negative-offset"), QStringLiteral("huge-offset"),
            QStringLiteral("beyond-offset"),   QStringLiteral("stuck-offset")};
}

void ShutdownConnection(const httplib::Request& req, bool reset)
{
    const int fd = FindConnectionFd(req);
    if (fd < 0)
        return;
    if (reset) {
        const linger now{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    ::shutdown(fd, SHUT_RDWR);
}

int FaultInjector::Add(const FaultRule& rule)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Entry e;
    e.rule = rule;
    e.re = QRegularExpression(rule.pathPattern);
    e.failLeft = rule.failNextN;
    e.requestDropsLeft = rule.dropRequestAfterBytes >= 0 ? rule.dropCount : 0;
    e.responseDropsLeft = rule.dropResponseAfterBytes >= 0 ? rule.dropCount : 0;
    e.headerDropsLeft = rule.dropHeadersAfterBytes >= 0 ? rule.dropCount : 0;
    const int id = m_nextId++;
    m_rules.emplace(id, std::move(e));
    return id;
}

void FaultInjector::Remove(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.erase(id);
}

void FaultInjector::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.clear();
}

int FaultInjector::Hits(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_rules.find(id);
    return it == m_rules.end() ? 0 : it->second.hits;
}

bool FaultInjector::Entry::Matches(const httplib::Request& req) const
{
    return (rule.method.isEmpty() || rule.method.toStdString() == req.method) &&
           (rule.pathPattern.isEmpty() || re.match(QString::fromStdString(req.path)).hasMatch());
}

bool FaultInjector::Before(const httplib::Request& req, httplib::Response& res)
{
    int delayMs = 0;
    bool fail = false;
    FaultRule failRule;
    qint64 dropRequestAfter = -1;
    bool stuck = false;
    t_bodyCut = -1;
    qint64 declared = -1;
    ParseTusNumber(req.get_header_value("Content-Length"), &declared);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [id, e] : m_rules) {
            if (!e.Matches(req))
                continue;
            delayMs += e.rule.latencyMs;
            if (e.rule.latencyJitterMs > 0)
                delayMs += int(QRandomGenerator::global()->bounded(e.rule.latencyJitterMs + 1));
            if (!fail && e.failLeft > 0) {
                --e.failLeft;
                fail = true;
                failRule = e.rule;
                ++e.hits;
            } else if (!fail && e.rule.htmlPage && e.rule.failNextN == 0) {
                fail = true; // an HTML page rule without a count stays until removed
                failRule = e.rule;
                ++e.hits;
            }
            if (!fail && e.rule.garbage == QLatin1String("stuck-offset") && req.has_header("Upload-Offset")) {
                stuck = true;
                ++e.hits;
            }
            // A kept body is cut by the endpoint; a shorter body is not worth a cut.
            const bool keep = e.rule.keepDroppedBody;
            if (dropRequestAfter < 0 && t_bodyCut < 0 && e.requestDropsLeft > 0 &&
                (!keep || declared < 0 || declared > e.rule.dropRequestAfterBytes)) {
                --e.requestDropsLeft;
                ++e.hits;
                if (keep)
                    t_bodyCut = e.rule.dropRequestAfterBytes;
                else
                    dropRequestAfter = e.rule.dropRequestAfterBytes;
            }
        }
    }
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));

    if (dropRequestAfter >= 0) {
        // The body is still unread. Consume about K bytes straight from the
        // socket (over TLS these are record bytes, so K is approximate), then
        // cut the connection while the client is still sending.
        const int fd = FindConnectionFd(req);
        if (fd >= 0) {
            // Without a body there is nothing to wait for: cut at once.
            const bool hasBody = req.get_header_value("Content-Length") != "0" &&
                                 (req.has_header("Content-Length") || req.has_header("Transfer-Encoding"));
            qint64 left = hasBody ? dropRequestAfter : 0;
            char buf[4096];
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (left > 0 && std::chrono::steady_clock::now() < deadline) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 100) <= 0)
                    continue;
                const ssize_t n = ::recv(fd, buf, size_t(qMin<qint64>(left, qint64(sizeof buf))), 0);
                if (n <= 0)
                    break;
                left -= n;
            }
            ::shutdown(fd, SHUT_RDWR);
        }
        res.status = 500;
        res.set_header("Connection", "close");
        return true;
    }
    // An answer that leaves a body unread ends the connection: the rest of
    // the body must not be taken for the next request.
    if ((stuck || fail) && declared != 0 && (declared > 0 || req.has_header("Transfer-Encoding")))
        res.set_header("Connection", "close");
    if (stuck && !fail) {
        res.status = 204;
        res.set_header("Tus-Resumable", "1.0.0");
        res.set_header("Upload-Offset", req.get_header_value("Upload-Offset"));
        return true;
    }
    if (fail) {
        std::string type;
        const std::string body = InjectedBody(failRule, &type);
        res.status = failRule.httpStatus;
        res.set_content(body, type.c_str());
        return true;
    }
    return false;
}

void FaultInjector::After(const httplib::Request& req, httplib::Response& res)
{
    qint64 dropAfter = -1;
    qint64 headersAfter = -1;
    qint64 bps = 0;
    FaultRule garbageRule;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [id, e] : m_rules) {
            if (!e.Matches(req))
                continue;
            if (garbageRule.garbage.isEmpty() && !e.rule.garbage.isEmpty() &&
                e.rule.garbage != QLatin1String("stuck-offset")) {
                garbageRule = e.rule;
                ++e.hits;
            }
            if (dropAfter < 0 && e.responseDropsLeft > 0) {
                --e.responseDropsLeft;
                ++e.hits;
                dropAfter = e.rule.dropResponseAfterBytes;
            }
            if (headersAfter < 0 && e.headerDropsLeft > 0) {
                --e.headerDropsLeft;
                ++e.hits;
                headersAfter = e.rule.dropHeadersAfterBytes;
            }
            if (bps == 0 && e.rule.slowBodyBytesPerSec > 0)
                bps = e.rule.slowBodyBytesPerSec;
        }
    }
    if (headersAfter >= 0)
        return SendHeadersCut(req, res, headersAfter);
    const QString& garbage = garbageRule.garbage;
    if (garbage == QLatin1String("huge-body"))
        return HugeBody(res);
    if (!garbage.isEmpty() && PlainBody(res)) {
        MakeGarbage(garbageRule, res);
        res.set_header("Content-Length", std::to_string(res.body.size()));
    }
    if (dropAfter < 0 && bps == 0)
        return;
    if (res.body.empty()) {
        if (dropAfter >= 0)
            ShutdownConnection(req);
        return;
    }
    // Serve the body from a provider that stops after K bytes and/or paces
    // its writes; the Content-Length header still announces the whole body.
    auto body = std::make_shared<std::string>(std::move(res.body));
    res.body.clear();
    const std::string type = res.get_header_value("Content-Type");
    res.headers.erase("Content-Type");
    const size_t limit =
        dropAfter >= 0 ? size_t(qMin<qint64>(dropAfter, qint64(body->size()))) : body->size();
    const bool drop = dropAfter >= 0;
    res.set_content_provider(body->size(), type.empty() ? "application/octet-stream" : type.c_str(),
                             [body, limit, drop, bps, &req](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= limit) {
                                     if (drop)
                                         ShutdownConnection(req);
                                     return !drop;
                                 }
                                 size_t chunk = limit - offset;
                                 if (bps > 0)
                                     chunk = qMin<size_t>(chunk, size_t(qMax<qint64>(1, bps / 10)));
                                 else
                                     chunk = qMin<size_t>(chunk, 16384);
                                 if (!sink.write(body->data() + offset, chunk))
                                     return false;
                                 if (bps > 0)
                                     std::this_thread::sleep_for(
                                         std::chrono::microseconds(qint64(chunk) * 1000000 / bps));
                                 if (drop && offset + chunk >= limit) {
                                     ShutdownConnection(req);
                                     return false;
                                 }
                                 return true;
                             });
}

} // namespace orvsrv
