// Upload library benchmark: prints figures and ratios, asserts nothing.
//
//   throughput of a 2 GiB upload over loopback HTTPS, ours against `curl -T`
//   the same with 50 ms latency per request
//   peak RSS of a process uploading 64 MiB and 4 GiB
//   bytes sent twice after a SIGKILL mid-upload
//   time from Start to the first body byte for 4 GiB
//   accuracy of a 2,000 KB/s traffic limit over 10 s

#include "orv_uploader.h"
#include "tusserver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace orvtest;

namespace {

struct Waiter
{
    std::mutex mutex;
    std::condition_variable cv;
    int result = -1;
    bool done = false;
    std::atomic<qint64> uploaded{0};

    static void OnResult(int code, const char*, void* user)
    {
        auto* w = static_cast<Waiter*>(user);
        std::lock_guard<std::mutex> lock(w->mutex);
        w->result = code;
        w->done = true;
        w->cv.notify_all();
    }
    static void OnProgress(int, int64_t up, int64_t, void* user)
    {
        static_cast<Waiter*>(user)->uploaded.store(up);
    }
    int Wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return done; });
        done = false;
        return result;
    }
};

qint64 NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A sparse file with a little real content: reading it costs no disk time,
// so the figures show the transfer path alone, the same for both clients.
void MakeSparse(const QString& path, qint64 size, quint32 seed)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray head(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < head.size(); ++i)
        head[i] = static_cast<char>((i * 131 + seed * 7919) >> 3);
    f.write(head);
    f.resize(size);
}

// Uploads one file in this process and waits for the result.
int UploadOnce(const QString& path, Waiter* w, qint64* startNs = nullptr)
{
    const QByteArray p = path.toUtf8();
    ORVUploaderHandle h = ORVUploaderCreate();
    ORVUploaderParam param{};
    param.filePath = p.constData();
    param.title = "bench";
    ORVUploaderSetParam(h, &param);
    ORVUploaderSetResultHandler(h, &Waiter::OnResult, w);
    ORVUploaderSetProgressHandler(h, &Waiter::OnProgress, w);
    if (startNs)
        *startNs = NowNs();
    ORVUploaderStart(h);
    const int rc = w->Wait();
    ORVUploaderDestroy(h);
    return rc;
}

void InitLibrary(const QString& baseUrl, const QString& cache, const QString& ca)
{
    ORVSetSdkLogFile(QString(cache + ".log").toUtf8().constData());
    ORVSetSdkLogLevel(2);
    ORVSetSdkCachePath(cache.toUtf8().constData());
    ORVSetSdkServiceUrl(baseUrl.toUtf8().constData());
    ORVInitSdkLibrary(kUserId, kAppId, kAppSecret);
    ORVSetSdkHttpRequest(3);
    ORVSetSdkCacertFile(ca.toUtf8().constData());
}

// Child modes: "--rss" uploads and prints its peak RSS in KiB; "--slow"
// uploads until it is killed.
int Child(const QString& mode, const QString& path, const QString& url, const QString& cache,
          const QString& ca)
{
    InitLibrary(url, cache, ca);
    Waiter w;
    if (mode == "--rss") {
        const int rc = UploadOnce(path, &w);
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        std::printf("%d %ld\n", rc, ru.ru_maxrss);
        return 0;
    }
    const QByteArray p = path.toUtf8();
    ORVUploaderHandle h = ORVUploaderCreate();
    ORVUploaderParam param{};
    param.filePath = p.constData();
    ORVUploaderSetParam(h, &param);
    ORVUploaderStart(h);
    std::this_thread::sleep_for(std::chrono::seconds(120));
    return 1;
}

QString MakeCertificate(const QString& dir)
{
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                              "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                              dir + "/key.pem", "-out", dir + "/cert.pem"});
    openssl.waitForFinished(60000);
    return dir + "/cert.pem";
}

QString Sign(const QString& ts)
{
    const QByteArray text =
        QByteArray(kAppSecret) + "appId" + kAppId + "timestamp" + ts.toUtf8() + kAppSecret;
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex()).toUpper();
}

