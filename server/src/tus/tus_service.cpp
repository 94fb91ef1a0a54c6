#include "tus_service.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUuid>

#include <httplib.h>
#include <lzma.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace orvsrv {

namespace {

constexpr const char* kUploadPattern = R"(/tus/files/([0-9a-f]{32}))";
constexpr size_t kWriteBuffer = 1 << 20;

struct Upload
{
    QString id;
    std::mutex mutex; // guards everything below
    std::condition_variable idle;
    bool busy = false; // a PATCH, completion or delete is running

    // A client that lost its connection comes back while the old request
    // is still winding down; give that request a moment to finish.
    bool WaitIdle(std::unique_lock<std::mutex>& lock)
    {
        return idle.wait_for(lock, std::chrono::seconds(3), [this] { return !busy; });
    }
    qint64 length = 0;
    qint64 offset = 0;
    bool completed = false;
    qint64 lastActivity = 0; // seconds since the epoch
    QString metadataHeader;
    TusUploadInfo info;
};

struct Fd
{
    int fd = -1;
    Fd() = default;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

qint64 Now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QString Header(const httplib::Request& req, const char* name)
{
    return QString::fromStdString(req.get_header_value(name));
}

QString HttpDate(qint64 secs)
{
    // Straight to UTC: a detour through local time calls mktime, whose time
    // zone state the connection threads would share.
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC),
                                 QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
}

void SetError(httplib::Response& res, int status, int platformCode, const QString& desc)
{
    res.status = status;
    res.set_header("Orv-Error-Code", std::to_string(platformCode));
    res.set_header("Orv-Error-Desc", desc.toStdString());
    QString escaped = desc;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    res.set_content(
        QStringLiteral("{\"code\":%1,\"status\":\"error\",\"error\":{\"code\":%2,\"desc\":\"%3\"}}")
            .arg(status)
            .arg(platformCode)
            .arg(escaped)
            .toStdString(),
        "application/json");
}

// CRC-64/XZ of a whole file.
bool FileCrc64(const QString& path, quint64* crc)
{
    Fd f;
    f.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0)
        return false;
    std::unique_ptr<char[]> buf(new char[kWriteBuffer]);
    uint64_t c = 0;
    for (;;) {
        const ssize_t n = ::read(f.fd, buf.get(), kWriteBuffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        c = lzma_crc64(reinterpret_cast<const uint8_t*>(buf.get()), static_cast<size_t>(n), c);
    }
    *crc = c;
    return true;
}

} // namespace

struct TusService::Impl
{
    TusHooks& hooks;
    TusConfig config;
    std::mutex mapMutex;
    std::map<QString, std::shared_ptr<Upload>> uploads;
    std::set<QString> expired;
    qint64 lastSweep = 0;
    std::atomic<bool> flipNext{false};
    std::atomic<qint64> bytesReceived{0};

    Impl(TusHooks& h, TusConfig c) : hooks(h), config(std::move(c))
    {
        QDir().mkpath(config.storageDir);
        Load();
    }

    QString DataPath(const QString& id) const { return config.storageDir + QLatin1Char('/') + id + ".bin"; }
    QString InfoPath(const QString& id) const { return config.storageDir + QLatin1Char('/') + id + ".info"; }

    // ---- persistence: one small text file per upload, replaced atomically

