// The upload library through its C interface, against the local platform
// server's upload endpoint over real loopback HTTPS with real files and
// threads; the server's fault rules play the hostile and broken links.

#include "orv_uploader.h"
#include "os.h"
#include "serverfixture.h"
#include "testsupport.h"
#include "uploadkit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

using namespace orvtest;
using orvsrv::FaultRule;

namespace {
// Points the library at a server as the given account.
bool UseServer(ServerFixture& server, const QString& email = QString::fromLatin1(orvsrv::kDemoMainEmail),
               const QString& secret = QString())
{
    orvsrv::AccountKeys k;
    if (!server->Keys(email, &k))
        return false;
    ORVSetSdkServiceUrl(server.BaseUrl().toUtf8().constData());
    const int rc = ORVInitSdkLibrary(k.userId.toUtf8().constData(), k.appId.toUtf8().constData(),
                                     (secret.isEmpty() ? k.appSecret : secret).toUtf8().constData());
    return rc == 0 && ORVSetSdkCacertFile(server.CaFile().toUtf8().constData()) == 0;
}

// A server of a case's own, with an upload endpoint configured differently.
std::unique_ptr<ServerFixture> OwnServer(bool plainTus, qint64 expirySeconds = 3600)
{
    orvsrv::ServerOptions o = ServerFixture::DemoOptions();
    o.plainTus = plainTus;
    o.tusExpirySeconds = expirySeconds;
    auto server = std::make_unique<ServerFixture>(o);
    return server->Start() && UseServer(*server) ? std::move(server) : nullptr;
}

FaultRule Rule(const char* method)
{
    FaultRule r;
    r.pathPattern = QStringLiteral("^/tus/files/[0-9a-f]{32}$");
    r.method = QString::fromLatin1(method);
    return r;
}
} // namespace

class UploaderTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp_;
    ServerFixture server_;
    QString cache_;
    quint32 seed_ = 1;

    QString NewFile(qint64 size, const QString& name = QString())
    {
        const QString path = tmp_.filePath(name.isEmpty() ? QStringLiteral("file%1.bin").arg(seed_) : name);
        return WriteRandomFile(path, size, seed_++);
    }
    orvsrv::CompletedUpload LastCompleted()
    {
        const QList<orvsrv::CompletedUpload> all = server_->CompletedUploads();
        return all.isEmpty() ? orvsrv::CompletedUpload() : all.last();
    }
    static QDir Uploads(ServerFixture& server) { return QDir(server.DataDir() + "/uploads"); }
    bool StateSaved(const QString& vid) { return QFile::exists(cache_ + "/" + vid + ".orvup"); }
    // Starts an upload limited to kbps KB/s and waits until it has moved minBytes.
    bool StartSlowly(Handle& h, const QString& path, int kbps, qint64 minBytes)
    {
        ORVSetSdkTrafficLimit(kbps, 0);
        if (h.Start(path) != 0)
            return false;
        QElapsedTimer t;
        t.start();
        while (h.rec.LastUploaded() <= minBytes && t.elapsed() < 20000)
            QTest::qWait(20);
        return h.rec.LastUploaded() > minBytes;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid());
        // A short give-up window, so that the failure cases end quickly.
        qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
        cache_ = tmp_.filePath("cache/nested");
        QVERIFY2(server_.Start(), qPrintable(server_.Error()));
        QCOMPARE(ORVSetSdkLogFile(tmp_.filePath("sdk.log").toUtf8().constData()), 0);
        QCOMPARE(ORVSetSdkLogLevel(3), 0);
        QCOMPARE(ORVSetSdkCachePath(cache_.toUtf8().constData()), 0);
        QVERIFY(QDir(cache_).exists());
        QVERIFY(UseServer(server_));
        QCOMPARE(ORVSetSdkHttpRequest(3), 0);
    }

    void cleanup()
    {
        ORVSetSdkTrafficLimit(0, 0);
        server_->ClearFaults();
        QVERIFY(UseServer(server_));
    }

    void cleanupTestCase()
    {
        ORVReleaseSdkLibrary();
        orvsrv::AccountKeys keys;
        QVERIFY(server_->Keys(orvsrv::kDemoMainEmail, &keys));
        server_.Stop();
        // The log never holds the secret.
        QFile log(tmp_.filePath("sdk.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(!text.isEmpty());
        QVERIFY(!text.contains(keys.appSecret.toUtf8()));
        QVERIFY(!text.contains("Orv-Sign"));
    }

    // The library's file layer on this OS, where the upload cases do not reach.
    void fileLayer()
    {
        using namespace orvup;
        const std::string dir = tmp_.filePath("layer/a/b").toStdString(), file = dir + "/state";
        QVERIFY(MakeFolders(TrimSeparators(dir + "//")));
        QCOMPARE(TrimSeparators("/"), std::string("/"));
        QCOMPARE(FileName("/x/y/film.mp4"), std::string("film.mp4"));
        QVERIFY(WriteFileAtomically(file, "old") && WriteFileAtomically(file, "new text"));
        QVERIFY(!QFile::exists(QString::fromStdString(file + ".tmp")));
        QVERIFY(!MakeFolders(file + "/below"));
        QVERIFY(!WriteFileAtomically(dir + "/missing/state", "x"));
        std::string text;
        QVERIFY(!ReadSmallFile(file, 4, &text));
        QVERIFY(ReadSmallFile(file, 8, &text));
        QCOMPARE(text, std::string("new text"));
        FileIdentity id;
        QCOMPARE(StatFile(file, &id), 0);
        QCOMPARE(id.size, int64_t(8));
        QCOMPARE(StatFile(dir, &id), int(ORV_ERR_FILE_READ));
        ReadOnlyFile f;
        QCOMPARE(f.Open(file + "x"), int(ORV_ERR_FILE_NOT_EXIST));
        QCOMPARE(f.Open(file), 0);
        char buf[8] = {};
        QCOMPARE(f.ReadAt(buf, sizeof buf, 4), int64_t(4));
        QCOMPARE(QByteArray(buf, 4), QByteArray("text"));
        QCOMPARE(f.ReadAt(buf, sizeof buf, 8), int64_t(0));
        QVERIFY(!f.ReadFully(buf, sizeof buf, 1));
        RemoveFile(file);
        QCOMPARE(StatFile(file, &id), int(ORV_ERR_FILE_NOT_EXIST));
    }

    // The vid depends on content, size and modification time, not on the name.
    void vidIsStableAndFollowsTheFile()
    {
        const QString path = NewFile(3 * 1024 * 1024 + 17), copy = tmp_.filePath("elsewhere.bin");
        QVERIFY(QFile::copy(path, copy));
        const QDateTime when = QDateTime::currentDateTime().addSecs(-60);
        // Writes `change` at `at`, then gives the file the common time.
        auto vidOf = [&](const QString& file, const QByteArray& change = QByteArray(), qint64 at = 10) {
            QFile f(file);
            if (!f.open(QIODevice::ReadWrite) || !f.seek(at) || f.write(change) != change.size() ||
                !f.flush())
                return QString();
            f.setFileTime(when, QFileDevice::FileModificationTime);
            f.close();
            Handle h;
            return h.Bind(file) == 0 ? h.Vid() : QString();
        };
        const QString vid = vidOf(path);
        QVERIFY(QRegularExpression("^[0-9a-f]{32}_[0-9a-z]$").match(vid).hasMatch());
        QCOMPARE(vidOf(path), vid);
        QCOMPARE(vidOf(copy), vid);
        const QString changed = vidOf(copy, "X"), appended = vidOf(path, "more", QFileInfo(path).size());
        QVERIFY(!changed.isEmpty() && changed != vid);
        QVERIFY(!appended.isEmpty() && appended != vid && appended != changed);
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
        QCOMPARE(e.Run(empty), static_cast<int>(ORV_ERR_FILE_EMPTY));

        // Every code has a description; the keywords the client maps are there.
        for (int code : {0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 19, 22, 23, 102, 112, 523, 9999})
            QVERIFY(ORVGetSdkErrorDescription(code) && *ORVGetSdkErrorDescription(code));
        QVERIFY(QString(ORVGetSdkErrorDescription(ORV_ERR_NO_SPACE)).contains("CapacityOverLimit"));
        QVERIFY(QString(ORVGetSdkErrorDescription(ORV_ERR_PROTOCOL)).contains("http response parse error"));
    }

    // Without a thread to run on, Start and Delete answer with a code: no
    // exception crosses the C interface.
    void threadRefused()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--no-threads"});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
    }

    void smallUploadThenSecondPass()
    {
        const QString path = NewFile(300 * 1024 + 5);
        orvsrv::AccountKeys keys;
        QVERIFY(server_->Keys(orvsrv::kDemoMainEmail, &keys));
        Handle h;
        QCOMPARE(h.Run(path, 120000, "Kleiner Film", keys.topCateId), 0);
        const orvsrv::CompletedUpload info = LastCompleted();
        QCOMPARE(info.vid, h.Vid());
        QCOMPARE(info.title, QStringLiteral("Kleiner Film"));
        QCOMPARE(info.description, QStringLiteral("Beschreibung mit Umlauten: äöü"));
        QCOMPARE(info.tags, QStringLiteral("one,two"));
        QCOMPARE(info.cateId, keys.topCateId);
        QCOMPARE(info.luping, 1);
        QCOMPARE(info.fileName, QFileInfo(path).fileName());
        QCOMPARE(info.size, QFileInfo(path).size());
        QVERIFY(SameContent(info.storedFile, path));
        {
            std::lock_guard<std::mutex> lock(h.rec.mutex);
            QCOMPARE(h.rec.uploaded.back(), QFileInfo(path).size());
            QCOMPARE(h.rec.incrementSum, QFileInfo(path).size());
            QVERIFY(!h.rec.onCallerThread);
            QVERIFY(!h.rec.progressNonMonotonic);
        }
        QVERIFY(!StateSaved(h.Vid()));

        // The same file again: already stored, nothing transferred.
        const qint64 before = server_->UploadBytesReceived();
        Handle again;
        QCOMPARE(again.Run(path), static_cast<int>(ORV_OK_ALREADY_STORED));
        QCOMPARE(server_->UploadBytesReceived(), before);
    }

    // A pause ends the run within a second, then nothing moves; the resumed
    // run continues where the server stands, also on a server without the
    // platform's additions, and starts anew when the server let the upload expire.
    void pauseThenResume_data()
    {
        QTest::addColumn<bool>("platform");
        QTest::addColumn<int>("expirySeconds");
        QTest::newRow("platform server") << true << 3600;
        QTest::newRow("plain tus server") << false << 3600;
        QTest::newRow("expired while paused") << true << 1;
    }
    void pauseThenResume()
    {
        QFETCH(bool, platform);
        QFETCH(int, expirySeconds);
        const auto server = OwnServer(!platform, expirySeconds);
        QVERIFY(server);
        const qint64 size = 24LL * 1024 * 1024;
        const QString path = NewFile(size);
        Handle h;
        QElapsedTimer all;
        all.start();
        QVERIFY(StartSlowly(h, path, 8 * 1024, 2 * 1024 * 1024)); // 8 MiB/s: three seconds in all
        // A refused value leaves the limit in force as it was.
        QCOMPARE(ORVSetSdkTrafficLimit(-1, 0), static_cast<int>(ORV_ERR_INVALID_ARGUMENT));
        QCOMPARE(ORVGetSdkTrafficLimit(), 8 * 1024);
        QElapsedTimer t;
        t.start();
        QCOMPARE(ORVUploaderPause(h.h), 0);
        QCOMPARE(h.rec.WaitResult(5000), static_cast<int>(ORV_ERR_PAUSED));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        // Bytes already in flight may still land; after that nothing moves.
        QTest::qWait(expirySeconds < 3600 ? 2500 : 400);
        const qint64 received = (*server)->UploadBytesReceived();
        QTest::qWait(400);
        QCOMPARE((*server)->UploadBytesReceived(), received);
        QVERIFY(StateSaved(h.Vid()));

        ORVSetSdkTrafficLimit(0, 0);
        QCOMPARE(ORVUploaderStart(h.h), 0);
        QCOMPARE(h.rec.WaitResult(), 0);
        const QStringList bins = Uploads(*server).entryList({"*.bin"}, QDir::Files);
        const QList<orvsrv::CompletedUpload> done = (*server)->CompletedUploads();
        QCOMPARE(platform ? done.size() : bins.size(), 1);
        QVERIFY(
            SameContent(platform ? done.first().storedFile : Uploads(*server).filePath(bins.first()), path));
        // Almost nothing sent twice, unless the upload had to start anew.
        const qint64 resent = (*server)->UploadBytesReceived() - size;
        QVERIFY2(expirySeconds < 3600 ? resent >= received : resent <= 1024 * 1024,
                 qPrintable(QString::number(resent)));
        std::lock_guard<std::mutex> lock(h.rec.mutex);
        QVERIFY(!h.rec.progressNonMonotonic);
        QCOMPARE(h.rec.results.size(), size_t(2));
        QCOMPARE(h.rec.uploaded.back(), size);
        // At most one report per 100 ms, plus the first and the last of each run.
        QVERIFY2(qint64(h.rec.uploaded.size()) <= all.elapsed() / 100 + 6,
                 qPrintable(QString::number(h.rec.uploaded.size())));
    }

    // A delete stops the run without a result and removes the partial upload
    // on the server and the saved state.
    void deleteWhileRunning_data()
    {
        QTest::addColumn<bool>("platform");
        QTest::newRow("platform server") << true;
        QTest::newRow("plain tus server") << false;
    }
    void deleteWhileRunning()
    {
        QFETCH(bool, platform);
        const auto server = OwnServer(!platform);
        QVERIFY(server);
        Handle h;
        QVERIFY(StartSlowly(h, NewFile(16 * 1024 * 1024), 4 * 1024, 1024 * 1024));
        QCOMPARE(Uploads(*server).entryList({"*.info"}, QDir::Files).size(), 1);
        QCOMPARE(ORVUploaderDelete(h.h), 0);
        QCOMPARE(h.rec.WaitDelete(), 0);
        QCOMPARE(Uploads(*server).entryList({"*.info"}, QDir::Files).size(), 0);
        QVERIFY(!StateSaved(h.Vid()));
        QTest::qWait(100);
        std::lock_guard<std::mutex> lock(h.rec.mutex);
        QVERIFY(h.rec.results.empty()); // the interrupted run reports nothing
    }

    void resumeAfterKill()
    {
        const qint64 size = 48LL * 1024 * 1024;
        const QString path = NewFile(size, "killed.bin");
        Handle probe;
        QCOMPARE(probe.Bind(path), 0);
        const QString vid = probe.Vid();

        const qint64 before = server_->UploadBytesReceived();
        orvsrv::AccountKeys k;
        QVERIFY(server_->Keys(orvsrv::kDemoMainEmail, &k));
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--upload-child", path, server_.BaseUrl(), cache_, server_.CaFile(), k.userId,
                            k.appId, k.appSecret});
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start();
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server_->UploadBytesReceived() - before > 8 * 1024 * 1024, 30000);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        QVERIFY(StateSaved(vid));
        QTest::qWait(200); // let the server take in what was in flight
        const qint64 kept = server_->UploadBytesReceived() - before;

        QCOMPARE(ORVUploaderStart(probe.h), 0);
        QCOMPARE(probe.rec.WaitResult(), 0);
        QVERIFY(SameContent(LastCompleted().storedFile, path));
        const qint64 total = server_->UploadBytesReceived() - before;
        QVERIFY2(total - size <= 1024 * 1024, qPrintable(QStringLiteral("re-sent %1").arg(total - size)));
        std::lock_guard<std::mutex> lock(probe.rec.mutex);
        QVERIFY(probe.rec.uploaded.front() >= kept - 1024 * 1024); // the run started where the server was
    }

    // Answers that refuse a request for a while are retried until it passes.
    void passingRefusalsAreRetried_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("count");
        QTest::newRow("checksum rejected") << "PATCH" << 460 << 2;
        QTest::newRow("offset conflict") << "PATCH" << 409 << 1;
        QTest::newRow("server error") << "HEAD" << 503 << 2;
        QTest::newRow("locked") << "HEAD" << 423 << 1;
    }
    void passingRefusalsAreRetried()
    {
        QFETCH(QString, method);
        QFETCH(int, status);
        QFETCH(int, count);
        const QString path = NewFile(600 * 1024);
        FaultRule r = Rule(method.toLatin1().constData());
        r.failNextN = count;
        r.httpStatus = status;
        r.jsonEnvelope = false;
        const int id = server_->AddFault(r);
        Handle h;
        QCOMPARE(h.Run(path), 0);
        QCOMPARE(server_->FaultHits(id), count);
        QVERIFY(SameContent(LastCompleted().storedFile, path));
    }

    void fileGoneMidUpload_data()
    {
        QTest::addColumn<bool>("truncate");
        QTest::newRow("removed") << false;
        QTest::newRow("truncated") << true;
    }
    void fileGoneMidUpload()
    {
        QFETCH(bool, truncate);
        const QString path = NewFile(16 * 1024 * 1024);
        Handle h;
        QVERIFY(StartSlowly(h, path, 4 * 1024, 1024 * 1024));
        QVERIFY(truncate ? QFile::resize(path, 4 * 1024 * 1024) : QFile::remove(path));
        const int rc = h.rec.WaitResult(10000);
        QVERIFY2(rc == ORV_ERR_FILE_NOT_EXIST || rc == ORV_ERR_FILE_READ ||
                     (truncate && rc == ORV_ERR_CRC64_MISMATCH),
                 qPrintable(QString::number(rc)));
    }

    void platformRefusals()
    {
        const QString path = NewFile(100 * 1024), editor = QString::fromLatin1(orvsrv::kDemoSubEmail);
        QVERIFY(server_->SetPermission(editor, "videoUpload", false));
        QVERIFY(UseServer(server_, editor));
        Handle h;
        QCOMPARE(h.Run(path), 410 + ORV_PLATFORM_CODE_BASE);
        QVERIFY(server_->SetPermission(editor, "videoUpload", true));
        QVERIFY(server_->SetRemainingSpace(editor, 1000));
        QCOMPARE(ORVUploaderStart(h.h), 0);
        const int noSpace = h.rec.WaitResult();
        QVERIFY(server_->SetRemainingSpace(editor, qint64(1) << 40));
        QCOMPARE(noSpace, static_cast<int>(ORV_ERR_NO_SPACE));
        // A wrong secret is refused, not retried forever.
        QVERIFY(UseServer(server_, orvsrv::kDemoMainEmail, "wrong-secret"));
        Handle g;
        QCOMPARE(g.Run(path), 104 + ORV_PLATFORM_CODE_BASE);
        QVERIFY(g.rec.resultDescs.back().contains("invalid sign"));
    }

    // Each hostile or absent server ends the run with an error after a bounded
    // number of requests; nothing is sent to, or remembered of, another server.
    void hostileAnswers_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::newRow("server down") << "down" << int(ORV_ERR_CONNECTION);
        QTest::newRow("foreign Location") << "foreign" << int(ORV_ERR_PROTOCOL);
        QTest::newRow("PATCH accepted, offset unmoved") << "stuck" << int(ORV_ERR_SERVER);
        QTest::newRow("endless 409") << "409" << int(ORV_ERR_SERVER);
        QTest::newRow("offset beyond the file") << "beyond" << int(ORV_ERR_PROTOCOL);
    }
    void hostileAnswers()
    {
        QFETCH(QString, mode);
        QFETCH(int, code);
        orvsrv::ServerOptions o;
        o.https = false;
        o.seed.clear();
        ServerFixture foreign(o);
        QVERIFY(foreign.Start());
        FaultRule r = Rule("PATCH");
        r.garbage = mode == "stuck" ? "stuck-offset" : mode == "beyond" ? "beyond-offset" : "";
        r.failNextN = mode == "409" ? 1000 : 0;
        r.httpStatus = 409;
        r.jsonEnvelope = false;
        if (mode == "foreign") {
            r = Rule("POST");
            r.pathPattern = "^/tus/files/?$";
            r.garbage = "foreign-location";
            r.location = foreign.BaseUrl() + "/tus/files/0123456789abcdef0123456789abcdef";
        }
        const int id = server_->AddFault(r);
        if (mode == "down")
            ORVSetSdkServiceUrl("https://127.0.0.1:1");
        const QString path = NewFile(64 * 1024);
        Handle h;
        const int rc = h.Run(path, 20000);
        QCOMPARE(rc, code);
        if (mode == "down")
            QVERIFY(h.rec.resultDescs.back().contains("ConnectionTimeout"));
        if (mode != "down")
            QVERIFY(server_->FaultHits(id) >= 1);
        const int patches = mode == "foreign" ? 0 : server_->FaultHits(id);
        QVERIFY2(patches <= 10, qPrintable(QString::number(patches)));
        QCOMPARE(foreign->RequestCount("/"), 0);
        QFile state(cache_ + "/" + h.Vid() + ".orvup");
        if (state.open(QIODevice::ReadOnly))
            QVERIFY(!state.readAll().contains(foreign.BaseUrl().toUtf8()));
    }

    // Connections that break mid-answer or mid-body are retried; bytes the
    // server kept count as progress and are not sent again, so a link that
    // keeps dropping while the upload advances never reaches the give-up window.
    void brokenConnections_data()
    {
        QTest::addColumn<int>("drops");
        QTest::addColumn<int>("dropAfterMiB");
        QTest::addColumn<int>("sizeMiB");
        QTest::addColumn<int>("minDrops");
        QTest::addColumn<bool>("keep");
        QTest::newRow("header block cut") << 0 << 0 << 0 << 1 << true;
        QTest::newRow("drops") << 3 << 5 << 24 << 2 << true;
        QTest::newRow("drops with progress") << 10 << 1 << 12 << 5 << true;
        QTest::newRow("drops losing the body") << 2 << 3 << 16 << 2 << false;
    }
    void brokenConnections()
    {
        QFETCH(int, drops);
        QFETCH(int, dropAfterMiB);
        QFETCH(int, sizeMiB);
        QFETCH(int, minDrops);
        QFETCH(bool, keep);
        FaultRule r = Rule(drops > 0 ? "PATCH" : "HEAD");
        if (drops == 0) {
            // A failed PATCH makes the library ask for the offset; that answer
            // stops in the middle of its headers.
            FaultRule fail = Rule("PATCH");
            fail.failNextN = 1;
            fail.httpStatus = 503;
            server_->AddFault(fail);
            r.dropHeadersAfterBytes = 40;
        } else {
            r.dropRequestAfterBytes = dropAfterMiB * 1024 * 1024;
            r.keepDroppedBody = keep;
            r.dropCount = drops;
        }
        const int id = server_->AddFault(r);
        const qint64 size = sizeMiB > 0 ? sizeMiB * 1024LL * 1024 : 300 * 1024;
        const QString path = NewFile(size);
        const qint64 before = server_->UploadBytesReceived();
        Handle h;
        QCOMPARE(h.Run(path, 60000), 0);
        QVERIFY2(server_->FaultHits(id) >= minDrops, qPrintable(QString::number(server_->FaultHits(id))));
        QVERIFY(SameContent(LastCompleted().storedFile, path));
        QVERIFY(server_->UploadBytesReceived() - before < size + 4 * 1024 * 1024);
    }

    // A stored file that differs from the local one ends the run with 19 and
    // no saved state; nothing was stored, so the next attempt succeeds.
    void flippedByteGives19()
    {
        const QString path = NewFile(3 * 1024 * 1024);
        server_->FlipByteOfNextCompletedUpload();
        Handle h;
        QCOMPARE(h.Run(path), static_cast<int>(ORV_ERR_CRC64_MISMATCH));
        QVERIFY(!StateSaved(h.Vid()));
        Handle again;
        QCOMPARE(again.Run(path), 0);
    }

    void throughProxy()
    {
        const QString exe = QStandardPaths::findExecutable("tinyproxy");
        if (exe.isEmpty())
            QSKIP("tinyproxy is not installed");
        // Pick a free port for the proxy: bind one, then let it go.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const int port = probe.serverPort();
        probe.close();
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
        const int rc = h.Run(path, 60000);
        ORVSetSdkProxy(0, nullptr, 0, nullptr, nullptr);
        proxy.terminate();
        proxy.waitForFinished(3000);
        QCOMPARE(rc, 0);
        QVERIFY(SameContent(LastCompleted().storedFile, path));
        QFile l(log);
        QVERIFY(l.open(QIODevice::ReadOnly));
        // The upload went through the proxy's tunnel to the server.
        QVERIFY(l.readAll().contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(server_->Port()).toUtf8()));
    }

    void noCallbackAfterDestroy()
    {
        const QString path = NewFile(16 * 1024 * 1024);
        auto h = std::make_unique<Handle>();
        QVERIFY(StartSlowly(*h, path, 4 * 1024, 512 * 1024));
        ORVUploaderDestroy(h->h);
        h->h = nullptr;
        const int seen = h->rec.callbacks.load();
        QTest::qWait(400);
        QCOMPARE(h->rec.callbacks.load(), seen);
        h.reset(); // a late callback would now touch freed memory
        QTest::qWait(100);

        // The upload stays resumable on a new handle.
        ORVSetSdkTrafficLimit(0, 0);
        Handle again;
        QCOMPARE(again.Run(path), 0);
        QVERIFY(SameContent(LastCompleted().storedFile, path));
    }
};

