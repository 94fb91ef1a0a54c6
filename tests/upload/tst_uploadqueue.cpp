// The upload queue with our upload library against the platform server
// running in-process: scheduling, persistence, restore, results and deletes.

#include "testenv.h"

#include <QtTest>

#include <algorithm>

using orvtest::StatusOf;

namespace {

const QString kTitlePrefix = QStringLiteral("queue-");

// Records what the manager and its tasks report, in order.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(SDKManager* manager)
    {
        connect(manager, &SDKManager::SignalAppendUpload, this, &Recorder::OnAppend);
        connect(manager, &SDKManager::SignalRemoveUpload, this,
                [this](const QString& vid) { removed << vid; });
        connect(manager, &SDKManager::SignalExistUpload, this, [this](const QString& vid) { exists << vid; });
        connect(manager, &SDKManager::SignalAllUploadStatus, this, [this](bool all) { allStatus << all; });
    }

    void OnAppend(SharedUploadTaskPtr task, const DBManager::Upload& record)
    {
        const QString vid = record.vid;
        appended << vid;
        SDKManager* manager = SDKManager::instance();
        connect(task.data(), &SDKUploadTask::SignalStatus, this, [this, vid, manager](int status) {
            if (status == int(UploadStatus::Uploading))
                started << vid;
            int running = 0;
            for (const auto& t : manager->tasks())
                running += t->status() == UploadStatus::Uploading ? 1 : 0;
            maxRunning = std::max(maxRunning, running);
        });
        connect(task.data(), &SDKUploadTask::SignalResult, this, [this, vid](bool ok, const QString& desc) {
            results << QStringLiteral("%1 %2 %3").arg(vid).arg(ok).arg(desc);
        });
        connect(task.data(), &SDKUploadTask::SignalDeleteResult, this, [this](bool ok, const QString& v) {
            deleteResults << v + QLatin1Char(' ') + QString::number(ok);
        });
    }

    QStringList appended, removed, exists, started, results, deleteResults;
    QList<bool> allStatus;
    int maxRunning = 0;
};

// Restores and waits until every restored file has been checked.
bool Restore(SDKManager* m)
{
    QSignalSpy done(m, &SDKManager::SignalRestoreFinished);
    m->RestoreUploads();
    return !m->restoring() || done.wait(20000);
}

bool WaitAllGone(int timeoutMs)
{
    return QTest::qWaitFor([] { return SDKManager::instance()->tasks().isEmpty(); }, timeoutMs);
}

QStringList HistoryStatuses()
{
    QStringList out;
    for (const DBManager::History& h : DBManager::instance()->SelectHistories(0, 100).valueOr({}))
        out << h.vid + QLatin1Char(' ') + h.fileStatus;
    out.sort();
    return out;
}

} // namespace

