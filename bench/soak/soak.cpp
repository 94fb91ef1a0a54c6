// orvane-soak: reliability soaks of the command-line uploader against the
// local platform server (in this process, loopback HTTPS).
//
//   orvane-soak faults N [--max-mib M] [--seed S]
//     N uploads of random sizes (1 KiB to M MiB, a few up to 2*M) in batches,
//     while random faults hit the upload endpoint: connections dropped
//     mid-body, 5xx, 423, lost responses, latency spikes. Prints
//     "uploads: N, completed: C, identical: I"; fails unless C = I = N.
//   orvane-soak kill N [--max-mib M] [--seed S]
//     N rounds: an upload batch is killed (SIGKILL) at a random moment, then
//     "orvane-upload resume" finishes it. Every upload must complete, the
//     database must pass its integrity check, no history row may be lost,
//     and at most 1 MiB (--max-resent-kib) may be re-sent after each kill.

#include "orvsrv/platform_server.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <lzma.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr qint64 kKiB = 1024;
constexpr qint64 kMiB = 1024 * kKiB;
constexpr int kBatch = 10;
constexpr int kCliTimeoutMs = 20 * 60 * 1000;

void Print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool FileCrc64(const QString& path, quint64* crc)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    uint64_t c = 0;
    QByteArray buffer(4 * int(kMiB), Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        c = lzma_crc64(reinterpret_cast<const uint8_t*>(buffer.constData()), size_t(n), c);
    }
    *crc = c;
    return true;
}

// The server, a client data folder and the uploader to run against them.
class Soak
{
public:
    Soak(quint32 seed, qint64 maxBytes, qint64 maxResent)
        : rng_(seed), faultRng_(seed ^ 0x5eedu), seed_(seed), maxBytes_(maxBytes), maxResent_(maxResent)
    {
    }

    bool Start()
    {
        if (!dir_.isValid())
            return Fail(QStringLiteral("no temporary folder"));
        // For a look at the logs of a failed run.
        if (qEnvironmentVariableIsSet("ORVANE_SOAK_KEEP")) {
            dir_.setAutoRemove(false);
            Print(QStringLiteral("keeping %1").arg(dir_.path()));
        }
        orvsrv::ServerOptions options;
        options.dataDir = dir_.filePath(QStringLiteral("server"));
        options.seed = QStringLiteral("demo");
        server_ = std::make_unique<orvsrv::PlatformServer>(options);
        QString error;
        if (!server_->Start(&error))
            return Fail(error);
        uploader_ = QCoreApplication::applicationDirPath() + QStringLiteral("/orvane-upload");
        if (!QFile::exists(uploader_))
            return Fail(QStringLiteral("not built: ") + uploader_);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("XDG_DATA_HOME"), dir_.filePath(QStringLiteral("client")));
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
        env_.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        QDir().mkpath(dir_.filePath(QStringLiteral("files")));
        int code = Run({QStringLiteral("login"), QStringLiteral("--email"),
                        QString::fromLatin1(orvsrv::kDemoMainEmail), QStringLiteral("--password-stdin")},
                       QByteArray(orvsrv::kDemoPassword) + '\n');
        if (code != 0)
            return Fail(QStringLiteral("login exited with %1").arg(code));
        return true;
    }

    int Faults(int n)
    {
        QTimer injector;
        QObject::connect(&injector, &QTimer::timeout, [this] { InjectRandomFault(); });
        injector.start(250);
        int completed = 0;
        int identical = 0;
        int retried = 0;
        for (int first = 0; first < n; first += kBatch) {
            QStringList files;
            for (int i = first; i < qMin(n, first + kBatch); ++i)
                files << MakeFile(i, FaultsSize(i));
            QStringList args{QStringLiteral("upload"), QStringLiteral("--parallel"), QStringLiteral("3")};
            int code = Run(args + files);
            // A batch that ended with failures gets one more chance, like a user would give it.
            if (code == 1) {
                ++retried;
                code = Run({QStringLiteral("resume")});
            }
            if (code != 0)
                Print(QStringLiteral("batch %1: exit %2").arg(first / kBatch + 1).arg(code));
            const QHash<QString, QString> history = History();
            for (const QString& file : qAsConst(files)) {
                const QString vid = history.value(file);
                if (vid.isEmpty())
                    continue;
                ++completed;
                if (Identical(file, vid))
                    ++identical;
                else
                    Print(QStringLiteral("differs: %1 (%2)").arg(file, vid));
                QFile::remove(file);
            }
        }
        injector.stop();
        server_->ClearFaults();
        QStringList kinds;
        for (auto it = injected_.constBegin(); it != injected_.constEnd(); ++it)
            kinds << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
        kinds.sort();
        Print(QStringLiteral("faults injected: %1; batches retried: %2; bytes sent: %3 for %4 of files")
                  .arg(kinds.join(QStringLiteral(", ")))
                  .arg(retried)
                  .arg(server_->UploadBytesReceived())
                  .arg(totalBytes_));
        Print(
            QStringLiteral("uploads: %1, completed: %2, identical: %3").arg(n).arg(completed).arg(identical));
        return completed == n && identical == n ? 0 : 1;
    }

    int Kill(int rounds)
    {
        QSet<QString> seenHistory;
        int bad = 0;
        qint64 worst = 0;
        int index = 0;
        for (int round = 1; round <= rounds; ++round) {
            QStringList files;
            qint64 batchBytes = 0;
            for (int i = 0; i < 3; ++i) {
                const qint64 size = Uniform(maxBytes_ / 4, maxBytes_);
                files << MakeFile(index++, size);
                batchBytes += size;
            }
            const qint64 before = server_->UploadBytesReceived();
            // Slow enough (about 3 s a batch) that a random moment up to 3.3 s
            // lands anywhere in the transfer, its end included.
            const int limitKBps = int(qMax<qint64>(256, batchBytes / kKiB / 3));
            const int killAfterMs = int(Uniform(100, 3300));
            QStringList args{QStringLiteral("upload"), QStringLiteral("--limit"), QString::number(limitKBps)};
            const int killed = Run(args + files, QByteArray(), killAfterMs);
            const qint64 atKill = server_->UploadBytesReceived() - before;
            int code = Run({QStringLiteral("resume")});
            // Killed before the batch was queued: the same command again.
            const int again = code == 0 ? Run(QStringList{QStringLiteral("upload")} + files) : code;
            const qint64 sent = server_->UploadBytesReceived() - before;
            const qint64 resent = qMax<qint64>(0, sent - batchBytes);
            worst = qMax(worst, resent);

            const QHash<QString, QString> history = History();
            int done = 0;
            for (const QString& file : qAsConst(files))
                if (history.contains(file) && Identical(file, history.value(file)))
                    ++done;
            QSet<QString> vids;
            for (const QString& vid : history)
                vids.insert(vid);
            const bool lost = !vids.contains(seenHistory);
            seenHistory.unite(vids);
            const QString integrity = IntegrityCheck();
            const bool ok = done == files.size() && !lost && integrity == QLatin1String("ok") &&
                            resent <= maxResent_ && code == 0 && again == 0;
            if (!ok)
                ++bad;
            Print(QStringLiteral("round %1: killed after %2 ms (exit %3, %4 bytes stored), resume exit %5, "
                                 "completed %6/%7, re-sent %8 bytes, integrity %9%10")
                      .arg(round)
                      .arg(killAfterMs)
                      .arg(killed)
                      .arg(atKill)
                      .arg(code)
                      .arg(done)
                      .arg(files.size())
                      .arg(resent)
                      .arg(integrity, lost ? QStringLiteral(", HISTORY ROWS LOST") : QString()));
            for (const QString& file : qAsConst(files))
                QFile::remove(file);
        }
        Print(QStringLiteral("rounds: %1, passed: %2, most re-sent after a kill: %3 bytes")
                  .arg(rounds)
                  .arg(rounds - bad)
                  .arg(worst));
        return bad == 0 ? 0 : 1;
    }

    bool Fail(const QString& text)
    {
        std::fprintf(stderr, "orvane-soak: %s\n", qPrintable(text));
        return false;
    }