    void Save(const Upload& u) const
    {
        const QString tmp = InfoPath(u.id) + ".tmp";
        QFile f(tmp);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        QByteArray text;
        text += "length=" + QByteArray::number(u.length) + '\n';
        text += "completed=" + QByteArray::number(u.completed ? 1 : 0) + '\n';
        text += "activity=" + QByteArray::number(u.lastActivity) + '\n';
        text += "user=" + u.info.account.userId.toUtf8().toBase64() + '\n';
        text += "app=" + u.info.account.appId.toUtf8().toBase64() + '\n';
        text += "meta=" + u.metadataHeader.toUtf8().toBase64() + '\n';
        text += "crc=" + QByteArray::number(u.info.crc64) + '\n';
        f.write(text);
        f.flush();
        ::fdatasync(f.handle());
        f.close();
        ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(InfoPath(u.id)).constData());
    }

    void Load()
    {
        const QStringList infos = QDir(config.storageDir).entryList({"*.info"}, QDir::Files);
        for (const QString& name : infos) {
            const QString id = name.left(name.size() - 5);
            QFile f(config.storageDir + QLatin1Char('/') + name);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            auto u = std::make_shared<Upload>();
            u->id = id;
            for (const QByteArray& line : f.readAll().split('\n')) {
                const int eq = line.indexOf('=');
                if (eq < 0)
                    continue;
                const QByteArray key = line.left(eq);
                const QByteArray value = line.mid(eq + 1);
                if (key == "length")
                    u->length = value.toLongLong();
                else if (key == "completed")
                    u->completed = value == "1";
                else if (key == "activity")
                    u->lastActivity = value.toLongLong();
                else if (key == "user")
                    u->info.account.userId = QString::fromUtf8(QByteArray::fromBase64(value));
                else if (key == "app")
                    u->info.account.appId = QString::fromUtf8(QByteArray::fromBase64(value));
                else if (key == "meta")
                    u->metadataHeader = QString::fromUtf8(QByteArray::fromBase64(value));
                else if (key == "crc")
                    u->info.crc64 = value.toULongLong();
            }
            ApplyMetadata(u.get());
            u->info.storedFilePath = DataPath(id);
            u->offset = QFileInfo(DataPath(id)).size();
            if (u->offset > u->length) {
                // Never report more than the declared length.
                ::truncate(QFile::encodeName(DataPath(id)).constData(), u->length);
                u->offset = u->length;
            }
            uploads[id] = u;
        }
    }

    void ApplyMetadata(Upload* u) const { ReadUploadMetadata(u->metadataHeader, u->length, &u->info); }

    // ---- expiry: partial uploads idle for longer than the configured time

    void Sweep()
    {
        std::vector<std::pair<QString, bool>> doomed; // id, completed (read under the upload's lock)
        {
            std::lock_guard<std::mutex> lock(mapMutex);
            const qint64 now = Now();
            if (now == lastSweep)
                return;
            lastSweep = now;
            for (auto it = uploads.begin(); it != uploads.end();) {
                std::shared_ptr<Upload> u = it->second;
                std::unique_lock<std::mutex> ul(u->mutex, std::try_to_lock);
                if (ul.owns_lock() && !u->busy && now - u->lastActivity > config.expirySeconds) {
                    expired.insert(it->first);
                    doomed.emplace_back(u->id, u->completed);
                    it = uploads.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (const auto& [id, completed] : doomed) {
            // A completed upload's file belongs to the platform now.
            if (!completed)
                QFile::remove(DataPath(id));
            QFile::remove(InfoPath(id));
        }
    }

    std::shared_ptr<Upload> Find(const QString& id, httplib::Response& res)
    {
        std::lock_guard<std::mutex> lock(mapMutex);
        const auto it = uploads.find(id);
        if (it != uploads.end())
            return it->second;
        res.status = expired.count(id) ? 410 : 404;
        return nullptr;
    }

    // ---- protocol helpers

    static void Common(httplib::Response& res) { res.set_header("Tus-Resumable", "1.0.0"); }

    bool CheckVersion(const httplib::Request& req, httplib::Response& res) const
    {
        Common(res);
        if (req.get_header_value("Tus-Resumable") != "1.0.0") {
            res.status = 412;
            res.set_header("Tus-Version", "1.0.0");
            return false;
        }
        return true;
    }

    // Platform authentication by the signed headers; plain mode skips it.
    bool Authenticate(const httplib::Request& req, httplib::Response& res, TusAccount* account)
    {
        if (!config.platformAdditions)
            return true;
        const QString appId = Header(req, "Orv-App-Id");
        const QString timestamp = Header(req, "Orv-Timestamp");
        const QString sign = Header(req, "Orv-Sign");
        if (appId.isEmpty() || timestamp.isEmpty() || sign.isEmpty()) {
            SetError(res, 401, 0, QStringLiteral("AccessDenied: missing authentication"));
            return false;
        }
        QMap<QString, QString> params;
        params.insert(QStringLiteral("appId"), appId);
        params.insert(QStringLiteral("timestamp"), timestamp);
        params.insert(QStringLiteral("sign"), sign);
        TusError err;
        if (!hooks.Authenticate(params, account, &err)) {
            SetError(res, err.httpStatus, err.platformCode,
                     err.desc.isEmpty() ? QStringLiteral("AccessDenied") : err.desc);
            return false;
        }
        return true;
    }

    bool Owns(const TusAccount& account, const Upload& u, httplib::Response& res) const
    {
        if (!config.platformAdditions || (account.userId == u.info.account.userId))
            return true;
        SetError(res, 403, 0, QStringLiteral("AccessDenied: not your upload"));
        return false;
    }

    void Touch(Upload& u, httplib::Response& res) const
    {
        u.lastActivity = Now();
        if (!u.completed)
            res.set_header("Upload-Expires", HttpDate(u.lastActivity + config.expirySeconds).toStdString());
    }

    // ---- handlers

    void HandleOptions(const httplib::Request&, httplib::Response& res) const
    {
        Common(res);
        res.status = 204;
        res.set_header("Tus-Version", "1.0.0");
        res.set_header("Tus-Extension", "creation,termination,expiration,checksum");
        res.set_header("Tus-Checksum-Algorithm", "crc64,sha1");
        if (config.maxUploadSize > 0)
            res.set_header("Tus-Max-Size", std::to_string(config.maxUploadSize));
    }

    void HandlePreCheck(const httplib::Request& req, httplib::Response& res)
    {
        if (!config.platformAdditions) {
            res.status = 404;
            return;
        }
        if (!CheckVersion(req, res))
            return;
        TusAccount account;
        if (!Authenticate(req, res, &account))
            return;
        const QString vid = QString::fromStdString(req.get_param_value("vid"));
        const qint64 size = QString::fromStdString(req.get_param_value("size")).toLongLong();
        const qint64 cateId = QString::fromStdString(req.get_param_value("cateId")).toLongLong();
        if (size > 0 && hooks.IsAlreadyStored(account, vid, 0, size)) {
            res.status = 200;
            res.set_header("Orv-Already-Stored", "1");
            return;
        }
        TusError err;
        if (!hooks.CheckCreate(account, size, cateId, &err)) {
            SetError(res, err.httpStatus, err.platformCode, err.desc);
            return;
        }
        res.status = 200;
        res.set_header("Orv-Already-Stored", "0");
    }

    void HandleCreate(const httplib::Request& req, httplib::Response& res)
    {
        Sweep();
        if (!CheckVersion(req, res))
            return;
        TusAccount account;
        if (!Authenticate(req, res, &account))
            return;
        qint64 length = 0;
        if (!ParseTusNumber(req.get_header_value("Upload-Length"), &length)) {
            SetError(res, 400, 0, QStringLiteral("Upload-Length missing or invalid"));
            return;
        }
        if (config.maxUploadSize > 0 && length > config.maxUploadSize) {
            SetError(res, 413, 0, QStringLiteral("CapacityOverLimit"));
            return;
        }
        auto u = std::make_shared<Upload>();
        u->id = QUuid::createUuid().toString(QUuid::Id128);
        u->length = length;
        u->metadataHeader = Header(req, "Upload-Metadata");
        u->info.account = account;
        ApplyMetadata(u.get());
        u->info.storedFilePath = DataPath(u->id);
        if (config.platformAdditions) {
            TusError err;
            if (!hooks.CheckCreate(account, length, u->info.cateId, &err)) {
                SetError(res, err.httpStatus, err.platformCode, err.desc);
                return;
            }
        }
        QFile data(DataPath(u->id));
        if (!data.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            SetError(res, 500, 0, QStringLiteral("InternalError: cannot store the upload"));
            return;
        }
        data.close();
        // Everything is set before the upload is published: from then on the
        // sweeper reads it under its lock only.
        Touch(*u, res);
        Save(*u);
        {
            std::lock_guard<std::mutex> lock(mapMutex);
            uploads[u->id] = u;
        }
        res.status = 201;
        res.set_header("Location", (QString::fromLatin1(kTusBasePath) + u->id).toStdString());
    }

    void HandleHead(const httplib::Request& req, httplib::Response& res)
    {
        Sweep();
        if (!CheckVersion(req, res))
            return;
        TusAccount account;
        if (!Authenticate(req, res, &account))
            return;
        const auto u = Find(QString::fromStdString(req.matches[1]), res);
        if (!u)
            return;
        std::unique_lock<std::mutex> lock(u->mutex);
        if (!Owns(account, *u, res))
            return;
        u->WaitIdle(lock);
        res.status = 200;
        res.set_header("Cache-Control", "no-store");
        res.set_header("Upload-Offset", std::to_string(u->offset));
        res.set_header("Upload-Length", std::to_string(u->length));
        if (!u->metadataHeader.isEmpty())
            res.set_header("Upload-Metadata", u->metadataHeader.toStdString());
        if (!u->completed)
            res.set_header("Upload-Expires", HttpDate(u->lastActivity + config.expirySeconds).toStdString());
    }

    void HandleDelete(const httplib::Request& req, httplib::Response& res)
    {
        if (!CheckVersion(req, res))
            return;
        TusAccount account;
        if (!Authenticate(req, res, &account))
            return;
        const QString id = QString::fromStdString(req.matches[1]);
        const auto u = Find(id, res);
        if (!u)
            return;
        {
            std::unique_lock<std::mutex> lock(u->mutex);
            if (!Owns(account, *u, res))
                return;
            if (!u->WaitIdle(lock)) {
                res.status = 423;
                return;
            }
            u->busy = true;
        }
        {
            std::lock_guard<std::mutex> lock(mapMutex);
            uploads.erase(id);
            expired.insert(id);
        }
        if (!u->completed)
            QFile::remove(DataPath(id));
        QFile::remove(InfoPath(id));
        res.status = 204;
    }

    void HandlePatch(const httplib::Request& req, httplib::Response& res,
                     const httplib::ContentReader& reader)
    {
        Sweep();
        if (!CheckVersion(req, res))
            return;
        if (req.get_header_value("Content-Type") != "application/offset+octet-stream") {
            res.status = 415;
            return;
        }
        TusAccount account;
        if (!Authenticate(req, res, &account))
            return;
        const auto u = Find(QString::fromStdString(req.matches[1]), res);
        if (!u)
            return;
        qint64 clientOffset = 0;
        if (!ParseTusNumber(req.get_header_value("Upload-Offset"), &clientOffset)) {
            SetError(res, 400, 0, QStringLiteral("Upload-Offset missing or invalid"));
            return;
        }
        qint64 start = 0;
        {
            std::unique_lock<std::mutex> lock(u->mutex);
            if (!Owns(account, *u, res))
                return;
            if (!u->WaitIdle(lock)) {
                res.status = 423;
                return;
            }
            if (clientOffset != u->offset) {
                res.status = 409;
                res.set_header("Upload-Offset", std::to_string(u->offset));
                return;
            }
            u->busy = true;
            start = u->offset;
        }
        // Whatever happens below, the upload is released again.
        struct Release
        {
            Upload& u;
            ~Release()
            {
                {
                    std::lock_guard<std::mutex> lock(u.mutex);
                    u.busy = false;
                }
                u.idle.notify_all();
            }
        } release{*u};

        const std::string crcHeader = req.get_header_value("Orv-File-Crc64");
        if (!crcHeader.empty() && config.platformAdditions) {
            Complete(*u, crcHeader, res);
            return;
        }
        if (u->completed || start == u->length) {
            res.status = 204;
            res.set_header("Upload-Offset", std::to_string(u->offset));
            return;
        }
        qint64 declared = -1;
        if (req.has_header("Content-Length") &&
            ParseTusNumber(req.get_header_value("Content-Length"), &declared) &&
            declared > u->length - start) {
            SetError(res, 413, 0, QStringLiteral("the body exceeds the upload's length"));
            return;
        }

        // Optional per-request checksum: such a body is kept whole or not at all.
        QByteArray algorithm;
        QByteArray expected;
        const std::string checksum = req.get_header_value("Upload-Checksum");
        if (!checksum.empty()) {
            const QList<QByteArray> parts = QByteArray::fromStdString(checksum).split(' ');
            if (parts.size() != 2 || (parts[0] != "sha1" && parts[0] != "crc64")) {
                SetError(res, 400, 0, QStringLiteral("unsupported checksum algorithm"));
                return;
            }
            algorithm = parts[0];
            expected = QByteArray::fromBase64(parts[1]);
        }

        Fd out;
        out.fd = ::open(QFile::encodeName(DataPath(u->id)).constData(), O_WRONLY | O_CLOEXEC);
        if (out.fd < 0 || ::ftruncate(out.fd, start) != 0) {
            SetError(res, 500, 0, QStringLiteral("InternalError: cannot open the stored upload"));
            return;
        }
        std::string buffer;
        buffer.reserve(kWriteBuffer);
        qint64 written = start;
        bool writeFailed = false;
        const qint64 limit = u->length;
        QCryptographicHash sha1(QCryptographicHash::Sha1);
        uint64_t crc = 0;
        auto flush = [&]() {
            size_t done = 0;
            while (done < buffer.size()) {
                const ssize_t n = ::pwrite(out.fd, buffer.data() + done, buffer.size() - done,
                                           static_cast<off_t>(written + static_cast<qint64>(done)));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    writeFailed = true;
                    return;
                }
                done += static_cast<size_t>(n);
            }
            written += static_cast<qint64>(buffer.size());
            bytesReceived.fetch_add(static_cast<qint64>(buffer.size()));
            buffer.clear();
        };
        bool tooLong = false;
        const qint64 cutAt = config.cutBodyAfter ? config.cutBodyAfter(req) : -1;
        bool cut = false;
        const bool complete = reader([&](const char* data, size_t size) {
            if (cutAt >= 0 && written + static_cast<qint64>(buffer.size() + size) - start >= cutAt) {
                size =
                    static_cast<size_t>(qMax<qint64>(0, cutAt - (written + qint64(buffer.size()) - start)));
                cut = true;
            }
            if (written + static_cast<qint64>(buffer.size() + size) > limit) {
                tooLong = true;
                return false;
            }
            if (algorithm == "sha1")
                sha1.addData(data, static_cast<int>(size));
            else if (algorithm == "crc64")
                crc = lzma_crc64(reinterpret_cast<const uint8_t*>(data), size, crc);
            buffer.append(data, size);
            if (buffer.size() >= kWriteBuffer)
                flush();
            return !writeFailed && !cut;
        });
        if (cut && config.cutConnection)
            config.cutConnection(req);
        // Bytes of an interrupted body without checksum are kept: the client
        // resumes after them.
        flush();

        bool keep = !writeFailed && !tooLong;
        if (!algorithm.isEmpty()) {
            QByteArray actual;
            if (algorithm == "sha1") {
                actual = sha1.result();
            } else {
                for (int i = 7; i >= 0; --i)
                    actual.append(static_cast<char>((crc >> (8 * i)) & 0xff));
            }
            if (!complete || actual != expected) {
                keep = false;
                if (complete)
                    res.status = 460;
            }
        }
        if (!keep) {
            if (::ftruncate(out.fd, start) != 0)
                writeFailed = true;
            written = start;
        }
        ::fdatasync(out.fd);
        {
            std::lock_guard<std::mutex> lock(u->mutex);
            u->offset = written;
            Touch(*u, res);
            if (!config.platformAdditions && u->offset == u->length)
                u->completed = true;
            Save(*u);
        }
        if (res.status == 460)
            return;
        if (writeFailed) {
            SetError(res, 500, 0, QStringLiteral("InternalError: cannot store the upload"));
            return;
        }
        if (tooLong) {
            SetError(res, 413, 0, QStringLiteral("the body exceeds the upload's length"));
            return;
        }
        res.status = 204;
        res.set_header("Upload-Offset", std::to_string(written));
    }

    // The platform's completion: the client names the whole-file CRC-64; the
    // stored bytes must match it before the upload becomes a video.
    void Complete(Upload& u, const std::string& crcHeader, httplib::Response& res)
    {
        if (u.offset != u.length) {
            res.status = 409;
            res.set_header("Upload-Offset", std::to_string(u.offset));
            return;
        }
        bool ok = false;
        const quint64 claimed = QString::fromStdString(crcHeader).toULongLong(&ok, 16);
        if (!ok) {
            SetError(res, 400, 0, QStringLiteral("Orv-File-Crc64 invalid"));
            return;
        }
        if (u.completed) {
            if (claimed != u.info.crc64) {
                SetError(res, 422, 0, QStringLiteral("Crc64Mismatch"));
                return;
            }
            res.status = 204;
            res.set_header("Upload-Offset", std::to_string(u.offset));
            return;
        }
        if (flipNext.exchange(false) && u.length > 0) {
            // Fault injection: corrupt one stored byte.
            QFile f(DataPath(u.id));
            if (f.open(QIODevice::ReadWrite)) {
                const qint64 pos = u.length / 2;
                f.seek(pos);
                char c = 0;
                f.getChar(&c);
                f.seek(pos);
                f.putChar(static_cast<char>(c ^ 0x5a));
            }
        }
        quint64 actual = 0;
        if (!FileCrc64(DataPath(u.id), &actual)) {
            SetError(res, 500, 0, QStringLiteral("InternalError: cannot read the stored upload"));
            return;
        }
        if (actual != claimed) {
            // The stored file is unusable: drop it so nothing half-right survives.
            {
                std::lock_guard<std::mutex> lock(mapMutex);
                uploads.erase(u.id);
                expired.insert(u.id);
            }
            QFile::remove(DataPath(u.id));
            QFile::remove(InfoPath(u.id));
            SetError(res, 422, 0, QStringLiteral("Crc64Mismatch"));
            return;
        }
        u.info.crc64 = actual;
        u.info.size = u.length;
        TusError err;
        if (!hooks.CompleteUpload(u.info, &err)) {
            SetError(res, err.httpStatus, err.platformCode, err.desc);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(u.mutex);
            u.completed = true;
            u.lastActivity = Now();
            Save(u);
        }
        res.status = 204;
        res.set_header("Upload-Offset", std::to_string(u.offset));
    }
};

bool ParseTusNumber(const std::string& text, qint64* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18)
        return false;
    *value = std::stoll(text);
    return true;
}