// Child mode for the restart test: uploads slowly until it is killed.
static int RunUploadChild(char** argv)
{
    ORVSetSdkCachePath(argv[4]);
    ORVSetSdkServiceUrl(argv[3]);
    ORVInitSdkLibrary(argv[6], argv[7], argv[8]);
    ORVSetSdkCacertFile(argv[5]);
    ORVSetSdkTrafficLimit(16 * 1024, 0);
    ORVUploaderHandle h = ORVUploaderCreate();
    ORVUploaderParam p{};
    p.filePath = argv[2];
    ORVUploaderSetParam(h, &p);
    ORVUploaderStart(h);
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 1;
}

// Child mode for threadRefused: the process may start no thread at all (a
// root parent first becomes nobody, whom the limit binds).
static int RunWithoutThreads()
{
    ORVInitSdkLibrary("u42demo", "app-42", "s3cret-42");
    ORVUploaderHandle h = ORVUploaderCreate();
    ORVUploaderSetVID(h, "0123456789abcdef0123456789abcdef_u");
    const rlimit none{0, 0};
    if ((::getuid() == 0 && ::setuid(65534) != 0) || ::setrlimit(RLIMIT_NPROC, &none) != 0)
        std::_Exit(2);
    const bool refused = ORVUploaderStart(h) == ORV_ERR_SYSTEM_RESOURCE &&
                         ORVUploaderDelete(h) == ORV_ERR_SYSTEM_RESOURCE && ORVUploaderPause(h) == ORV_OK;
    std::_Exit(refused ? 0 : 1); // no clean-up: the leak check needs a thread too
}

int main(int argc, char** argv)
{
    if (argc == 9 && QByteArray(argv[1]) == "--upload-child")
        return RunUploadChild(argv);
    if (argc == 2 && QByteArray(argv[1]) == "--no-threads")
        return RunWithoutThreads();
    QCoreApplication app(argc, argv);
    UploaderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uploader.moc"
