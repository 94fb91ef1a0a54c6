#include "orvsrv/platform_server.h"

#include "api.h"
#include "certs.h"
#include "errorcodes.h"
#include "faults.h"
#include "seed.h"
#include "storage.h"
#include "tus/tus_service.h"
#include "uploadhooks.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace orvsrv {
namespace {

QString JsonError(int http, const char* desc)
{
    return QStringLiteral("{\"requestId\":\"\",\"code\":%1,\"status\":\"error\",\"error\":{\"code\":9,"
                          "\"desc\":\"%2\"},\"data\":null}")
        .arg(http)
        .arg(QLatin1String(desc));
}

} // namespace

struct PlatformServer::Impl
{
    ServerOptions options;
    Storage storage;
    std::unique_ptr<Api> api;
    FaultInjector faults;
    std::unique_ptr<UploadHooks> hooks;
    std::unique_ptr<TusService> tus;
    std::unique_ptr<httplib::Server> http;
    std::thread thread;
    CertPaths certs;
    quint16 port = 0;
    bool storageOpen = false;
    mutable std::mutex pathsMutex;
    std::vector<QString> paths; // every request target (path and query), in arrival order

    bool OpenStorage(QString* error)
    {
        if (storageOpen)
            return true;
        if (!QDir().mkpath(options.dataDir) || !QDir().mkpath(FilesDir())) {
            if (error)
                *error = QStringLiteral("cannot create the data directory %1").arg(options.dataDir);
            return false;
        }
        if (!storage.Open(QDir(options.dataDir).filePath(QStringLiteral("platform.db")), error))
            return false;
        ApiConfig cfg;
        cfg.filesDir = FilesDir();
        cfg.lockoutSeconds = options.lockoutSeconds;
        cfg.updateVersion = options.updateVersion;
        api = std::make_unique<Api>(storage, cfg);
        storageOpen = true;
        return true;
    }
    QString FilesDir() const { return QDir(options.dataDir).filePath(QStringLiteral("files")); }
};

PlatformServer::PlatformServer(ServerOptions options) : d(std::make_unique<Impl>())
{
    d->options = std::move(options);
}

PlatformServer::~PlatformServer()
{
    Stop();
}

bool PlatformServer::Start(QString* error)
{
    if (d->http)
        return true;
    if (d->options.dataDir.isEmpty()) {
        if (error)
            *error = QStringLiteral("no data directory given");
        return false;
    }
    if (!d->OpenStorage(error))
        return false;
    if (d->options.seed == QLatin1String("demo") && !SeedDemoData(d->storage)) {
        if (error)
            *error = QStringLiteral("seeding the demo data failed");
        return false;
    }
    if (d->options.https) {
        if (!EnsureCertificates(QDir(d->options.dataDir).filePath(QStringLiteral("tls")), &d->certs, error,
                                d->options.tlsFault))
            return false;
        d->http = std::make_unique<httplib::SSLServer>(d->certs.certFile.toLocal8Bit().constData(),
                                                       d->certs.keyFile.toLocal8Bit().constData());
    } else {
        d->http = std::make_unique<httplib::Server>();
    }
    if (!d->http->is_valid()) {
        d->http.reset();
        if (error)
            *error = QStringLiteral("the HTTP server could not be set up (certificate or key unusable)");
        return false;
    }
    // A client that goes away mid-answer must not end the process: writes to
    // its socket then fail with EPIPE instead of raising SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    httplib::Server& http = *d->http;
    // Parallel thumbnail downloads and uploads keep connections open; give
    // them enough workers, and do not let idle keep-alive links hold them long.
    http.new_task_queue = [] { return new httplib::ThreadPool(32); };
    http.set_keep_alive_timeout(2);
    http.set_keep_alive_max_count(100);
    // Small answers would otherwise wait for the peer's delayed ACK.
    http.set_tcp_nodelay(true);
    http.set_read_timeout(10);
    http.set_write_timeout(10);

    Impl* d_ = d.get();
    http.set_pre_routing_handler([d_](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> lock(d_->pathsMutex);
            d_->paths.push_back(QString::fromStdString(req.target.empty() ? req.path : req.target));
        }
        if (d_->faults.Before(req, res))
            return httplib::Server::HandlerResponse::Handled;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.set_post_routing_handler(
        [d_](const httplib::Request& req, httplib::Response& res) { d_->faults.After(req, res); });
    http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty() || res.content_length_ > 0)
            return;
        const char* text = res.status == 404   ? "Not Found"
                           : res.status == 413 ? "Payload Too Large"
                                               : "Bad Request";
        if (req.path.rfind("/v3/", 0) == 0)
            res.set_content(JsonError(res.status, text).toStdString(), "application/json");
        else
            res.set_content(text, "text/plain");
    });
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(JsonError(500, "Internal Server Error").toStdString(), "application/json");
    });
    if (d->options.accessLog) {
        http.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::fprintf(stderr, "%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
        });
    }

    d->api->Install(http);
    d->hooks = std::make_unique<UploadHooks>(d->storage, *d->api);
    TusConfig tusConfig;
    tusConfig.storageDir = QDir(d->options.dataDir).filePath(QStringLiteral("uploads"));
    tusConfig.expirySeconds = d->options.tusExpirySeconds;
    tusConfig.platformAdditions = !d->options.plainTus;
    tusConfig.cutBodyAfter = [](const httplib::Request&) { return BodyCutOfCurrentRequest(); };
    tusConfig.cutConnection = [](const httplib::Request& req) { ShutdownConnection(req, true); };
    QDir().mkpath(tusConfig.storageDir);
    d->tus = std::make_unique<TusService>(*d->hooks, tusConfig);
    d->tus->Install(http);

    const std::string host = d->options.host.toStdString();
    int port = d->options.port;
    if (port == 0) {
        port = http.bind_to_any_port(host);
    } else if (!http.bind_to_port(host, port)) {
        port = -1;
    }
    if (port <= 0) {
        d->tus.reset();
        d->http.reset();
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2").arg(d->options.host).arg(d->options.port);
        return false;
    }
    d->port = quint16(port);
    d->api->SetBaseUrl(BaseUrl());
    d->thread = std::thread([d_] { d_->http->listen_after_bind(); });
    return true;
}