private:
    qint64 Uniform(qint64 low, qint64 high)
    {
        return high <= low ? low : low + qint64(rng_.generate64() % quint64(high - low + 1));
    }

    qint64 FaultUniform(qint64 low, qint64 high)
    {
        return low + qint64(faultRng_.generate64() % quint64(high - low + 1));
    }

    // Mostly spread evenly on a log scale from 1 KiB up; every 25th is larger.
    qint64 FaultsSize(int i)
    {
        if (i % 25 == 24)
            return Uniform(maxBytes_, 2 * maxBytes_);
        const double span = std::log(double(maxBytes_) / double(kKiB));
        return qint64(double(kKiB) * std::exp(rng_.generateDouble() * span));
    }

    QString MakeFile(int i, qint64 size)
    {
        totalBytes_ += size;
        return orvtest::WriteRandomFile(
            dir_.filePath(QStringLiteral("files/soak-%1.mp4").arg(i, 4, 10, QLatin1Char('0'))), size,
            seed_ * 7919u + quint32(i));
    }

    // Runs the uploader to its end (or kills it after killAfterMs); returns its exit code.
    int Run(const QStringList& args, const QByteArray& input = QByteArray(), int killAfterMs = -1)
    {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.setStandardOutputFile(dir_.filePath(QStringLiteral("uploader.log")), QIODevice::Append);
        process.setStandardErrorFile(dir_.filePath(QStringLiteral("uploader.err")), QIODevice::Append);
        process.start(uploader_,
                      args + QStringList{QStringLiteral("--json"), QStringLiteral("--api-url"),
                                         server_->BaseUrl(), QStringLiteral("--cacert"), server_->CaFile()});
        if (!process.waitForStarted(10000))
            return -1;
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
        QEventLoop loop;
        QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                         &QEventLoop::quit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(killAfterMs >= 0 ? killAfterMs : kCliTimeoutMs);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        if (process.state() != QProcess::NotRunning) {
            process.kill(); // SIGKILL: no chance to store anything
            process.waitForFinished(10000);
            return killAfterMs >= 0 ? 137 : -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128 + 9;
    }

    void InjectRandomFault()
    {
        const qint64 now = clock_.isValid() ? clock_.elapsed() : (clock_.start(), 0);
        // Spikes and unused one-shot rules go away after a while.
        for (auto it = active_.begin(); it != active_.end();) {
            if (now - it.value() > 2000) {
                server_->RemoveFault(it.key());
                it = active_.erase(it);
            } else {
                ++it;
            }
        }
        if (faultRng_.bounded(4) != 0)
            return;
        orvsrv::FaultRule rule;
        rule.pathPattern = QStringLiteral("^/tus/files/");
        QString kind;
        switch (faultRng_.bounded(5)) {
        case 0:
            kind = QStringLiteral("dropped mid-body");
            rule.pathPattern = QStringLiteral("^/tus/files/[0-9a-zA-Z_-]+$");
            rule.dropRequestAfterBytes = FaultUniform(4 * kKiB, 4 * kMiB);
            break;
        case 1:
            kind = QStringLiteral("5xx");
            rule.failNextN = 1;
            rule.httpStatus = 500 + int(faultRng_.bounded(4));
            break;
        case 2:
            kind = QStringLiteral("423");
            rule.failNextN = 1;
            rule.httpStatus = 423;
            break;
        case 3:
            kind = QStringLiteral("lost responses");
            rule.dropResponseAfterBytes = 0;
            break;
        default:
            kind = QStringLiteral("latency spikes");
            rule.latencyMs = int(FaultUniform(300, 1500));
            break;
        }
        active_.insert(server_->AddFault(rule), now);
        injected_[kind] += 1;
    }

    // File name -> vid of the account's history, read from the client's database.
    QHash<QString, QString> History()
    {
        QHash<QString, QString> out;
        const QString name = QStringLiteral("soak");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(
                dir_.filePath(QStringLiteral("client/orvane-upload-client/orv-upload-client.db")));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT fileName, vid FROM ORVHistoryRecord;"));
                while (q.next())
                    out.insert(q.value(0).toString(), q.value(1).toString());
                lastIntegrity_.clear();
                if (q.exec(QStringLiteral("PRAGMA integrity_check;")) && q.next())
                    lastIntegrity_ = q.value(0).toString();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return out;
    }

    QString IntegrityCheck() const { return lastIntegrity_; }

    bool Identical(const QString& file, const QString& vid)
    {
        qint64 size = 0;
        quint64 stored = 0;
        quint64 local = 0;
        return server_->StoredVideo(vid, &size, &stored) && FileCrc64(file, &local) &&
               size == QFile(file).size() && stored == local;
    }

    QTemporaryDir dir_;
    std::unique_ptr<orvsrv::PlatformServer> server_;
    QString uploader_;
    QProcessEnvironment env_;
    QRandomGenerator rng_;      // the files and the kill moments: the same seed, the same run
    QRandomGenerator faultRng_; // the faults, which depend on timing anyway
    quint32 seed_;
    qint64 maxBytes_;
    qint64 maxResent_; // per kill
    qint64 totalBytes_ = 0;
    QHash<int, qint64> active_; // fault id -> added at (ms)
    QHash<QString, int> injected_;
    QElapsedTimer clock_;
    QString lastIntegrity_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString usage =
        QStringLiteral("usage: orvane-soak faults|kill N [--max-mib M] [--max-resent-kib K] [--seed S]");
    bool ok = false;
    const int n = args.value(1).toInt(&ok);
    const QString mode = args.value(0);
    if ((mode != QLatin1String("faults") && mode != QLatin1String("kill")) || !ok || n < 1 || n > 10000) {
        std::fprintf(stderr, "%s\n", qPrintable(usage));
        return 2;
    }
    qint64 maxMib = 64;
    qint64 maxResentKib = 1024;
    quint32 seed = quint32(QDateTime::currentMSecsSinceEpoch());
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--max-mib"))
            maxMib = qBound<qint64>(1, args[i + 1].toLongLong(), 1024);
        else if (args[i] == QLatin1String("--max-resent-kib"))
            maxResentKib = qMax<qint64>(0, args[i + 1].toLongLong());
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
        else {
            std::fprintf(stderr, "%s\n", qPrintable(usage));
            return 2;
        }
    }
    Print(QStringLiteral("%1 %2, sizes up to %3 MiB, seed %4").arg(mode).arg(n).arg(maxMib).arg(seed));
    Soak soak(seed, maxMib * kMiB, maxResentKib * kKiB);
    if (!soak.Start())
        return 1;
    QElapsedTimer timer;
    timer.start();
    const int code = mode == QLatin1String("faults") ? soak.Faults(n) : soak.Kill(n);
    Print(QStringLiteral("time: %1 s").arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return code;
}
