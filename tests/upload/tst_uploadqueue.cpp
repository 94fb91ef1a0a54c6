// The upload queue with our upload library against the platform server
// running in-process: scheduling, persistence, restore, results and deletes.

#include "testenv.h"

#include "upload/transferstats.h"

#include <QtTest>

#include <algorithm>

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
        connect(manager, &SDKManager::SignalRemoveUpload, this, [this](const QString& vid) {
            events << QStringLiteral("remove ") + vid;
            removed << vid;
        });
        connect(manager, &SDKManager::SignalExistUpload, this, [this](const QString& vid) { exists << vid; });
        connect(manager, &SDKManager::SignalAllUploadStatus, this, [this](bool all) { allStatus << all; });
    }

    void OnAppend(SharedUploadTaskPtr task, const DBManager::Upload& record)
    {
        appended << record.vid;
        const QString vid = record.vid;
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
        connect(task.data(), &SDKUploadTask::SignalDeleteResult, this,
                [this](bool ok, const QString& deleted) {
                    deleteResults << QStringLiteral("%1 %2").arg(deleted).arg(ok);
                });
    }

    QStringList appended, removed, exists, started, events, results, deleteResults;
    QList<bool> allStatus;
    int maxRunning = 0;
};

QStringList SortedKeys(SDKManager* m)
{
    QStringList vids;
    for (const auto& t : m->tasks())
        vids << t->record().vid;
    std::sort(vids.begin(), vids.end());
    return vids;
}

int StatusOf(const QString& vid)
{
    const SharedUploadTaskPtr t = SDKManager::instance()->task(vid);
    return t ? int(t->status()) : -1;
}

// Restores and waits until every restored file has been checked.
bool Restore(SDKManager* m)
{
    QSignalSpy done(m, &SDKManager::SignalRestoreFinished);
    m->RestoreUploads();
    return !m->restoring() || done.wait(20000);
}

} // namespace

class TestUploadQueue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void fiveFilesRunThreeAtATime();
    void restoreResumesInVidOrder();
    void restoreWithoutAutoStartAndStartAll();
    void duplicatesRefused();
    void deleteConfirmedAndFailed();
    void historyAndSecondPass();
    void changedAndMissingFiles();
    void restoreReadsPages();
    void pauseResultKeepsStatus();
    void resultMessages_data();
    void resultMessages();
    void resultOutcomes();
    void settingsApplied();
    void caTrust_data();
    void caTrust();

private:
    QString NewFile(qint64 size);
    // Queues a new file of `size` bytes in the account's category.
    bool Add(qint64 size)
    {
        return SDKManager::instance()->AddUpload(cate_, NewFile(size), {}, {}, {}, {}, 0, 0);
    }
    // Queues `count` files slowly enough that none finishes, restarts the
    // manager and returns their vids in the order they were queued.
    QStringList QueueAndRestart(int count, qint64 size, int kbps, QStringList* files = nullptr);
    bool InitLibrary();
    // Shuts the manager down (as at exit) and makes a new one over the same
    // database and library cache.
    bool Restart();
    bool WaitAllGone(int timeoutMs);
    QStringList HistoryStatuses();
    bool OnServer(const QStringList& vids, QString* error);

    orvtest::ClientEnv env_;
    QString userId_, appId_, appSecret_;
    qint64 cate_ = 0;  // the account's upload category
    qint64 other_ = 0; // a second category
    quint32 seed_ = 1000;
};

QObject* MakeUploadQueueTest()
{
    return new TestUploadQueue();
}