void PlatformServer::Stop()
{
    if (!d->http)
        return;
    d->http->stop();
    if (d->thread.joinable())
        d->thread.join();
    d->http.reset();
    d->tus.reset();
    d->hooks.reset();
}

quint16 PlatformServer::Port() const
{
    return d->port;
}

QString PlatformServer::BaseUrl() const
{
    QString host = d->options.host;
    if (host == QLatin1String("0.0.0.0") || host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    else if (host == QLatin1String("::"))
        host = QStringLiteral("[::1]");
    else if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1://%2:%3")
        .arg(d->options.https ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(d->port);
}

QString PlatformServer::CaFile() const
{
    return d->certs.caFile;
}
QString PlatformServer::DataDir() const
{
    return d->options.dataDir;
}

int PlatformServer::AddFault(const FaultRule& rule)
{
    return d->faults.Add(rule);
}
void PlatformServer::RemoveFault(int id)
{
    d->faults.Remove(id);
}
void PlatformServer::ClearFaults()
{
    d->faults.Clear();
}

int PlatformServer::FaultHits(int id) const
{
    return d->faults.Hits(id);
}

QList<CompletedUpload> PlatformServer::CompletedUploads() const
{
    QList<CompletedUpload> out;
    for (const TusUploadInfo& i : d->hooks ? d->hooks->Completed() : QList<TusUploadInfo>())
        out.append({i.vid, i.fileName, i.title, i.description, i.tags, i.cateId, i.luping, i.size,
                    i.storedFilePath});
    return out;
}

bool PlatformServer::Keys(const QString& email, AccountKeys* keys) const
{
    Account acc;
    if (!d->storageOpen || !d->storage.AccountByEmail(email, &acc))
        return false;
    *keys = {acc.userId, acc.appId, acc.appSecret, acc.topCateId};
    return true;
}

bool PlatformServer::SetPermission(const QString& email, const QString& name, bool on)
{
    Account acc;
    const int bit = PermissionNames().indexOf(name);
    if (bit < 0 || !d->storageOpen || !d->storage.AccountByEmail(email, &acc))
        return false;
    return d->storage.SetPermissions(acc.id,
                                     on ? acc.permissions | (1u << bit) : acc.permissions & ~(1u << bit));
}

bool PlatformServer::SetRemainingSpace(const QString& email, qint64 bytes)
{
    Account acc, owner;
    if (!d->storageOpen || !d->storage.AccountByEmail(email, &acc) ||
        !d->storage.AccountById(acc.ownerId, &owner))
        return false;
    return d->storage.AddRemainBytes(owner.id, bytes - owner.remainBytes);
}

void PlatformServer::FlipByteOfNextCompletedUpload()
{
    if (d->tus)
        d->tus->FlipByteOfNextCompletedUpload();
}

QStringList PlatformServer::ReceivedSigns() const
{
    return d->api ? d->api->ReceivedSigns() : QStringList();
}

qint64 PlatformServer::UploadBytesReceived() const
{
    return d->tus ? d->tus->BytesReceived() : 0;
}

bool PlatformServer::StoredVideo(const QString& vid, qint64* size, quint64* crc64) const
{
    Video video;
    if (!d->storageOpen || !d->storage.VideoByVid(vid, &video))
        return false;
    *size = video.size;
    *crc64 = video.crc64;
    return true;
}

bool PlatformServer::SeedDemo()
{
    return d->OpenStorage(nullptr) && SeedDemoData(d->storage);
}

QString PlatformServer::SeedVideo(const QString& email, const VideoSeed& seed)
{
    if (!d->OpenStorage(nullptr))
        return QString();
    return SeedVideoData(d->storage, email, seed);
}

int PlatformServer::RequestCount(const QString& pathPrefix) const
{
    return Requests(pathPrefix).size();
}

QStringList PlatformServer::Requests(const QString& pathPrefix) const
{
    std::lock_guard<std::mutex> lock(d->pathsMutex);
    QStringList targets;
    for (const QString& target : d->paths)
        if (target.startsWith(pathPrefix))
            targets.append(target);
    return targets;
}

QString PlatformServer::SeedLarge(int categories, int videos)
{
    if (!d->OpenStorage(nullptr))
        return QString();
    return SeedLargeData(d->storage, categories, videos);
}

} // namespace orvsrv
