// Upload library benchmark: prints figures and ratios, asserts nothing.
//
//   throughput of a 2 GiB upload over loopback HTTPS, ours against `curl -T`
//   the same with 50 ms latency per request
//   peak RSS of a process uploading 64 MiB and 4 GiB
//   bytes sent twice after a SIGKILL mid-upload
//   time from Start to the first body byte for 4 GiB
//   accuracy of a 2,000 KB/s traffic limit over 10 s

#include "orv_uploader.h"
#include "serverfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using orvtest::ServerFixture;

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

// What a child process needs to reach the server: URL, cache, CA file and
// the account's user id, appId and appSecret.
QStringList Access(ServerFixture& server, const QString& cache)
{
    orvsrv::AccountKeys k;
    server->Keys(orvsrv::kDemoMainEmail, &k);
    return {server.BaseUrl(), cache, server.CaFile(), k.userId, k.appId, k.appSecret};
}

void InitLibrary(const QStringList& access)
{
    ORVSetSdkLogFile(QString(access[1] + ".log").toUtf8().constData());
    ORVSetSdkLogLevel(2);
    ORVSetSdkCachePath(access[1].toUtf8().constData());
    ORVSetSdkServiceUrl(access[0].toUtf8().constData());
    ORVInitSdkLibrary(access[3].toUtf8().constData(), access[4].toUtf8().constData(),
                      access[5].toUtf8().constData());
    ORVSetSdkHttpRequest(3);
    ORVSetSdkCacertFile(access[2].toUtf8().constData());
}

// Child modes: "--rss" uploads and prints its peak RSS in KiB; "--slow"
// uploads until it is killed.
int Child(const QString& mode, const QString& path, const QStringList& access)
{
    InitLibrary(access);
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

// `curl -T` PATCH of the whole file to a fresh upload on a plain tus
// endpoint; returns seconds.
double CurlPatch(const QString& base, const QString& ca, const QString& path, qint64 size)
{
    QProcess post;
    post.start("curl", QStringList{"-s", "-i", "--cacert", ca, "-X", "POST", "-H", "Tus-Resumable: 1.0.0",
                                   "-H", "Content-Length: 0", "-H",
                                   QStringLiteral("Upload-Length: %1").arg(size), base + "/tus/files/"});
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
                                    "Content-Type: application/offset+octet-stream", "-H", "Expect:", url});
    patch.waitForFinished(600000);
    return t.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 9 && (QByteArray(argv[1]) == "--rss" || QByteArray(argv[1]) == "--slow")) {
        QStringList access;
        for (int i = 3; i < 9; ++i)
            access.append(QString::fromUtf8(argv[i]));
        return Child(argv[1], argv[2], access);
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    std::printf("work folder %s (library log: cache.log)\n", qPrintable(tmp.path()));
    const QString cache = tmp.path() + "/cache";
    const qint64 gib = 1024LL * 1024 * 1024;
    orvsrv::ServerOptions plainOptions = ServerFixture::DemoOptions();
    plainOptions.plainTus = true;
    plainOptions.accessLog = qEnvironmentVariableIsSet("BENCH_PROBE");
    // Sections to run (all by default): throughput rss kill ttfb limit.
    QStringList only = app.arguments().mid(1);
    auto run = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };

    // Plain tus for the throughput comparison: the same requests as curl.
    if (run("throughput")) {
        ServerFixture server(plainOptions);
        server.Start();
        InitLibrary(Access(server, cache));
        const QString file = tmp.path() + "/two.bin";
        MakeSparse(file, 2 * gib, 1);
        const double curlS = CurlPatch(server.BaseUrl(), server.CaFile(), file, 2 * gib);
        // The stored copies are not sparse: free the disk between the runs.
        const auto dropStored = [&] {
            QDir stored(server.DataDir() + "/uploads");
            for (const QString& name : stored.entryList({"*.bin"}, QDir::Files))
                stored.remove(name);
        };
        dropStored();
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
        dropStored();
        MakeSparse(file, 2 * gib, 2);
        orvsrv::FaultRule latency;
        latency.latencyMs = 50;
        server->AddFault(latency);
        Waiter w2;
        const int rc2 = UploadOnce(file, &w2, &start);
        const double slow = (NowNs() - start) / 1e9;
        server->ClearFaults();
        std::printf("with 50 ms latency per request: %.0f MiB/s (%.2f s, rc %d), ratio to no latency %.3f "
                    "(goal >= 0.9)\n",
                    2048 / slow, slow, rc2, ours / slow);
        std::fflush(stdout);
        QFile::remove(file);
        ORVReleaseSdkLibrary();
    }

    ServerFixture server;
    server.Start();
    const QStringList access = Access(server, cache);
    InitLibrary(access);
    const QString self = QCoreApplication::applicationFilePath();

    // Peak RSS of a whole process uploading 64 MiB and 4 GiB.
    if (run("rss")) {
        long rss[2] = {0, 0};
        const qint64 sizes[2] = {64LL * 1024 * 1024, 4 * gib};
        for (int i = 0; i < 2; ++i) {
            const QString file = tmp.path() + QStringLiteral("/rss%1.bin").arg(i);
            MakeSparse(file, sizes[i], 10 + i);
            QProcess child;
            child.start(self, QStringList{"--rss", file} + access);
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
        const qint64 before = server->UploadBytesReceived();
        QProcess child;
        child.start(self, QStringList{"--slow", file} + access);
        child.waitForStarted();
        while (server->UploadBytesReceived() - before < size / 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        child.waitForFinished(5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Waiter w;
        const int rc = UploadOnce(file, &w);
        const qint64 resent = server->UploadBytesReceived() - before - size;
        std::printf("bytes re-sent after SIGKILL at ~50%% of 1 GiB: %lld (%.3f MiB, rc %d; goal <= 1 MiB)\n",
                    static_cast<long long>(resent), resent / 1048576.0, rc);
        std::fflush(stdout);
        QFile::remove(file);
    }

    // Time from Start to the first body byte for 4 GiB.
    if (run("ttfb")) {
        const QString file = tmp.path() + "/ttfb.bin";
        MakeSparse(file, 4 * gib, 30);
        // A fresh upload's first request to its own URL is the PATCH.
        const QRegularExpression upload(QStringLiteral("^/tus/files/[0-9a-f]{32}$"));
        auto patches = [&] { return server->Requests("/tus/files/").filter(upload).size(); };
        const int before = patches();
        const QByteArray p = file.toUtf8();
        Waiter w;
        ORVUploaderHandle h = ORVUploaderCreate();
        ORVUploaderParam param{};
        param.filePath = p.constData();
        ORVUploaderSetParam(h, &param);
        ORVUploaderSetResultHandler(h, &Waiter::OnResult, &w);
        const qint64 start = NowNs();
        ORVUploaderStart(h);
        while (patches() == before)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const double ms = (NowNs() - start) / 1e6;
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