void TestUploadQueue::initTestCase()
{
    qputenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS", "2");
    QString error;
    QVERIFY2(env_.Start(&error), qPrintable(error));
    AccountManager account;
    bool ok = false;
    error = orvtest::LoginAndWait(account, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                  QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
    QVERIFY2(ok, qPrintable(error));
    userId_ = account.userId();
    appId_ = account.appId();
    appSecret_ = account.appSecret();
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

void TestUploadQueue::cleanupTestCase()
{
    env_.Stop();
}

bool TestUploadQueue::InitLibrary()
{
    SDKManager* m = SDKManager::instance();
    return m->InitSdk(userId_, appId_, appSecret_);
}

void TestUploadQueue::init()
{
    env_.server().ClearFaults();
    QVERIFY(InitLibrary());
    SDKManager::instance()->setMaxConcurrent(3);
    SDKManager::instance()->setAutoStart(true);
}

void TestUploadQueue::cleanup()
{
    SDKManager::Destroy();
    DBManager::instance()->DeleteUploads();
    DBManager::instance()->DeleteHistories(false);
    env_.server().ClearFaults();
}

QString TestUploadQueue::NewFile(qint64 size)
{
    ++seed_;
    return env_.MakeFile(QStringLiteral("%1%2.mp4").arg(kTitlePrefix).arg(seed_), size, seed_);
}

bool TestUploadQueue::Restart()
{
    SDKManager::Destroy();
    // Queued calls of the old tasks die with them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return InitLibrary();
}

bool TestUploadQueue::WaitAllGone(int timeoutMs)
{
    return QTest::qWaitFor([] { return SDKManager::instance()->tasks().isEmpty(); }, timeoutMs);
}

QStringList TestUploadQueue::HistoryStatuses()
{
    QStringList out;
    for (const DBManager::History& h : DBManager::instance()->SelectHistories(0, 100).valueOr({}))
        out << h.vid + QLatin1Char(' ') + h.fileStatus;
    out.sort();
    return out;
}

bool TestUploadQueue::OnServer(const QStringList& vids, QString* error)
{
    const auto result = ApiCollection::Parsed(
        ApiCollection::GetVideoInfoRequest(QUuid::createUuid(), vids, ApiCollection::Basic, nullptr),
        ApiCollection::ParseGetVideoInfoResponse);
    if (!result) {
        *error = result.message();
        return false;
    }
    QStringList found;
    for (const auto& info : result->infos)
        found << info.vid;
    for (const QString& vid : vids) {
        if (!found.contains(vid)) {
            *error = QStringLiteral("not on the server: ") + vid;
            return false;
        }
    }
    return true;
}

QStringList TestUploadQueue::QueueAndRestart(int count, qint64 size, int kbps, QStringList* files)
{
    SDKManager* m = SDKManager::instance();
    m->SetTrafficLimit(kbps);
    Recorder rec(m);
    for (int i = 0; i < count; ++i) {
        const QString file = NewFile(size);
        if (files)
            *files << file;
        m->AddUpload(cate_, file, {}, {}, {}, {}, 0, 0);
    }
    // Long enough for every running upload to be created on the server.
    QTest::qWait(1000);
    return Restart() ? rec.appended : QStringList();
}

void TestUploadQueue::fiveFilesRunThreeAtATime()
{
    SDKManager* m = SDKManager::instance();
    m->SetTrafficLimit(768);
    Recorder rec(m);
    for (int i = 0; i < 5; ++i)
        QVERIFY(m->AddUpload(cate_, NewFile(300 * 1024 + i * 1000), QString(), QStringLiteral("d"),
                             QStringLiteral("t"), QStringLiteral("root"), 0, 0));
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
    const QList<DBManager::History> histories = DBManager::instance()->SelectHistories(0, 10).value();
    QVERIFY(histories.first().titleName.startsWith(kTitlePrefix));
    // Sizes are kept in bytes.
    QVERIFY(histories.first().fileSize >= 300 * 1024 && histories.first().fileSize <= 304 * 1024);
    QString error;
    QVERIFY2(OnServer(rec.appended, &error), qPrintable(error));
    QCOMPARE(rec.allStatus.last(), false);
}

void TestUploadQueue::restoreResumesInVidOrder()
{
    // Slow enough that nothing finishes before the restart.
    QStringList vids = QueueAndRestart(5, 400 * 1024, 48);
    QCOMPARE(vids.size(), 5);
    std::sort(vids.begin(), vids.end());
    SDKManager* m = SDKManager::instance();
    QVERIFY(m->tasks().isEmpty());
    m->SetTrafficLimit(48);
    QVERIFY(Restore(m));
    QCOMPARE(SortedKeys(m), vids);
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
    QString error;
    QVERIFY2(OnServer(vids, &error), qPrintable(error));
}

void TestUploadQueue::restoreWithoutAutoStartAndStartAll()
{
    SDKManager::instance()->setMaxConcurrent(4);
    QStringList vids = QueueAndRestart(4, 200 * 1024, 16);
    std::sort(vids.begin(), vids.end());
    SDKManager* m = SDKManager::instance();
    m->SetTrafficLimit(16);
    m->setAutoStart(false);
    m->setMaxConcurrent(2);
    Recorder rec(m);
    QVERIFY(Restore(m));
    QCOMPARE(m->tasks().size(), 4);
    for (const QString& vid : vids)
        QCOMPARE(StatusOf(vid), int(UploadStatus::Stopped));
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
    QVERIFY(!rec.allStatus.isEmpty());
    QCOMPARE(rec.allStatus.last(), false);
    // A start without a free slot queues the task.
    m->setMaxConcurrent(1);
    m->StartOrPause(vids.at(0), true);
    m->StartOrPause(vids.at(1), true);
    QCOMPARE(StatusOf(vids.at(0)), int(UploadStatus::Uploading));
    QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Waiting));
}

