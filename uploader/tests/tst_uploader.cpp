// The upload library through its C interface, against the tus endpoint over
// real loopback HTTP with real files and threads.

#include "orv_uploader.h"
#include "tusserver.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace orvtest;

namespace {

// Collects every callback of one handle.
struct Recorder
{
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<int> results;
    std::vector<QString> resultDescs;
    std::vector<int> deletes;
    std::vector<qint64> uploaded;
    std::vector<qint64> reportMs;
    qint64 incrementSum = 0;
    bool progressNonMonotonic = false;
    bool onCallerThread = false;
    std::thread::id caller = std::this_thread::get_id();
    QElapsedTimer clock;
    std::atomic<int> callbacks{0};

    Recorder() { clock.start(); }

    static void OnProgress(int inc, int64_t up, int64_t, void* user)
    {
        auto* r = static_cast<Recorder*>(user);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->callbacks++;
        if (std::this_thread::get_id() == r->caller)
            r->onCallerThread = true;
        if (!r->uploaded.empty() && up < r->uploaded.back() && r->results.size() == r->runsAtLastProgress)
            r->progressNonMonotonic = true;
        r->runsAtLastProgress = r->results.size();
        r->uploaded.push_back(up);
        r->reportMs.push_back(r->clock.elapsed());
        r->incrementSum += inc;
    }
    static void OnResult(int code, const char* desc, void* user)
    {
        auto* r = static_cast<Recorder*>(user);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->callbacks++;
        if (std::this_thread::get_id() == r->caller)
            r->onCallerThread = true;
        r->results.push_back(code);
        r->resultDescs.push_back(desc ? QString::fromUtf8(desc) : QString());
        r->cv.notify_all();
    }
    static void OnDelete(int code, const char*, void* user)
    {
        auto* r = static_cast<Recorder*>(user);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->callbacks++;
        r->deletes.push_back(code);
        r->cv.notify_all();
    }
    size_t runsAtLastProgress = 0;

    // The next result, or -1 after the time-out.
    int WaitResult(int timeoutMs = 120000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        const size_t seen = consumed;
        if (!cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return results.size() > seen; }))
            return -1;
        return results[consumed++];
    }
    int WaitDelete(int timeoutMs = 30000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !deletes.empty(); }))
            return -1;
        return deletes.back();
    }
    qint64 LastUploaded()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return uploaded.empty() ? 0 : uploaded.back();
    }
    size_t consumed = 0;
};

// Writes a file of `size` bytes whose every MiB differs (a counter and the
// seed stamped into a random block), quickly even for hundreds of MiB.
void MakeFile(const QString& path, qint64 size, quint32 seed)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (char& c : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    qint64 done = 0;
    quint32 index = 0;
    while (done < size) {
        memcpy(block.data(), &index, sizeof index);
        memcpy(block.data() + 4, &seed, sizeof seed);
        ++index;
        const qint64 n = std::min<qint64>(block.size(), size - done);
        QCOMPARE(f.write(block.constData(), n), n);
        done += n;
    }
}

bool SameContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

struct Handle
{
    ORVUploaderHandle h = ORVUploaderCreate();
    Recorder rec;
    QByteArray path;
    ~Handle() { ORVUploaderDestroy(h); }
    int Bind(const QString& file, const char* title = "A title")
    {
        path = file.toUtf8();
        ORVUploaderParam p{};
        p.filePath = path.constData();
        p.title = title;
        p.description = "Beschreibung mit Umlauten: äöü";
        p.tags = "one,two";
        p.cateId = 7;
        p.luping = 1;
        p.keepSource = 0;
        const int rc = ORVUploaderSetParam(h, &p);
        Hook();
        return rc;
    }
    void Hook()
    {
        ORVUploaderSetDeleteHandler(h, &Recorder::OnDelete, &rec);
        ORVUploaderSetResultHandler(h, &Recorder::OnResult, &rec);
        ORVUploaderSetProgressHandler(h, &Recorder::OnProgress, &rec);
    }
    QString Vid() const { return QString::fromUtf8(ORVUploaderGetVID(h)); }
};

} // namespace

class UploaderTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp_;
    std::unique_ptr<TusTestServer> server_;
    QString storage_;
    QString cache_;
    int seed_ = 1;

    QString NewFile(qint64 size, const QString& name = QString())
    {
        const QString path = tmp_.filePath(name.isEmpty() ? QStringLiteral("file%1.bin").arg(seed_) : name);
        MakeFile(path, size, static_cast<quint32>(seed_++));
        return path;
    }
    void UseServer(TusTestServer* server) { ORVSetSdkServiceUrl(server->BaseUrl().toUtf8().constData()); }
    orvsrv::TusUploadInfo LastCompleted()
    {
        std::lock_guard<std::mutex> lock(server_->Hooks().mutex);
        return server_->Hooks().completed.isEmpty() ? orvsrv::TusUploadInfo()
                                                    : server_->Hooks().completed.last();
    }
    int PartialUploadsOnServer(const QString& dir)
    {
        return QDir(dir).entryList({"*.info"}, QDir::Files).size();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid());
        storage_ = tmp_.filePath("server");
        cache_ = tmp_.filePath("cache/nested");
        server_ = std::make_unique<TusTestServer>(storage_);
        QCOMPARE(ORVSetSdkLogFile(tmp_.filePath("sdk.log").toUtf8().constData()), 0);
        QCOMPARE(ORVSetSdkLogLevel(3), 0);
        QCOMPARE(ORVSetSdkCachePath(cache_.toUtf8().constData()), 0);
        QVERIFY(QDir(cache_).exists());
        UseServer(server_.get());
        QCOMPARE(ORVInitSdkLibrary(kUserId, kAppId, kAppSecret), 0);
        QCOMPARE(ORVSetSdkHttpRequest(3), 0);
    }

    void cleanup() { ORVSetSdkTrafficLimit(0, 0); }

    void cleanupTestCase()
    {
        ORVReleaseSdkLibrary();
        server_.reset();
        // The log never holds the secret.
        QFile log(tmp_.filePath("sdk.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(!text.isEmpty());
        QVERIFY(!text.contains(kAppSecret));
        QVERIFY(!text.contains("Orv-Sign"));
    }

    void vidIsStableAndFollowsTheFile()
    {
        const QString path = NewFile(3 * 1024 * 1024 + 17);
        Handle a, b;
        QCOMPARE(a.Bind(path), 0);
        QCOMPARE(b.Bind(path), 0);
        QVERIFY(QRegularExpression("^[0-9a-f]{32}_[0-9a-z]$").match(a.Vid()).hasMatch());
        QCOMPARE(a.Vid(), b.Vid());

        // Same bytes and times under another name: same vid.
        const QString copy = tmp_.filePath("elsewhere.bin");
        QVERIFY(QFile::copy(path, copy));
        struct stat st
        {
        };
        QCOMPARE(::stat(path.toUtf8().constData(), &st), 0);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, copy.toUtf8().constData(), times, 0), 0);
        Handle c;
        QCOMPARE(c.Bind(copy), 0);
        QCOMPARE(c.Vid(), a.Vid());

        // One changed byte in the head, times restored: a new vid.
        {
            QFile f(copy);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(10);
            f.write("X", 1);
        }
        QCOMPARE(::utimensat(AT_FDCWD, copy.toUtf8().constData(), times, 0), 0);
        Handle d;
        QCOMPARE(d.Bind(copy), 0);
        QVERIFY(d.Vid() != a.Vid());

        // Appending changes size and time: a new vid.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            f.write("more");
        }
        Handle e;
        QCOMPARE(e.Bind(path), 0);
        QVERIFY(e.Vid() != a.Vid());
    }

    void fileErrors()
    {
        Handle missing;
        QCOMPARE(missing.Bind(tmp_.filePath("nope.bin")), static_cast<int>(ORV_ERR_FILE_NOT_EXIST));

        // A stored vid without its file: the run reports the missing file.
        Handle orphan;
        orphan.Hook();
        QCOMPARE(ORVUploaderSetVID(orphan.h, "0123456789abcdef0123456789abcdef_u"), 0);
        QCOMPARE(orphan.Vid(), QStringLiteral("0123456789abcdef0123456789abcdef_u"));
        QCOMPARE(ORVUploaderStart(orphan.h), 0);
        QCOMPARE(orphan.rec.WaitResult(), static_cast<int>(ORV_ERR_FILE_NOT_EXIST));
        QCOMPARE(ORVUploaderSetVID(orphan.h, "not-a-vid"), static_cast<int>(ORV_ERR_INVALID_ARGUMENT));

        const QString empty = tmp_.filePath("empty.bin");
        QFile(empty).open(QIODevice::WriteOnly);
        Handle e;
        QCOMPARE(e.Bind(empty), 0);
        QCOMPARE(ORVUploaderStart(e.h), 0);
        QCOMPARE(e.rec.WaitResult(), static_cast<int>(ORV_ERR_FILE_EMPTY));

        // Every code has a description; the keywords the client maps are there.
        for (int code : {0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 19, 102, 112, 523, 9999})
            QVERIFY(ORVGetSdkErrorDescription(code) && *ORVGetSdkErrorDescription(code));
        QVERIFY(QString(ORVGetSdkErrorDescription(ORV_ERR_NO_SPACE)).contains("CapacityOverLimit"));
        QVERIFY(QString(ORVGetSdkErrorDescription(ORV_ERR_PROTOCOL)).contains("http response parse error"));
    }

    void smallUploadThenSecondPass()
    {
        const QString path = NewFile(300 * 1024 + 5);
        Handle h;
        QCOMPARE(h.Bind(path, "Kleiner Film"), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        const orvsrv::TusUploadInfo info = LastCompleted();
        QCOMPARE(info.vid, h.Vid());
        QCOMPARE(info.title, QStringLiteral("Kleiner Film"));
        QCOMPARE(info.description, QStringLiteral("Beschreibung mit Umlauten: äöü"));
        QCOMPARE(info.tags, QStringLiteral("one,two"));
        QCOMPARE(info.cateId, qint64(7));
        QCOMPARE(info.luping, 1);
        QCOMPARE(info.fileName, QFileInfo(path).fileName());
        QCOMPARE(info.size, QFileInfo(path).size());
        QVERIFY(SameContent(info.storedFilePath, path));
        {
            std::lock_guard<std::mutex> lock(h.rec.mutex);
            QCOMPARE(h.rec.uploaded.back(), QFileInfo(path).size());
            QCOMPARE(h.rec.incrementSum, QFileInfo(path).size());
            QVERIFY(!h.rec.onCallerThread);
            QVERIFY(!h.rec.progressNonMonotonic);
        }
        QVERIFY(!QFile::exists(cache_ + "/" + h.Vid() + ".orvup"));

        // The same file again: already stored, nothing transferred.
        const qint64 before = server_->Service().BytesReceived();
        Handle again;
        QCOMPARE(again.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(again.h), 0);
        QCOMPARE(again.rec.WaitResult(), static_cast<int>(ORV_OK_ALREADY_STORED));
        QCOMPARE(server_->Service().BytesReceived(), before);
    }

    void largeUpload()
    {
        const qint64 size = 300LL * 1024 * 1024 + 123;
        const QString path = NewFile(size, "large.bin");
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(300000), 0);
        const qint64 ms = t.elapsed();
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
        std::lock_guard<std::mutex> lock(h.rec.mutex);
        QCOMPARE(h.rec.uploaded.back(), size);
        QVERIFY(!h.rec.progressNonMonotonic);
        // At most one report per 100 ms, plus the first and the last.
        QVERIFY2(qint64(h.rec.uploaded.size()) <= ms / 100 + 3,
                 qPrintable(QString::number(h.rec.uploaded.size())));
        QFile::remove(path);
        QFile::remove(LastCompleted().storedFilePath);
    }

    void pauseAndResume()
    {
        const qint64 size = 24LL * 1024 * 1024;
        const QString path = NewFile(size);
        const qint64 start = server_->Service().BytesReceived();
        ORVSetSdkTrafficLimit(8 * 1024, 0); // 8 MiB/s: three seconds in all
        // A refused value leaves the limit in force as it was.
        QCOMPARE(ORVSetSdkTrafficLimit(-1, 0), static_cast<int>(ORV_ERR_INVALID_ARGUMENT));
        QCOMPARE(ORVGetSdkTrafficLimit(), 8 * 1024);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(h.rec.LastUploaded() > 2 * 1024 * 1024, 20000);
        QElapsedTimer t;
        t.start();
        QCOMPARE(ORVUploaderPause(h.h), 0);
        QCOMPARE(h.rec.WaitResult(5000), static_cast<int>(ORV_ERR_PAUSED));
        const qint64 pauseMs = t.elapsed();
        QVERIFY2(pauseMs < 1000, qPrintable(QString::number(pauseMs)));
        // Bytes already in flight may still land; after that nothing moves.
        QTest::qWait(400);
        const qint64 received = server_->Service().BytesReceived();
        QTest::qWait(400);
        QCOMPARE(server_->Service().BytesReceived(), received);
        QVERIFY(QFile::exists(cache_ + "/" + h.Vid() + ".orvup"));

        ORVSetSdkTrafficLimit(0, 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
        // Resumed at the server's offset: almost nothing sent twice.
        QVERIFY(server_->Service().BytesReceived() - start <= size + 1024 * 1024);
        std::lock_guard<std::mutex> lock(h.rec.mutex);
        QVERIFY(!h.rec.progressNonMonotonic);
        QCOMPARE(h.rec.results.size(), size_t(2));
    }

    void resumeAfterKill()
    {
        const qint64 size = 48LL * 1024 * 1024;
        const QString path = NewFile(size, "killed.bin");
        Handle probe;
        QCOMPARE(probe.Bind(path), 0);
        const QString vid = probe.Vid();

        const qint64 before = server_->Service().BytesReceived();
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--upload-child", path, server_->BaseUrl(), cache_});
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start();
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server_->Service().BytesReceived() - before > 8 * 1024 * 1024, 30000);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        QVERIFY(QFile::exists(cache_ + "/" + vid + ".orvup"));
        QTest::qWait(200); // let the server take in what was in flight
        const qint64 kept = server_->Service().BytesReceived() - before;

        QCOMPARE(ORVUploaderStart(probe.h), 0);
        QCOMPARE(probe.rec.WaitResult(), 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
        const qint64 total = server_->Service().BytesReceived() - before;
        QVERIFY2(total - size <= 1024 * 1024, qPrintable(QStringLiteral("re-sent %1").arg(total - size)));
        std::lock_guard<std::mutex> lock(probe.rec.mutex);
        QVERIFY(probe.rec.uploaded.front() >= kept - 1024 * 1024); // the run started where the server was
    }

    void deleteWhileRunning()
    {
        const QString path = NewFile(16 * 1024 * 1024);
        ORVSetSdkTrafficLimit(4 * 1024, 0);
        const int partialBefore = PartialUploadsOnServer(storage_);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(h.rec.LastUploaded() > 1024 * 1024, 20000);
        QCOMPARE(PartialUploadsOnServer(storage_), partialBefore + 1);
        QCOMPARE(ORVUploaderDelete(h.h), 0);
        QCOMPARE(h.rec.WaitDelete(), 0);
        QCOMPARE(PartialUploadsOnServer(storage_), partialBefore);
        QVERIFY(!QFile::exists(cache_ + "/" + h.Vid() + ".orvup"));
        QTest::qWait(100);
        std::lock_guard<std::mutex> lock(h.rec.mutex);
        QVERIFY(h.rec.results.empty()); // the interrupted run reports nothing
    }

    void flippedByteGives19()
    {
        const QString path = NewFile(2 * 1024 * 1024 + 3);
        server_->Service().FlipByteOfNextCompletedUpload();
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        const int completedBefore = server_->Hooks().completed.size();
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), static_cast<int>(ORV_ERR_CRC64_MISMATCH));
        QCOMPARE(server_->Hooks().completed.size(), completedBefore); // no video from a corrupt file
        QVERIFY(!QFile::exists(cache_ + "/" + h.Vid() + ".orvup"));
    }

    void checksumRejectIsResent()
    {
        const QString path = NewFile(600 * 1024);
        server_->FailNext("PATCH", 460, 2);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        QCOMPARE(server_->FaultsLeft(), 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
    }

    void conflictRecovers()
    {
        const QString path = NewFile(700 * 1024);
        server_->FailNext("PATCH", 409, 1);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        QCOMPARE(server_->FaultsLeft(), 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));

        // 5xx and 423 are retried too.
        const QString other = NewFile(500 * 1024);
        server_->FailNext("HEAD", 503, 2);
        Handle g;
        QCOMPARE(g.Bind(other), 0);
        QCOMPARE(ORVUploaderStart(g.h), 0);
        QCOMPARE(g.rec.WaitResult(), 0);
        QCOMPARE(server_->FaultsLeft(), 0);
    }

    void droppedConnectionIsRetried()
    {
        TcpRelay relay(server_->Port());
        ORVSetSdkServiceUrl(QStringLiteral("http://127.0.0.1:%1").arg(relay.Port()).toUtf8().constData());
        // Connections die after 5 MiB from the client, three times in a row.
        relay.DropAfter(5 * 1024 * 1024, 3);
        const qint64 size = 24LL * 1024 * 1024;
        const QString path = NewFile(size);
        const qint64 before = server_->Service().BytesReceived();
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult();
        UseServer(server_.get());
        QCOMPARE(rc, 0);
        if (relay.Drops() < 2) {
            QFile l(tmp_.filePath("sdk.log"));
            l.open(QIODevice::ReadOnly);
            qWarning("%s", l.readAll().right(3000).constData());
        }
        QVERIFY2(relay.Drops() >= 2, qPrintable(QString::number(relay.Drops())));
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
        // Every byte that reached the server was kept: little was sent twice.
        QVERIFY(server_->Service().BytesReceived() - before < size + 4 * 1024 * 1024);
    }

    void fileRemovedMidUpload()
    {
        const QString path = NewFile(16 * 1024 * 1024);
        ORVSetSdkTrafficLimit(4 * 1024, 0);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(h.rec.LastUploaded() > 1024 * 1024, 20000);
        QVERIFY(QFile::remove(path));
        const int rc = h.rec.WaitResult(10000);
        QVERIFY2(rc == ORV_ERR_FILE_NOT_EXIST || rc == ORV_ERR_FILE_READ, qPrintable(QString::number(rc)));

        // Truncated mid-upload.
        const QString other = NewFile(16 * 1024 * 1024);
        Handle g;
        QCOMPARE(g.Bind(other), 0);
        QCOMPARE(ORVUploaderStart(g.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(g.rec.LastUploaded() > 1024 * 1024, 20000);
        QVERIFY(QFile::resize(other, 4 * 1024 * 1024));
        const int rc2 = g.rec.WaitResult(10000);
        QVERIFY2(rc2 == ORV_ERR_FILE_READ || rc2 == ORV_ERR_FILE_NOT_EXIST || rc2 == ORV_ERR_CRC64_MISMATCH,
                 qPrintable(QString::number(rc2)));
    }

    void platformRefusals()
    {
        const QString path = NewFile(100 * 1024);
        {
            std::lock_guard<std::mutex> lock(server_->Hooks().mutex);
            server_->Hooks().uploadAllowed = false;
        }
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 410 + ORV_PLATFORM_CODE_BASE);
        {
            std::lock_guard<std::mutex> lock(server_->Hooks().mutex);
            server_->Hooks().uploadAllowed = true;
            server_->Hooks().remainBytes = 1000;
        }
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), static_cast<int>(ORV_ERR_NO_SPACE));
        {
            std::lock_guard<std::mutex> lock(server_->Hooks().mutex);
            server_->Hooks().remainBytes = qint64(1) << 40;
        }
        // A wrong secret is refused, not retried forever.
        ORVInitSdkLibrary(kUserId, kAppId, "wrong-secret");
        Handle g;
        QCOMPARE(g.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(g.h), 0);
        const int rc = g.rec.WaitResult();
        ORVInitSdkLibrary(kUserId, kAppId, kAppSecret);
        QCOMPARE(rc, 104 + ORV_PLATFORM_CODE_BASE);
        QVERIFY(g.rec.resultDescs.back().contains("TokenError"));
    }

    void serverDownFailsAfterRetries()
    {
        qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
        std::unique_ptr<TusTestServer> gone = std::make_unique<TusTestServer>(tmp_.filePath("gone"));
        const QString url = gone->BaseUrl();
        gone.reset();
        ORVSetSdkServiceUrl(url.toUtf8().constData());
        const QString path = NewFile(10 * 1024);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult(30000);
        UseServer(server_.get());
        qunsetenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS");
        QCOMPARE(rc, static_cast<int>(ORV_ERR_CONNECTION));
        QVERIFY(h.rec.resultDescs.back().contains("ConnectionTimeout"));
    }

    // Each hostile answer ends the run with an error after a bounded number of
    // requests; nothing is sent to, or remembered of, another server.
    void hostileAnswers_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::newRow("foreign Location") << "foreign" << int(ORV_ERR_PROTOCOL);
        QTest::newRow("PATCH accepted, offset unmoved") << "stuck" << int(ORV_ERR_SERVER);
        QTest::newRow("endless 409") << "409" << int(ORV_ERR_SERVER);
        QTest::newRow("offset beyond the file") << "beyond" << int(ORV_ERR_PROTOCOL);
    }
    void hostileAnswers()
    {
        QFETCH(QString, mode);
        QFETCH(int, code);
        qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
        TusTestServer foreign(tmp_.filePath("foreign"));
        std::atomic<int> foreignRequests{0}, patches{0};
        foreign.SetAnswerHook([&](const httplib::Request&, httplib::Response&) {
            foreignRequests++;
            return false;
        });
        const std::string foreignUrl = foreign.BaseUrl().toStdString() + "/tus/files/abc";
        server_->SetAnswerHook([&](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Tus-Resumable", "1.0.0");
            if (mode == "foreign" && req.method == "POST") {
                res.status = 201;
                res.set_header("Location", foreignUrl);
                return true;
            }
            if (req.method != "PATCH" || mode == "foreign")
                return false;
            patches++;
            res.status = mode == "409" ? 409 : 204;
            const qint64 at = QByteArray::fromStdString(req.get_header_value("Upload-Offset")).toLongLong();
            res.set_header("Upload-Offset", std::to_string(mode == "beyond" ? at + (1 << 30) : at));
            return true;
        });
        const QString path = NewFile(64 * 1024);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult(20000);
        server_->SetAnswerHook(nullptr);
        qunsetenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS");
        QCOMPARE(rc, code);
        QVERIFY2(patches.load() <= 10, qPrintable(QString::number(patches.load())));
        QCOMPARE(foreignRequests.load(), 0);
        QFile state(cache_ + "/" + h.Vid() + ".orvup");
        if (state.open(QIODevice::ReadOnly))
            QVERIFY(!state.readAll().contains(QByteArray::fromStdString(foreignUrl)));
    }

    // Connections that break mid-answer or mid-body are retried; bytes the
    // server kept count as progress, so a link that keeps dropping while the
    // upload advances never reaches the give-up window.
    void brokenConnections_data()
    {
        QTest::addColumn<bool>("cutHeader");
        QTest::addColumn<int>("drops");
        QTest::newRow("header block cut") << true << 0;
        QTest::newRow("drops with progress") << false << 10;
    }
    void brokenConnections()
    {
        QFETCH(bool, cutHeader);
        QFETCH(int, drops);
        qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
        TcpRelay relay(server_->Port());
        ORVSetSdkServiceUrl(QStringLiteral("http://127.0.0.1:%1").arg(relay.Port()).toUtf8().constData());
        if (cutHeader) {
            // A failed PATCH makes the library ask for the offset; that answer
            // stops in the middle of its headers.
            server_->FailNext("PATCH", 503, 1);
            relay.CutAnswerAfter("HEAD ", 40, 1);
        }
        if (drops > 0)
            relay.DropAfter(1024 * 1024, drops);
        const QString path = NewFile(drops > 0 ? 12 * 1024 * 1024 : 300 * 1024);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult(60000);
        UseServer(server_.get());
        qunsetenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS");
        QCOMPARE(rc, 0);
        QVERIFY2(relay.Drops() >= drops / 2, qPrintable(QString::number(relay.Drops())));
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
    }

    void plainTusServer()
    {
        // Platform requests answer 404 here; upload, pause, resume and delete
        // still work.
        const QString dir = tmp_.filePath("plain");
        TusTestServer plain(dir, false);
        UseServer(&plain);
        const qint64 size = 12LL * 1024 * 1024;
        const QString path = NewFile(size);
        ORVSetSdkTrafficLimit(6 * 1024, 0);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(h.rec.LastUploaded() > 1024 * 1024, 20000);
        QCOMPARE(ORVUploaderPause(h.h), 0);
        QCOMPARE(h.rec.WaitResult(5000), static_cast<int>(ORV_ERR_PAUSED));
        ORVSetSdkTrafficLimit(0, 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult();
        QCOMPARE(rc, 0);
        QCOMPARE(PartialUploadsOnServer(dir), 1);
        const QStringList bins = QDir(dir).entryList({"*.bin"}, QDir::Files);
        QCOMPARE(bins.size(), 1);
        QVERIFY(SameContent(dir + "/" + bins.first(), path));

        const QString other = NewFile(8 * 1024 * 1024);
        ORVSetSdkTrafficLimit(2 * 1024, 0);
        Handle d;
        QCOMPARE(d.Bind(other), 0);
        QCOMPARE(ORVUploaderStart(d.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(d.rec.LastUploaded() > 512 * 1024, 20000);
        QCOMPARE(ORVUploaderDelete(d.h), 0);
        QCOMPARE(d.rec.WaitDelete(), 0);
        QCOMPARE(PartialUploadsOnServer(dir), 1);
        UseServer(server_.get());
    }

    void throughProxy()
    {
        const QString exe = QStandardPaths::findExecutable("tinyproxy");
        if (exe.isEmpty())
            QSKIP("tinyproxy is not installed");
        // Pick a free port for the proxy: bind one, then let it go.
        int port = 0;
        {
            TcpRelay probe(1);
            port = probe.Port();
        }
        const QString conf = tmp_.filePath("tinyproxy.conf");
        const QString log = tmp_.filePath("tinyproxy.log");
        {
            QFile f(conf);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nLogFile \"%2\"\nLogLevel Info\n"
                                   "MaxClients 10\nAllow 127.0.0.1\n")
                        .arg(port)
                        .arg(log)
                        .toUtf8());
        }
        QProcess proxy;
        proxy.start(exe, {"-d", "-c", conf});
        QVERIFY(proxy.waitForStarted());
        QTest::qWait(300);
        QCOMPARE(ORVSetSdkProxy(1, "127.0.0.1", port, "someone", "pw"), 0);
        const QString path = NewFile(2 * 1024 * 1024);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult(60000);
        ORVSetSdkProxy(0, nullptr, 0, nullptr, nullptr);
        proxy.terminate();
        proxy.waitForFinished(3000);
        QCOMPARE(rc, 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
        QFile l(log);
        QVERIFY(l.open(QIODevice::ReadOnly));
        QVERIFY(l.readAll().contains("/tus/files/"));
    }

    void httpsVerifiesThePeer()
    {
        const QString openssl = QStandardPaths::findExecutable("openssl");
        if (openssl.isEmpty())
            QSKIP("openssl is not installed");
        auto makeCert = [&](const QString& name) {
            QProcess p;
            p.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                              "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                              tmp_.filePath(name + ".key"), "-out", tmp_.filePath(name + ".pem")});
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        QVERIFY(makeCert("good"));
        QVERIFY(makeCert("other"));
        TusTestServer secure(tmp_.filePath("secure"), true, 3600, tmp_.filePath("good.pem"),
                             tmp_.filePath("good.key"));
        UseServer(&secure);
        const QString path = NewFile(200 * 1024);

        QCOMPARE(ORVSetSdkCacertFile(tmp_.filePath("good.pem").toUtf8().constData()), 0);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        QVERIFY(SameContent(secure.Hooks().completed.first().storedFilePath, path));

        // A server whose certificate the CA file does not vouch for is refused
        // at once, not retried.
        const QString second = NewFile(200 * 1024);
        QCOMPARE(ORVSetSdkCacertFile(tmp_.filePath("other.pem").toUtf8().constData()), 0);
        Handle g;
        QCOMPARE(g.Bind(second), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(ORVUploaderStart(g.h), 0);
        const int rc = g.rec.WaitResult(30000);
        ORVSetSdkCacertFile("");
        UseServer(server_.get());
        QCOMPARE(rc, static_cast<int>(ORV_ERR_CONNECTION));
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(secure.Hooks().completed.size(), 1);
    }

    void noCallbackAfterDestroy()
    {
        const QString path = NewFile(16 * 1024 * 1024);
        ORVSetSdkTrafficLimit(4 * 1024, 0);
        auto* rec = new Recorder;
        ORVUploaderHandle h = ORVUploaderCreate();
        const QByteArray p = path.toUtf8();
        ORVUploaderParam param{};
        param.filePath = p.constData();
        QCOMPARE(ORVUploaderSetParam(h, &param), 0);
        ORVUploaderSetResultHandler(h, &Recorder::OnResult, rec);
        ORVUploaderSetProgressHandler(h, &Recorder::OnProgress, rec);
        QCOMPARE(ORVUploaderStart(h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(rec->LastUploaded() > 512 * 1024, 20000);
        ORVUploaderDestroy(h);
        const int seen = rec->callbacks.load();
        QTest::qWait(400);
        QCOMPARE(rec->callbacks.load(), seen);
        delete rec; // a late callback would now touch freed memory
        QTest::qWait(100);

        // The upload stays resumable on a new handle.
        ORVSetSdkTrafficLimit(0, 0);
        Handle again;
        QCOMPARE(again.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(again.h), 0);
        QCOMPARE(again.rec.WaitResult(), 0);
        QVERIFY(SameContent(LastCompleted().storedFilePath, path));
    }

    void expiredUploadStartsAnew()
    {
        const QString dir = tmp_.filePath("expiring");
        TusTestServer shortLived(dir, true, 1);
        UseServer(&shortLived);
        const QString path = NewFile(8 * 1024 * 1024);
        ORVSetSdkTrafficLimit(2 * 1024, 0);
        Handle h;
        QCOMPARE(h.Bind(path), 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QTRY_VERIFY_WITH_TIMEOUT(h.rec.LastUploaded() > 512 * 1024, 20000);
        QCOMPARE(ORVUploaderPause(h.h), 0);
        QCOMPARE(h.rec.WaitResult(5000), static_cast<int>(ORV_ERR_PAUSED));
        QTest::qWait(2500);
        ORVSetSdkTrafficLimit(0, 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int rc = h.rec.WaitResult();
        UseServer(server_.get());
        QCOMPARE(rc, 0);
        QCOMPARE(shortLived.Hooks().completed.size(), 1);
        QVERIFY(SameContent(shortLived.Hooks().completed.first().storedFilePath, path));
    }
};

// Child mode for the restart test: uploads slowly until it is killed.
static int RunUploadChild(const char* path, const char* baseUrl, const char* cacheDir)
{
    ORVSetSdkCachePath(cacheDir);
    ORVSetSdkServiceUrl(baseUrl);
    ORVInitSdkLibrary(kUserId, kAppId, kAppSecret);
    ORVSetSdkTrafficLimit(16 * 1024, 0);
    ORVUploaderHandle h = ORVUploaderCreate();
    ORVUploaderParam p{};
    p.filePath = path;
    ORVUploaderSetParam(h, &p);
    ORVUploaderStart(h);
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 1;
}

int main(int argc, char** argv)
{
    if (argc == 5 && QByteArray(argv[1]) == "--upload-child")
        return RunUploadChild(argv[2], argv[3], argv[4]);
    QCoreApplication app(argc, argv);
    UploaderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uploader.moc"