class TestUploadQueue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
        QString error;
        QVERIFY2(env_.Start(&error) && env_.Login(&error), qPrintable(error));
        const AccountManager& account = env_.accounts();
        cate_ = static_cast<qint64>(account.cateId());
        const auto added =
            ApiCollection::Parsed(ApiCollection::AddCategoryRequest(QUuid::createUuid(), account.cateId(),
                                                                    QStringLiteral("queue-other"), nullptr),
                                  ApiCollection::ParseAddCategoryResponse);
        QCOMPARE(added.code(), ApiCollection::NoError);
        other_ = static_cast<qint64>(added->cateId);
        QVERIFY(other_ != cate_ && other_ > 0);
        SDKManager::Destroy();
    }

    void cleanupTestCase() { env_.Stop(); }

    void init() { QVERIFY(InitLibrary()); } // a new manager, with three slots and auto-start

    void cleanup()
    {
        SDKManager::Destroy();
        DBManager::instance()->DeleteUploads();
        DBManager::instance()->DeleteHistories(false);
        env_.server().ClearFaults();
    }

    void fiveFilesRunThreeAtATime()
    {
        SDKManager* m = SDKManager::instance();
        m->SetTrafficLimit(768);
        Recorder rec(m);
        for (int i = 0; i < 5; ++i)
            QVERIFY(Add(300 * 1024 + i * 1000));
        QCOMPARE(rec.appended.size(), 5);
        // New uploads are stored at once, with the vid the library computed.
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 5);
        // Three run; the two others wait for a slot.
        QCOMPARE(rec.started, rec.appended.mid(0, 3));
        QStringList waiting = rec.appended.mid(3);
        std::sort(waiting.begin(), waiting.end());
        for (const QString& vid : waiting)
            QCOMPARE(StatusOf(vid), int(UploadStatus::Waiting));
        QVERIFY(m->anyUploading());

        QVERIFY(WaitAllGone(90000));
        QCOMPARE(rec.maxRunning, 3);
        // The waiting uploads started in vid order, each after a slot was freed.
        QCOMPARE(rec.started.mid(3), waiting);
        QCOMPARE(rec.removed.size(), 5);
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());
        QStringList expected;
        for (const QString& vid : rec.appended)
            expected << vid + QStringLiteral(" UploadSuccess");
        expected.sort();
        QCOMPARE(HistoryStatuses(), expected);
        const DBManager::History first = DBManager::instance()->SelectHistories(0, 10).value().value(0);
        QVERIFY(first.titleName.startsWith(kTitlePrefix));
        // Sizes are kept in bytes.
        QVERIFY(first.fileSize >= 300 * 1024 && first.fileSize <= 304 * 1024);
        QVERIFY(OnServer(rec.appended));
        QCOMPARE(rec.allStatus.last(), false);
    }

    void restoreResumesInVidOrder()
    {
        // Slow enough that nothing finishes before the restart.
        QStringList vids = QueueAndRestart(5, 400 * 1024, 48);
        QCOMPARE(vids.size(), 5);
        std::sort(vids.begin(), vids.end());
        SDKManager* m = SDKManager::instance();
        m->SetTrafficLimit(48);
        QVERIFY(Restore(m));
        QStringList restored;
        for (const auto& t : m->tasks())
            restored << t->record().vid;
        QCOMPARE(restored, vids);
        // The three smallest vids run first.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(StatusOf(vids.at(i)), int(i < 3 ? UploadStatus::Uploading : UploadStatus::Waiting));
        // A second restore adds nothing and keeps every stored record.
        QVERIFY(Restore(m));
        QCOMPARE(m->tasks().size(), 5);
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 5);

        // Lowering the limit to 1 sends the first two running tasks, in vid order, back to Waiting.
        m->setMaxConcurrent(1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(StatusOf(vids.at(i)), int(i == 2 ? UploadStatus::Uploading : UploadStatus::Waiting));

        // Unlimited again: every upload finishes from where it was.
        m->SetTrafficLimit(0);
        m->setMaxConcurrent(3);
        QVERIFY(WaitAllGone(90000));
        QCOMPARE(HistoryStatuses().size(), 5);
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());
        QVERIFY(OnServer(vids));
    }

    void restoreWithoutAutoStartAndStartAll()
    {
        SDKManager::instance()->setMaxConcurrent(4);
        QStringList files;
        QStringList vids = QueueAndRestart(5, 200 * 1024, 16, &files);
        const QString late = vids.takeLast(); // still waiting at the restart
        std::sort(vids.begin(), vids.end());
        SDKManager* m = SDKManager::instance();
        m->SetTrafficLimit(16);
        m->setAutoStart(false);
        m->setMaxConcurrent(2);
        Recorder rec(m);
        QVERIFY(Restore(m));
        QCOMPARE(m->tasks().size(), 5);
        for (const QString& vid : vids + QStringList{late})
            QCOMPARE(StatusOf(vid), int(UploadStatus::Stopped));
        QVERIFY(!m->anyUploading());
        // A restored upload's file is checked again when it first runs.
        QVERIFY(Append(files.last()));
        m->StartOrPause(late, true);
        QCOMPARE(StatusOf(late), int(UploadStatus::FileError));
        QCOMPARE(m->task(late)->message(), QStringLiteral("FileChanage"));
        QVERIFY(!m->anyUploading());

        // Two running, one paused, one failed.
        m->StartOrPause(vids.at(0), true);
        m->StartOrPause(vids.at(1), true);
        QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Uploading));
        m->task(vids.at(2))->Start(false);
        QCOMPARE(StatusOf(vids.at(2)), int(UploadStatus::Paused));
        // A run that ends with an error marks the task Failed.
        QMetaObject::invokeMethod(m->task(vids.at(3)).data(), "OnResult", Qt::QueuedConnection, Q_ARG(int, 7),
                                  Q_ARG(QString, QStringLiteral("RequestTimeout")));
        QVERIFY(QTest::qWaitFor([&] { return StatusOf(vids.at(3)) == int(UploadStatus::Failed); }, 5000));
        // With the slots full, Paused turns Waiting and Failed stays Failed.
        m->StartAll();
        const UploadStatus after[] = {UploadStatus::Uploading, UploadStatus::Uploading, UploadStatus::Waiting,
                                      UploadStatus::Failed};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(StatusOf(vids.at(i)), int(after[i]));

        // Pause all: every task Paused, and the button shows "start all".
        rec.allStatus.clear();
        m->PauseAll();
        for (const QString& vid : vids)
            QCOMPARE(StatusOf(vid), int(UploadStatus::Paused));
        QCOMPARE(rec.allStatus.value(rec.allStatus.size() - 1, true), false);
        // A start without a free slot queues the task.
        m->setMaxConcurrent(1);
        m->StartOrPause(vids.at(0), true);
        m->StartOrPause(vids.at(1), true);
        QCOMPARE(StatusOf(vids.at(0)), int(UploadStatus::Uploading));
        QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Waiting));
        // Sent back to the queue, the first in vid order takes the free slot again at once.
        m->task(vids.at(0))->Pause(true);
        QCOMPARE(StatusOf(vids.at(0)), int(UploadStatus::Uploading));
        QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Waiting));
    }

    void deleteConfirmedAndFailed()
    {
        SDKManager* m = SDKManager::instance();
        m->SetTrafficLimit(32);
        Recorder rec(m);
        QVERIFY(Add(400 * 1024) && Add(400 * 1024));
        const QString a = rec.appended.at(0);
        const QString b = rec.appended.at(1);
        // Let both create their upload on the server.
        QTest::qWait(1500);

        // Confirmed: the task, its row and its stored record go.
        m->DeleteTask(a);
        QVERIFY(m->task(a)->deleting());
        QVERIFY(QTest::qWaitFor([&] { return !rec.deleteResults.isEmpty(); }, 20000));
        QCOMPARE(rec.deleteResults, QStringList{a + QStringLiteral(" 1")});
        QVERIFY(!m->contains(a));
        QCOMPARE(rec.removed, QStringList{a});
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
        QCOMPARE(DBManager::instance()->CountHistories().valueOr(-1), 0);

        // Failed: the server keeps refusing the termination; the task stays.
        // A pause ends the run as a success without a text and keeps the status.
        m->StartOrPause(b, false);
        QVERIFY(QTest::qWaitFor([&] { return !rec.results.isEmpty(); }, 5000));
        QCOMPARE(rec.results.first(), b + QStringLiteral(" 1 "));
        QCOMPARE(StatusOf(b), int(UploadStatus::Paused));
        orvsrv::FaultRule refuse;
        refuse.pathPattern = QStringLiteral("^/tus/files/.+");
        refuse.failNextN = 100;
        refuse.httpStatus = 503;
        env_.server().AddFault(refuse);
        m->DeleteTask(b);
        QVERIFY(QTest::qWaitFor([&] { return rec.deleteResults.size() == 2; }, 30000));
        QCOMPARE(rec.deleteResults.at(1), b + QStringLiteral(" 0"));
        QVERIFY(m->contains(b));
        QVERIFY(!m->task(b)->deleting());
        QCOMPARE(rec.removed.size(), 1);
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
        // Once the server is back the delete goes through.
        env_.server().ClearFaults();
        m->DeleteTask(b);
        QVERIFY(QTest::qWaitFor([&] { return rec.deleteResults.size() == 3; }, 20000));
        QVERIFY(!m->contains(b));
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());
    }

    void duplicatesAndSecondPass()
    {
        SDKManager* m = SDKManager::instance();
        m->SetTrafficLimit(16);
        Recorder rec(m);
        QSignalSpy history(DBManager::instance(), &DBManager::SignalAppendHistory);
        const QString file = NewFile(128 * 1024);
        QVERIFY(m->AddUpload(cate_, file, QStringLiteral("first"), QString(), QString(), QString(), 0, 0));
        const QString vid = rec.appended.value(0);
        QVERIFY(m->AddUpload(cate_, file, QStringLiteral("again"), QString(), QString(), QString(), 0, 0));
        QCOMPARE(rec.exists, QStringList{vid});
        // Another category: the library computes the same vid, which is queued already.
        QVERIFY(!m->AddUpload(other_, file, QString(), QString(), QString(), QString(), 0, 0));
        QCOMPARE(m->tasks().size(), 1);
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
        QCOMPARE(m->task(vid)->record().titleName, QStringLiteral("first"));

        m->SetTrafficLimit(0);
        for (const char* status : {"UploadSuccess", "SecondPass"}) {
            // The second time the platform has the file and nothing is transferred.
            const bool again = status[0] == 'S';
            QVERIFY(!again || Add(file));
            QVERIFY(WaitAllGone(30000));
            const auto h = history.last().at(0).value<DBManager::History>();
            QCOMPARE(h.vid, vid);
            QCOMPARE(h.fileStatus, QString::fromLatin1(status));
            QCOMPARE(h.fileSize, quint64(128 * 1024));
            QCOMPARE(h.fileName, file);
            QCOMPARE(h.titleName, again ? QFileInfo(file).completeBaseName() : QStringLiteral("first"));
        }
        QCOMPARE(rec.appended, (QStringList{vid, vid}));
        QCOMPARE(history.count(), 2);
        QCOMPARE(HistoryStatuses(), QStringList{vid + QStringLiteral(" SecondPass")});
    }

    void changedAndMissingFiles()
    {
        QStringList files;
        const QStringList vids = QueueAndRestart(2, 300 * 1024, 16, &files);
        QCOMPARE(vids.size(), 2);
        QVERIFY(Append(files.at(0)));
        QVERIFY(QFile::remove(files.at(1)));
        SDKManager* m = SDKManager::instance();
        QSignalSpy done(m, &SDKManager::SignalRestoreFinished);
        m->RestoreUploads();
        // The rows are there at once, and nothing starts before its file is checked.
        QCOMPARE(m->tasks().size(), 2);
        QVERIFY(!m->anyUploading());
        QVERIFY(!m->restoring() || done.wait(20000));
        const SharedUploadTaskPtr c = m->task(vids.at(0));
        const SharedUploadTaskPtr gone = m->task(vids.at(1));
        QVERIFY(c && gone);
        QCOMPARE(int(c->status()), int(UploadStatus::FileError));
        QCOMPARE(c->message(), QStringLiteral("FileChanage"));
        QCOMPARE(c->record().vid, vids.at(0));
        QCOMPARE(int(gone->status()), int(UploadStatus::FileError));
        QCOMPARE(gone->message(), QStringLiteral("FileNoExist"));
        QCOMPARE(gone->totalBytes(), quint64(0));
        QVERIFY(!m->anyUploading());
        // They can never start again, and saying so emits nothing.
        QSignalSpy status(c.data(), &SDKUploadTask::SignalStatus);
        QVERIFY(!c->Start(true));
        m->StartAll();
        m->StartOrPause(vids.at(1), true);
        QCOMPARE(status.count(), 0);
        QCOMPARE(int(gone->status()), int(UploadStatus::FileError));
        // But they can be deleted, which also clears the stored records.
        m->DeleteAllTasks();
        QVERIFY(WaitAllGone(20000));
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());

        // A new record whose file is gone is dropped at restore.
        DBManager::Upload orphan;
        orphan.vid = QStringLiteral(""); // stored, but never identified
        orphan.fileName = env_.path(QStringLiteral("files/never-there.mp4"));
        QVERIFY(DBManager::instance()->InsertUpload(orphan));
        QVERIFY(Restore(m));
        QVERIFY(m->tasks().isEmpty());
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());
    }

    void restoreReadsPages()
    {
        // More records than one turn of the event loop shows, some with the
        // same time: every row appears, in stored order, a page per turn.
        DBManager* db = DBManager::instance();
        QList<DBManager::Upload> records;
        for (int i = 0; i < 1200; ++i) {
            DBManager::Upload r;
            r.vid = QStringLiteral("%1").arg(i, 32, 10, QLatin1Char('0'));
            r.fileName = env_.path(QStringLiteral("files/gone-%1.mp4").arg(i));
            r.updateTS = 1700000000u + quint64(i / 3);
            records << r;
        }
        QVERIFY(db->InsertUploads(records));
        QStringList stored;
        for (const DBManager::Upload& r : db->SelectUploads().valueOr({}))
            stored << r.vid;
        SDKManager* m = SDKManager::instance();
        QList<QStringList> pages;
        connect(m, &SDKManager::SignalUploadsAppended, this, [&](const QStringList& vids) {
            // A row deleted after it was read must not push an unread one out of the next page.
            if (pages.isEmpty())
                db->DeleteUpload(vids.first());
            pages << vids;
        });
        QVERIFY(Restore(m));
        disconnect(m, &SDKManager::SignalUploadsAppended, this, nullptr);
        QVERIFY(pages.size() > 1);
        QStringList shown;
        for (const QStringList& page : pages)
            shown << page;
        QCOMPARE(shown, stored);
        // None of the files is there: every row waits as FileError, none started.
        for (const QString& vid : shown)
            QCOMPARE(StatusOf(vid), int(UploadStatus::FileError));
    }

    void results_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("resultText");
        const int failed = int(UploadStatus::Failed);
        const int stopped = int(UploadStatus::Stopped); // as created, untouched
        const QString none;
        QTest::newRow("platform code without text")
            << 120 << none << false << "ErrorCodeString.OtherError, code:7" << failed << none;
        QTest::newRow("platform code, server text")
            << 120 << "server said no" << false << "server said no" << failed << none;
        QTest::newRow("platform code with text")
            << 113 + 31 << none << false << "ErrorCodeString.ACCOUNT_LOCKED" << failed << none;
        QTest::newRow("time-out, any case") << 7 << "curl: requestTIMEOUT after 15 s" << false
                                            << "SdkCodeMsg.RequestTimeout" << failed << none;
        QTest::newRow("connection") << 6 << "x CONNECTIONTIMEOUT y" << false << "SdkCodeMsg.ConnectionTimeout"
                                    << failed << none;
        QTest::newRow("unmapped") << 9 << "unmapped text" << false << "unmapped text" << failed << none;
        QTest::newRow("no file") << 2 << none << false << "SdkCodeMsg.NoFile" << failed << none;
        QTest::newRow("no space") << 102 << none << false << "SdkCodeMsg.NoSpace" << failed << none;
        // No description at all: the library's own text for the code, mapped.
        QTest::newRow("library text") << 12 << none << false << "SdkCodeMsg.TokenError" << failed << none;
        QTest::newRow("pause") << 5 << none << true << none << stopped << none;
        // The stored file's checksum differs: the file can never be sent.
        QTest::newRow("checksum") << 19 << none << false << "CRC64 Check Error"
                                  << int(UploadStatus::FileError) << none;
        QTest::newRow("uploaded") << 0 << none << true << none << stopped << "UploadSuccess";
        QTest::newRow("second pass") << 112 << none << true << none << stopped << "SecondPass";
    }

    void results()
    {
        QFETCH(int, code);
        QFETCH(QString, desc);
        QFETCH(QString, resultText);
        QFETCH(int, status);
        const QString file = NewFile(1024);
        DBManager::Upload record;
        record.fileName = file;
        SDKUploadTask task;
        QVERIFY(task.Create(record, false, nullptr));
        QCOMPARE(int(task.status()), int(UploadStatus::Stopped));
        QCOMPARE(task.record().titleName, QFileInfo(file).completeBaseName());
        QCOMPARE(task.totalBytes(), quint64(1024));
        QSignalSpy result(&task, &SDKUploadTask::SignalResult);
        QSignalSpy statuses(&task, &SDKUploadTask::SignalStatus);
        QSignalSpy release(&task, &SDKUploadTask::SignalRelease);
        task.OnResult(code, desc);
        QTEST(result.last().at(0).toBool(), "success");
        QTEST(result.last().at(1).toString(), "message");
        QCOMPARE(int(task.status()), status);
        // Failed is written without a signal; only a file problem is announced.
        QCOMPARE(statuses.count(), status == int(UploadStatus::FileError) ? 1 : 0);
        QCOMPARE(task.record().resultText, resultText);
        QCOMPARE(release.count(), resultText.isEmpty() ? 0 : 1);
    }

    void settingsApplied()
    {
        Config& config = env_.config();
        const QString group = QStringLiteral("UploadTaskManager");
        const QStringList keys = {QStringLiteral("uploadTasksNum"), QStringLiteral("autoStartUpload"),
                                  QStringLiteral("limitedSpeedValue")};
        SDKManager* m = SDKManager::instance();
        auto apply = [&](const QVariantList& values) {
            for (int i = 0; i < keys.size(); ++i) {
                if (values.at(i).isValid())
                    config.setValue(group, keys.at(i), values.at(i));
                else
                    config.remove(group, keys.at(i));
            }
            m->ApplySettings(config);
            return QVariantList{m->maxConcurrent(), m->autoStart(), m->trafficLimit()};
        };
        // Defaults of a fresh installation.
        QCOMPARE(apply({QVariant(), QVariant(), QVariant()}), (QVariantList{3, true, 0}));
        QCOMPARE(apply({5, false, 256}), (QVariantList{5, false, 256}));
        // No slot at all would stall the queue for good.
        QCOMPARE(apply({0, false, 256}), (QVariantList{1, false, 256}));
        QCOMPARE(apply({QVariant(), QVariant(), QVariant()}), (QVariantList{3, true, 0}));
    }

    void caTrust_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("server's CA configured") << true;
        // Nothing configured and no bundle shipped: the system trust store,
        // which does not know the local server's CA.
        QTest::newRow("CA not trusted") << false;
    }

    void caTrust()
    {
        QFETCH(bool, trusted);
        Config& config = env_.config();
        const QString group = QStringLiteral("NetWorkManager");
        const QString key = QStringLiteral("customSSLCacert");
        const QString ca = config.value(group, key).toString();
        SDKManager::Destroy();
        if (!trusted)
            config.setValue(group, key, QString());
        const bool initialised = InitLibrary();
        config.setValue(group, key, ca);
        QVERIFY(initialised);
        Recorder rec(SDKManager::instance());
        QVERIFY(Add(64 * 1024));
        QVERIFY(QTest::qWaitFor([&] { return !rec.results.isEmpty(); }, 30000));
        const QString result = rec.results.first();
        QVERIFY2(result.startsWith(rec.appended.first() + QLatin1Char(' ') + QString::number(trusted)),
                 qPrintable(result));
        if (!trusted) {
            QVERIFY2(result.contains(QStringLiteral("certificate problem")), qPrintable(result));
            QVERIFY2(!result.contains(QStringLiteral("cacert.pem")), qPrintable(result));
        }
    }