// `curl -T` PATCH of the whole file to a fresh upload; returns seconds.
double CurlPatch(const QString& base, const QString& ca, const QString& path, qint64 size)
{
    const QString ts = QString::number(QDateTime::currentMSecsSinceEpoch());
    const QStringList auth = {"-H", "Orv-App-Id: " + QString(kAppId), "-H", "Orv-Timestamp: " + ts,
                              "-H", "Orv-Sign: " + Sign(ts)};
    QProcess post;
    post.start("curl", QStringList{"-s", "-i", "--cacert", ca, "-X", "POST", "-H", "Tus-Resumable: 1.0.0",
                                   "-H", "Content-Length: 0", "-H",
                                   QStringLiteral("Upload-Length: %1").arg(size), base + "/tus/files/"} +
                           auth);
    post.waitForFinished(30000);
    const QString answer = QString::fromUtf8(post.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression("[Ll]ocation: (\\S+)").match(answer);
    if (!m.hasMatch())
        return -1;
    const QString url = base + m.captured(1);
    QProcess patch;
    QElapsedTimer t;
    t.start();
    patch.start("curl", QStringList{"-s", "-o", "/dev/null", "--cacert", ca, "-T", path, "-X", "PATCH", "-H",
                                    "Tus-Resumable: 1.0.0", "-H", "Upload-Offset: 0", "-H",
                                    "Content-Type: application/offset+octet-stream", "-H", "Expect:", url} +
                            auth);
    patch.waitForFinished(600000);
    return t.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && (QByteArray(argv[1]) == "--rss" || QByteArray(argv[1]) == "--slow"))
        return Child(argv[1], argv[2], argv[3], argv[4], argv[5]);
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    std::printf("work folder %s (library log: cache.log)\n", qPrintable(tmp.path()));
    const QString ca = MakeCertificate(tmp.path());
    const QString key = tmp.path() + "/key.pem";
    const QString cache = tmp.path() + "/cache";
    const qint64 gib = 1024LL * 1024 * 1024;

    if (qEnvironmentVariableIsSet("BENCH_PROBE")) {
        TusTestServer server(tmp.path() + "/plain", false, 3600, ca, key);
        QProcess c;
        c.setProcessChannelMode(QProcess::ForwardedChannels);
        c.start("curl", {"-v", "-s", "--cacert", ca, "-X", "OPTIONS", server.BaseUrl() + "/tus/files/"});
        c.waitForFinished();
        return 0;
    }
    // Sections to run (all by default): throughput rss kill ttfb limit.
    QStringList only = app.arguments().mid(1);
    auto run = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };

    // Plain tus for the throughput comparison: the same requests as curl.
    if (run("throughput")) {
        TusTestServer server(tmp.path() + "/plain", false, 3600, ca, key);
        InitLibrary(server.BaseUrl(), cache, ca);
        const QString file = tmp.path() + "/two.bin";
        MakeSparse(file, 2 * gib, 1);
        const double curlS = CurlPatch(server.BaseUrl(), ca, file, 2 * gib);
        QDir(tmp.path() + "/plain").removeRecursively();
        QDir().mkpath(tmp.path() + "/plain");
        Waiter w;
        qint64 start = 0;
        const int rc = UploadOnce(file, &w, &start);
        const double ours = (NowNs() - start) / 1e9;
        const double curlMBs = 2048 / curlS;
        const double oursMBs = 2048 / ours;
        std::printf(
            "throughput 2 GiB HTTPS: curl -T %.0f MiB/s (%.2f s), library %.0f MiB/s (%.2f s, rc %d), "
            "ratio %.3f (goal >= 0.95)\n",
            curlMBs, curlS, oursMBs, ours, rc, oursMBs / curlMBs);
        std::fflush(stdout);

        // The same with 50 ms latency before every answer.
        QDir(tmp.path() + "/plain").removeRecursively();
        QDir().mkpath(tmp.path() + "/plain");
        MakeSparse(file, 2 * gib, 2);
        server.SetLatencyMs(50);
        Waiter w2;
        const int rc2 = UploadOnce(file, &w2, &start);
        const double slow = (NowNs() - start) / 1e9;
        server.SetLatencyMs(0);
        std::printf("with 50 ms latency per request: %.0f MiB/s (%.2f s, rc %d), ratio to no latency %.3f "
                    "(goal >= 0.9)\n",
                    2048 / slow, slow, rc2, ours / slow);
        std::fflush(stdout);
        QFile::remove(file);
        ORVReleaseSdkLibrary();
    }

    TusTestServer server(tmp.path() + "/platform", true, 3600, ca, key);
    InitLibrary(server.BaseUrl(), cache, ca);
    const QString self = QCoreApplication::applicationFilePath();

    // Peak RSS of a whole process uploading 64 MiB and 4 GiB.
    if (run("rss")) {
        long rss[2] = {0, 0};
        const qint64 sizes[2] = {64LL * 1024 * 1024, 4 * gib};
        for (int i = 0; i < 2; ++i) {
            const QString file = tmp.path() + QStringLiteral("/rss%1.bin").arg(i);
            MakeSparse(file, sizes[i], 10 + i);
            QProcess child;
            child.start(self, {"--rss", file, server.BaseUrl(), cache, ca});
            child.waitForFinished(600000);
            const QStringList out = QString::fromUtf8(child.readAllStandardOutput()).split(' ');
            rss[i] = out.size() == 2 ? out[1].trimmed().toLong() : -1;
            std::printf("peak RSS uploading %s: %.1f MB (rc %s)\n", i ? "4 GiB" : "64 MiB", rss[i] / 1024.0,
                        qPrintable(out.value(0)));
            std::fflush(stdout);
            QFile::remove(file);
        }
        std::printf("peak RSS ratio 4 GiB / 64 MiB: %.3f (goal <= 1.1, and <= 40 MB)\n",
                    rss[0] > 0 ? double(rss[1]) / double(rss[0]) : -1.0);
    }

    // Bytes sent twice after SIGKILL mid-upload.
    if (run("kill")) {
        const qint64 size = gib;
        const QString file = tmp.path() + "/killed.bin";
        MakeSparse(file, size, 20);
        const qint64 before = server.Service().BytesReceived();
        QProcess child;
        child.start(self, {"--slow", file, server.BaseUrl(), cache, ca});
        child.waitForStarted();
        while (server.Service().BytesReceived() - before < size / 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        child.waitForFinished(5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Waiter w;
        const int rc = UploadOnce(file, &w);
        const qint64 resent = server.Service().BytesReceived() - before - size;
        std::printf("bytes re-sent after SIGKILL at ~50%% of 1 GiB: %lld (%.3f MiB, rc %d; goal <= 1 MiB)\n",
                    static_cast<long long>(resent), resent / 1048576.0, rc);
        std::fflush(stdout);
        QFile::remove(file);
    }

    // Time from Start to the first body byte for 4 GiB.
    if (run("ttfb")) {
        const QString file = tmp.path() + "/ttfb.bin";
        MakeSparse(file, 4 * gib, 30);
        server.ResetFirstPatch();
        const QByteArray p = file.toUtf8();
        Waiter w;
        ORVUploaderHandle h = ORVUploaderCreate();
        ORVUploaderParam param{};
        param.filePath = p.constData();
        ORVUploaderSetParam(h, &param);
        ORVUploaderSetResultHandler(h, &Waiter::OnResult, &w);
        const qint64 start = NowNs();
        ORVUploaderStart(h);
        while (server.FirstPatchNs() == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const double ms = (server.FirstPatchNs() - start) / 1e6;
        ORVUploaderPause(h);
        w.Wait();
        ORVUploaderDelete(h);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ORVUploaderDestroy(h);
        std::printf("time from Start to the first body byte, 4 GiB: %.1f ms (goal <= 100 ms)\n", ms);
        std::fflush(stdout);
        QFile::remove(file);
    }

    // Traffic limit accuracy.
    if (run("limit")) {
        const QString file = tmp.path() + "/limited.bin";
        MakeSparse(file, gib, 40);
        ORVSetSdkTrafficLimit(2000, 0);
        const QByteArray p = file.toUtf8();
        Waiter w;
        ORVUploaderHandle h = ORVUploaderCreate();
        ORVUploaderParam param{};
        param.filePath = p.constData();
        ORVUploaderSetParam(h, &param);
        ORVUploaderSetResultHandler(h, &Waiter::OnResult, &w);
        ORVUploaderSetProgressHandler(h, &Waiter::OnProgress, &w);
        ORVUploaderStart(h);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const qint64 a = w.uploaded.load();
        const qint64 t0 = NowNs();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const qint64 b = w.uploaded.load();
        const double secs = (NowNs() - t0) / 1e9;
        ORVUploaderPause(h);
        w.Wait();
        ORVUploaderDelete(h);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ORVUploaderDestroy(h);
        ORVSetSdkTrafficLimit(0, 0);
        const double kbs = (b - a) / 1024.0 / secs;
        std::printf("traffic limit 2000 KB/s over 10 s: %.1f KB/s, ratio %.3f (goal within +-5%%)\n", kbs,
                    kbs / 2000.0);
        QFile::remove(file);
    }
    ORVReleaseSdkLibrary();
    return 0;
}