void TestUploadQueue::duplicatesRefused()
{
    SDKManager* m = SDKManager::instance();
    m->SetTrafficLimit(16);
    Recorder rec(m);
    const QString file = NewFile(256 * 1024);
    QVERIFY(m->AddUpload(cate_, file, QStringLiteral("first"), QString(), QString(), QString(), 0, 0));
    QCOMPARE(rec.appended.size(), 1);
    const QString vid = rec.appended.first();
    QVERIFY(m->AddUpload(cate_, file, QStringLiteral("again"), QString(), QString(), QString(), 0, 0));
    QCOMPARE(rec.exists, QStringList{vid});
    // Another category: the library computes the same vid, which is queued already.
    QVERIFY(!m->AddUpload(other_, file, QString(), QString(), QString(), QString(), 0, 0));
    QCOMPARE(m->tasks().size(), 1);
    QCOMPARE(rec.appended.size(), 1);
    QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
    QCOMPARE(m->task(vid)->record().titleName, QStringLiteral("first"));
}

void TestUploadQueue::deleteConfirmedAndFailed()
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
    m->StartOrPause(b, false);
    QVERIFY(QTest::qWaitFor([&] { return rec.results.size() > 0; }, 5000)); // the pause result
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

void TestUploadQueue::historyAndSecondPass()
{
    SDKManager* m = SDKManager::instance();
    Recorder rec(m);
    QSignalSpy history(DBManager::instance(), &DBManager::SignalAppendHistory);
    const QString file = NewFile(128 * 1024);
    for (const char* status : {"UploadSuccess", "SecondPass"}) {
        // The second time the platform has the file and nothing is transferred.
        QVERIFY(m->AddUpload(cate_, file, QString(), QString(), QString(), QString(), 0, 0));
        QVERIFY(WaitAllGone(30000));
        const auto h = history.last().at(0).value<DBManager::History>();
        QCOMPARE(h.vid, rec.appended.first());
        QCOMPARE(h.fileStatus, QString::fromLatin1(status));
        QCOMPARE(h.fileSize, quint64(128 * 1024));
        QCOMPARE(h.fileName, file);
        QCOMPARE(h.titleName, QFileInfo(file).completeBaseName());
    }
    QCOMPARE(rec.appended.at(1), rec.appended.first());
    QCOMPARE(history.count(), 2);
    QCOMPARE(HistoryStatuses(), QStringList{rec.appended.first() + QStringLiteral(" SecondPass")});
}