private:
    QString NewFile(qint64 size)
    {
        ++seed_;
        return env_.MakeFile(QStringLiteral("%1%2.mp4").arg(kTitlePrefix).arg(seed_), size, seed_);
    }
    // Queues `file` in the account's category.
    bool Add(const QString& file)
    {
        return SDKManager::instance()->AddUpload(cate_, file, {}, {}, {}, {}, 0, 0);
    }
    bool Add(qint64 size) { return Add(NewFile(size)); }
    static bool Append(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::Append) && f.write("edited") == 6;
    }
    // Whether the platform stores every one of `vids` as an uploaded video.
    bool OnServer(const QStringList& vids)
    {
        qint64 size = 0;
        quint64 crc = 0;
        for (const QString& vid : vids) {
            if (!env_.server().StoredVideo(vid, &size, &crc))
                return false;
        }
        return true;
    }
    bool InitLibrary()
    {
        const AccountManager& a = env_.accounts();
        return SDKManager::instance()->InitSdk(a.userId(), a.appId(), a.appSecret());
    }
    // Shuts the manager down (as at exit) and makes a new one over the same
    // database and library cache.
    bool Restart()
    {
        SDKManager::Destroy();
        // Queued calls of the old tasks die with them.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return InitLibrary();
    }
    // Queues `count` files slowly enough that none finishes, restarts the
    // manager and returns their vids in the order they were queued.
    QStringList QueueAndRestart(int count, qint64 size, int kbps, QStringList* files = nullptr)
    {
        SDKManager::instance()->SetTrafficLimit(kbps);
        Recorder rec(SDKManager::instance());
        for (int i = 0; i < count; ++i) {
            const QString file = NewFile(size);
            if (files)
                *files << file;
            Add(file);
        }
        // Long enough for every running upload to be created on the server.
        QTest::qWait(1000);
        return Restart() ? rec.appended : QStringList();
    }

    orvtest::ClientEnv env_;
    qint64 cate_ = 0;  // the account's upload category
    qint64 other_ = 0; // a second category
    quint32 seed_ = 1000;
};

QTEST_GUILESS_MAIN(TestUploadQueue)

#include "tst_uploadqueue.moc"