void ReadUploadMetadata(const QString& header, qint64 length, TusUploadInfo* info)
{
    TusUploadInfo& i = *info;
    i.size = length;
    for (const QString& pair : header.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList kv = pair.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (kv.isEmpty())
            continue;
        const QString value =
            kv.size() > 1 ? QString::fromUtf8(QByteArray::fromBase64(kv[1].toLatin1())) : QString();
        const QString& key = kv[0];
        if (key == QLatin1String("vid"))
            i.vid = value;
        else if (key == QLatin1String("filename"))
            i.fileName = value;
        else if (key == QLatin1String("title"))
            i.title = value;
        else if (key == QLatin1String("description"))
            i.description = value;
        else if (key == QLatin1String("tags"))
            i.tags = value;
        else if (key == QLatin1String("cateId"))
            i.cateId = value.toLongLong();
        else if (key == QLatin1String("luping"))
            i.luping = value.toInt();
        else if (key == QLatin1String("keepSource"))
            i.keepSource = value.toInt();
    }
}

TusService::TusService(TusHooks& hooks, TusConfig config) : d(new Impl(hooks, std::move(config))) {}

TusService::~TusService() = default;

void TusService::Install(httplib::Server& http)
{
    Impl* impl = d.get();
    const std::string base = kTusBasePath;
    http.Options(base + ".*", [impl](const httplib::Request& req, httplib::Response& res) {
        impl->HandleOptions(req, res);
    });
    http.Get(base + "precheck",
             [impl](const httplib::Request& req, httplib::Response& res) { impl->HandlePreCheck(req, res); });
    http.Post(base,
              [impl](const httplib::Request& req, httplib::Response& res) { impl->HandleCreate(req, res); });
    http.Post(base.substr(0, base.size() - 1),
              [impl](const httplib::Request& req, httplib::Response& res) { impl->HandleCreate(req, res); });
    // HEAD requests are dispatched to the GET handlers.
    http.Get(kUploadPattern,
             [impl](const httplib::Request& req, httplib::Response& res) { impl->HandleHead(req, res); });
    http.Patch(kUploadPattern,
               [impl](const httplib::Request& req, httplib::Response& res,
                      const httplib::ContentReader& reader) { impl->HandlePatch(req, res, reader); });
    http.Delete(kUploadPattern, [impl](const httplib::Request& req, httplib::Response& res) {
        impl->HandleDelete(req, res);
    });
}

void TusService::FlipByteOfNextCompletedUpload()
{
    d->flipNext.store(true);
}

qint64 TusService::BytesReceived() const
{
    return d->bytesReceived.load();
}

} // namespace orvsrv
