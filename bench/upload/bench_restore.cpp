// Restoring the upload queue at login: 1,000 stored upload records, each
// file 64 MB (sparse, with its own first block). Prints the time from
// RestoreUploads to every row announced and to every file checked (in the
// background), and how many bytes of the files were read to identify them.
//
//   bench_upload_restore [records] [file size in MB]

#include "base/config.h"
#include "storage/dbmanager.h"
#include "upload/sdkmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>

#include <cstdio>

namespace {

// Bytes this process has read through read-like calls so far (Linux).
qint64 ReadChars()
{
    QFile f(QStringLiteral("/proc/self/io"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    const qint64 sizeMb = argc > 2 ? QByteArray(argv[2]).toLongLong() : 64;
    const qint64 fileSize = sizeMb * 1024 * 1024;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    Config config(dir.filePath(QStringLiteral("global.ini")));
    config.RegisterDefaults();
    Config::SetGlobal(&config);
    // No server is needed: the restored uploads stay Stopped.
    config.setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"),
                    QStringLiteral("https://127.0.0.1:9"));

    DBManager* db = DBManager::instance();
    if (!db->Open(dir.filePath(QStringLiteral("client.db"))))
        return 1;
    db->setAccount(QStringLiteral("bench@orvane.test"));

    // Files: a random first block each, the rest a hole.
    QDir().mkpath(dir.filePath(QStringLiteral("files")));
    QRandomGenerator gen(42);
    QByteArray head(4096, '\0');
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("files/video-%1.mp4").arg(i, 4, 10, QLatin1Char('0')));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        gen.fillRange(reinterpret_cast<quint32*>(head.data()), head.size() / 4);
        f.write(head);
        f.resize(fileSize + i);
        files << path;
    }

    SDKManager* manager = SDKManager::instance();
    if (!manager->InitSdk(QStringLiteral("u1"), QStringLiteral("app1"), QStringLiteral("secret1"))) {
        std::fprintf(stderr, "library init failed\n");
        return 1;
    }
    // Store the records as the queue would after the uploads were added.
    {
        QElapsedTimer t;
        t.start();
        QSqlDatabase::database().transaction();
        for (int i = 0; i < count; ++i) {
            DBManager::Upload record;
            record.fileName = files.at(i);
            record.cateId = 1;
            record.updateTS = static_cast<quint64>(1700000000 + i);
            SDKUploadTask task;
            if (!task.Create(record, false, nullptr)) {
                std::fprintf(stderr, "cannot create a task for %s\n", qPrintable(record.fileName));
                return 1;
            }
            db->InsertUpload(record);
        }
        QSqlDatabase::database().commit();
        std::printf("prepared %d records in %lld ms\n", count, static_cast<long long>(t.elapsed()));
    }

    manager->setAutoStart(false);
    int appended = 0;
    QElapsedTimer timer;
    qint64 lastCreatedNs = 0;
    QObject::connect(manager, &SDKManager::SignalAppendUpload,
                     [&](SharedUploadTaskPtr, const DBManager::Upload&) {
                         ++appended;
                         lastCreatedNs = timer.nsecsElapsed();
                     });

    const qint64 readBefore = ReadChars();
    QSignalSpy finished(manager, &SDKManager::SignalRestoreFinished);
    timer.start();
    manager->RestoreUploads();
    const qint64 announcedNs = timer.nsecsElapsed();
    if (manager->restoring())
        finished.wait(600000);
    const qint64 totalNs = timer.nsecsElapsed();
    const qint64 readBytes = ReadChars() - readBefore;
    std::printf("RestoreUploads -> every row announced: %.1f ms\n", announcedNs / 1e6);

    // For comparison: the library's file identification alone, one file after
    // the other on this thread (the restore spreads it over the pool).
    QElapsedTimer idTimer;
    idTimer.start();
    for (const QString& path : qAsConst(files)) {
        DBManager::Upload record;
        record.fileName = path;
        bool exists = false;
        SDKUploadTask::FillDefaults(record, &exists);
        SDKUploadTask::Prepared p = SDKUploadTask::Prepare(record);
        if (p.rc != 0)
            return 1;
    }
    const double idMs = idTimer.nsecsElapsed() / 1e6;

    const double lastMs = lastCreatedNs / 1e6;
    const double apparent = static_cast<double>(fileSize) * count;
    std::printf("restored tasks:            %d of %d\n", appended, count);
    std::printf("RestoreUploads -> last row announced: %.1f ms (goal <= 1000 ms, ratio %.3f)\n", lastMs,
                lastMs / 1000.0);
    std::printf("RestoreUploads -> every file checked: %.1f ms, %.1f us per record\n", totalNs / 1e6,
                totalNs / 1e3 / qMax(1, count));
    std::printf("bytes read while restoring: %lld of %.0f bytes of files (ratio %.6f)\n",
                static_cast<long long>(readBytes), apparent, readBytes / apparent);
    std::printf("library identification alone, serial: %.1f ms (%.1f us per file, %d pool threads)\n", idMs,
                idMs * 1e3 / qMax(1, count), QThreadPool::globalInstance()->maxThreadCount());
    std::printf("restore overhead beyond the serial identification: %.1f ms\n", totalNs / 1e6 - idMs);
    SDKManager::Destroy();
    DBManager::Close();
    Config::SetGlobal(nullptr);
    return appended == count ? 0 : 2;
}