void TestUploadQueue::changedAndMissingFiles()
{
    QStringList files;
    const QStringList vids = QueueAndRestart(2, 300 * 1024, 16, &files);
    QCOMPARE(vids.size(), 2);
    {
        QFile f(files.at(0));
        QVERIFY(f.open(QIODevice::Append));
        f.write("edited");
    }
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

    // A queued upload's file is checked again when it first runs.
    const QString late = NewFile(64 * 1024);
    QVERIFY(m->AddUpload(cate_, late, QString(), QString(), QString(), QString(), 0, 0));
    const QString vid = m->tasks().value(0)->record().vid;
    QVERIFY(Restart());
    m = SDKManager::instance();
    m->setAutoStart(false);
    QVERIFY(Restore(m));
    QCOMPARE(StatusOf(vid), int(UploadStatus::Stopped));
    QFile edited(late);
    QVERIFY(edited.open(QIODevice::Append) && edited.write("edited") == 6);
    edited.close();
    m->StartOrPause(vid, true);
    QCOMPARE(StatusOf(vid), int(UploadStatus::FileError));
    QCOMPARE(m->task(vid)->message(), QStringLiteral("FileChanage"));
    QVERIFY(!m->anyUploading());
}

void TestUploadQueue::restoreReadsPages()
{
    // More records than one turn of the event loop shows, some with the same
    // time: every row appears, in stored order, a page per turn.
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

void TestUploadQueue::pauseResultKeepsStatus()
{
    SDKManager* m = SDKManager::instance();
    m->SetTrafficLimit(32);
    Recorder rec(m);
    QVERIFY(Add(400 * 1024));
    const QString vid = rec.appended.first();
    QVERIFY(QTest::qWaitFor([&] { return m->task(vid)->uploadBytes() > 0; }, 10000));
    m->StartOrPause(vid, false);
    QCOMPARE(StatusOf(vid), int(UploadStatus::Paused));
    QVERIFY(QTest::qWaitFor([&] { return !rec.results.isEmpty(); }, 5000));
    QCOMPARE(rec.results.first(), vid + QStringLiteral(" 1 "));
    QCOMPARE(StatusOf(vid), int(UploadStatus::Paused));

    // Requeued by a pause without a free slot: the late result 5 leaves it Waiting.
    m->StartOrPause(vid, true);
    QCOMPARE(StatusOf(vid), int(UploadStatus::Uploading));
    m->task(vid)->Pause(true);
    QCOMPARE(StatusOf(vid), int(UploadStatus::Uploading)); // a free slot: started again at once
}

void TestUploadQueue::resultMessages_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("desc");
    QTest::addColumn<QString>("message");
    QTest::newRow("platform code without text") << 120 << QString() << "ErrorCodeString.OtherError, code:7";
    QTest::newRow("platform code, server text") << 120 << "server said no"
                                                << "server said no";
    QTest::newRow("platform code with text") << 113 + 31 << QString() << "ErrorCodeString.ACCOUNT_LOCKED";
    QTest::newRow("time-out, any case") << 7 << "curl: requestTIMEOUT after 15 s"
                                        << "SdkCodeMsg.RequestTimeout";
    QTest::newRow("connection") << 6 << "x CONNECTIONTIMEOUT y"
                                << "SdkCodeMsg.ConnectionTimeout";
    QTest::newRow("unmapped") << 9 << "unmapped text"
                              << "unmapped text";
    QTest::newRow("no file") << 2 << QString() << "SdkCodeMsg.NoFile";
    QTest::newRow("no space") << 102 << QString() << "SdkCodeMsg.NoSpace";
    // No description at all: the library's own text for the code, mapped.
    QTest::newRow("library text") << 12 << QString() << "SdkCodeMsg.TokenError";
}

void TestUploadQueue::resultMessages()
{
    QFETCH(int, code);
    QFETCH(QString, desc);
    QFETCH(QString, message);
    DBManager::Upload record;
    record.fileName = NewFile(1024);
    SDKUploadTask task;
    QVERIFY(task.Create(record, false, nullptr));
    QSignalSpy result(&task, &SDKUploadTask::SignalResult);
    QSignalSpy status(&task, &SDKUploadTask::SignalStatus);
    task.OnResult(code, desc);
    QCOMPARE(result.last().at(0).toBool(), false);
    QCOMPARE(result.last().at(1).toString(), message);
    QCOMPARE(int(task.status()), int(UploadStatus::Failed));
    QCOMPARE(status.count(), 0); // Failed is written without a signal
}

void TestUploadQueue::resultOutcomes()
{
    const QString file = NewFile(64 * 1024);
    DBManager::Upload record;
    record.fileName = file;
    SDKUploadTask task;
    QVERIFY(task.Create(record, false, nullptr));
    QCOMPARE(int(task.status()), int(UploadStatus::Stopped));
    QCOMPARE(task.record().titleName, QFileInfo(file).completeBaseName());
    QCOMPARE(task.totalBytes(), quint64(64 * 1024));
    QSignalSpy result(&task, &SDKUploadTask::SignalResult);
    QSignalSpy status(&task, &SDKUploadTask::SignalStatus);
    QSignalSpy release(&task, &SDKUploadTask::SignalRelease);

    // A pause: a success without a text, the status untouched.
    task.OnResult(5, QString());
    QCOMPARE(result.last(), (QVariantList{true, QString()}));
    QCOMPARE(int(task.status()), int(UploadStatus::Stopped));
    // The stored file's checksum differs: the file can never be sent.
    task.OnResult(19, QString());
    QCOMPARE(result.last(), (QVariantList{false, QStringLiteral("CRC64 Check Error")}));
    QCOMPARE(int(task.status()), int(UploadStatus::FileError));
    QCOMPARE(status.count(), 1);
    QCOMPARE(release.count(), 0);

    task.OnResult(112, QString());
    QCOMPARE(result.last().at(0).toBool(), true);
    QCOMPARE(task.record().resultText, QStringLiteral("SecondPass"));
    QCOMPARE(release.count(), 1);
    QCOMPARE(release.last().at(0).toBool(), true);
}

void TestUploadQueue::settingsApplied()
{
    Config& config = env_.config();
    const QString group = QStringLiteral("UploadTaskManager");
    SDKManager* m = SDKManager::instance();
    // Defaults of a fresh installation.
    m->ApplySettings(config);
    QCOMPARE(m->maxConcurrent(), 3);
    QVERIFY(m->autoStart());
    QCOMPARE(m->trafficLimit(), 0);

    config.setValue(group, QStringLiteral("uploadTasksNum"), 5);
    config.setValue(group, QStringLiteral("autoStartUpload"), false);
    config.setValue(group, QStringLiteral("limitedSpeedValue"), 256);
    m->ApplySettings(config);
    QCOMPARE(m->maxConcurrent(), 5);
    QVERIFY(!m->autoStart());
    QCOMPARE(m->trafficLimit(), 256);
    // No slot at all would stall the queue for good.
    config.setValue(group, QStringLiteral("uploadTasksNum"), 0);
    m->ApplySettings(config);
    QCOMPARE(m->maxConcurrent(), 1);
    config.remove(group, QStringLiteral("uploadTasksNum"));
    config.remove(group, QStringLiteral("autoStartUpload"));
    config.remove(group, QStringLiteral("limitedSpeedValue"));
    m->ApplySettings(config);
    QCOMPARE(m->trafficLimit(), 0);
}

void TestUploadQueue::caTrust_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("server's CA configured") << true;
    // Nothing configured and no bundle shipped: the system trust store, which
    // does not know the local server's CA.
    QTest::newRow("CA not trusted") << false;
}

void TestUploadQueue::caTrust()
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
    QVERIFY(SDKManager::instance()->AddUpload(cate_, NewFile(64 * 1024), QString(), QString(), QString(),
                                              QString(), 0, 0));
    QVERIFY(QTest::qWaitFor([&] { return !rec.results.isEmpty(); }, 30000));
    const QString result = rec.results.first();
    QVERIFY2(
        result.startsWith(rec.appended.first() + (trusted ? QStringLiteral(" 1") : QStringLiteral(" 0"))),
        qPrintable(result));
    if (!trusted) {
        QVERIFY2(result.contains(QStringLiteral("certificate problem")), qPrintable(result));
        QVERIFY2(!result.contains(QStringLiteral("cacert.pem")), qPrintable(result));
    }
}

#include "tst_uploadqueue.moc"
