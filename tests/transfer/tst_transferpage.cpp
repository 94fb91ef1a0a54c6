#include "transferenv.h"
#include "tst_transfer.h"

#include "model/categorytreemodel.h"
#include "ui/common/statusbutton.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/iconwidget.h"
#include "ui/transfer/operationwidget.h"
#include "ui/transfer/progresswidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/transferlistwidget.h"

#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QWheelEvent>

using namespace transfertest;

namespace {
// Slow enough to watch a few megabytes move, fast enough for CI.
constexpr int kThrottleKBps = 768;

template <typename T> T* Child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

ProgressWidget* ProgressOf(RecordTableWidget* table, const QString& vid)
{
    const SharedRecordRow row = table->rowRecord(vid);
    return row ? row->progressWidget : nullptr;
}

OperationWidget* OperationOf(RecordTableBase* table, const QString& vid)
{
    const SharedRecordRow row = table->rowRecord(vid);
    return row ? row->operationWidget : nullptr;
}

QStringList QueuedVids()
{
    QStringList vids;
    for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks())
        vids << task->record().vid;
    return vids;
}

QString VidOf(const QString& path)
{
    for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks()) {
        if (task->record().fileName == path)
            return task->record().vid;
    }
    return QString();
}

int StatusOf(const QString& vid)
{
    const SharedUploadTaskPtr task = SDKManager::instance()->task(vid);
    return task ? task->status() : -1;
}

void WheelDown(QWidget* viewport)
{
    const QPoint pos = viewport->rect().center();
    QWheelEvent wheel(pos, viewport->mapToGlobal(pos), QPoint(0, 0), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

DBManager::History MakeHistory(int i)
{
    DBManager::History h;
    h.vid = QStringLiteral("%1_h").arg(i, 32, 10, QLatin1Char('0'));
    h.fileName = QStringLiteral("/tmp/history-%1.mp4").arg(i);
    h.titleName = QStringLiteral("history %1").arg(i);
    h.fileSize = QStringLiteral("1.00 MB");
    h.fileStatus = QStringLiteral("UploadSuccess");
    h.updateTS = static_cast<quint64>(1700000000 + i);
    return h;
}
} // namespace

void TransferPageTest::initTestCase()
{
    categories_ = new CategoryTreeModel(this);
    QSignalSpy done(categories_, &CategoryTreeModel::SignalRefreshCategoryDone);
    categories_->RefreshCategory();
    QVERIFY(done.wait(20000));
    QVERIFY(ResetQueue());

    stack_ = new QStackedWidget;
    stack_->addWidget(new QWidget);
    page_ = new TransferListWidget;
    page_->SetCategoryModel(categories_);
    stack_->addWidget(page_);
    stack_->setCurrentWidget(page_);
    stack_->resize(1100, 640);
    stack_->show();
    QVERIFY(QTest::qWaitForWindowExposed(stack_));
    page_->Init();
}

void TransferPageTest::cleanup()
{
    env_.server().ClearFaults();
    SDKManager::instance()->SetTrafficLimit(0);
    QVERIFY(ResetQueue());
    QTRY_COMPARE(page_->recordTable()->rowCount(), 0);
}

void TransferPageTest::cleanupTestCase()
{
    delete stack_;
    stack_ = nullptr;
    delete categories_;
    categories_ = nullptr;
}

void TransferPageTest::emptyPage()
{
    auto* stacked = Child<QStackedWidget>(page_, "transferListStackedWidget");
    QCOMPARE(stacked->currentWidget()->objectName(), QStringLiteral("emptyUploadPage"));
    QCOMPARE(Child<QLabel>(page_, "speedLabel")->text(), QString());
    QCOMPARE(Child<QLabel>(page_, "percentLabel")->text(), QString());
    QCOMPARE(Child<QLabel>(page_, "currentTaskNumLabel")->text(), QStringLiteral("0"));
    QVERIFY(!page_->recordTable()->timer()->isActive());
    QVERIFY(Child<QPushButton>(page_, "uploadNowBtn")->isEnabled());
}

void TransferPageTest::uploadsRunIntoHistory()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(kThrottleKBps);
    const qint64 size = 3 * 1024 * 1024;
    const QStringList files = {env_.MakeFile(QStringLiteral("run-a.mp4"), size, 21),
                               env_.MakeFile(QStringLiteral("run-b.mp4"), size, 22),
                               env_.MakeFile(QStringLiteral("run-c.mp4"), size, 23)};
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    for (const QString& file : files)
        QVERIFY(sdk->AddUpload(top, file, QString(), QString(), QString(), QString(), 0, 0));

    RecordTableWidget* table = page_->recordTable();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(Child<QLabel>(page_, "currentTaskNumLabel")->text(), QStringLiteral("3"));
    QCOMPARE(Child<QStackedWidget>(page_, "transferListStackedWidget")->currentWidget()->objectName(),
             QStringLiteral("uploadRecordPage"));
    QVERIFY(table->timer()->isActive());
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("3.00 MB"));
    QCOMPARE(table->item(0, 2)->text(), categories_->index(0, 0).data().toString());

    // Progress, speed and time show up while the bytes move.
    const QString vid = VidOf(files.first());
    ProgressWidget* progress = ProgressOf(table, vid);
    QVERIFY(progress);
    QTRY_VERIFY_WITH_TIMEOUT(progress->uploadBar()->value() > 0 &&
                                 !progress->speedLabel()->text().isEmpty() &&
                                 !progress->timesLabel()->text().isEmpty(),
                             15000);
    QVERIFY(progress->speedLabel()->text().endsWith(QStringLiteral("B/S")));
    QTRY_VERIFY_WITH_TIMEOUT(!Child<QLabel>(page_, "percentLabel")->text().isEmpty() &&
                                 !Child<QLabel>(page_, "speedLabel")->text().isEmpty(),
                             5000);
    QVERIFY(Child<QLabel>(page_, "percentLabel")->text().endsWith(QLatin1Char('%')));

    // Every upload ends in the history, the newest at the top.
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() == 0, 60000);
    QCOMPARE(appended.count(), 3);
    HistoryTableWidget* history = page_->historyTable();
    QCOMPARE(history->rowCount(), 3);
    const auto last = appended.last().first().value<DBManager::History>();
    QCOMPARE(history->RowOf(last.vid), 0);
    QCOMPARE(history->item(0, 3)->text(), last.fileStatus);
    QCOMPARE(Child<QLabel>(page_, "totalTransFinishFilesNum")->text(), QStringLiteral("3"));

    // The empty queue resets the page and the summary.
    QCOMPARE(Child<QStackedWidget>(page_, "transferListStackedWidget")->currentWidget()->objectName(),
             QStringLiteral("emptyUploadPage"));
    QVERIFY(!table->timer()->isActive());
    QCOMPARE(Child<QLabel>(page_, "percentLabel")->text(), QString());
    QCOMPARE(Child<QLabel>(page_, "speedLabel")->text(), QString());
    QCOMPARE(Child<QProgressBar>(page_, "totalProgressBar")->value(), 0);
    QCOMPARE(Child<QLabel>(page_, "currentTaskNumLabel")->text(), QStringLiteral("0"));
    QVERIFY(DBManager::instance()->SelectUploads().isEmpty());
}

void TransferPageTest::pauseResumeStartAllSuspendAll()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(64);
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    const QString a = env_.MakeFile(QStringLiteral("pause-a.mp4"), 4 * 1024 * 1024, 31);
    const QString b = env_.MakeFile(QStringLiteral("pause-b.mp4"), 4 * 1024 * 1024, 32);
    QVERIFY(sdk->AddUpload(top, a, QString(), QString(), QString(), QString(), 0, 0));
    QVERIFY(sdk->AddUpload(top, b, QString(), QString(), QString(), QString(), 0, 0));
    const QString vid = VidOf(a);
    QTRY_COMPARE(StatusOf(vid), int(UploadStatus::Uploading));

    RecordTableWidget* table = page_->recordTable();
    StatusButton* toggle = OperationOf(table, vid)->uploadButton();
    ProgressWidget* progress = ProgressOf(table, vid);
    QVERIFY(toggle->isChecked());
    toggle->click();
    QCOMPARE(StatusOf(vid), int(UploadStatus::Paused));
    QVERIFY(!toggle->isChecked());
    QCOMPARE(progress->stateLabel()->text(), QStringLiteral("Pause"));
    QCOMPARE(progress->speedLabel()->text(), QString());
    toggle->click();
    QCOMPARE(StatusOf(vid), int(UploadStatus::Uploading));
    QVERIFY(toggle->isChecked());
    QCOMPARE(progress->stateLabel()->text(), QString());

    // Suspend all through the button, start all through the settings menu's path.
    auto* all = Child<StatusButton>(page_, "allOperationBtn");
    QVERIFY(all->isChecked());
    all->click();
    for (const QString& v : QueuedVids())
        QCOMPARE(StatusOf(v), int(UploadStatus::Paused));
    QVERIFY(!all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("StartAll"));
    page_->OnAllOperation(true);
    for (const QString& v : QueuedVids())
        QVERIFY(StatusOf(v) == UploadStatus::Uploading || StatusOf(v) == UploadStatus::Waiting);
    QVERIFY(all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("SuspendAll"));
    page_->OnAllOperation(false);
    for (const QString& v : QueuedVids())
        QCOMPARE(StatusOf(v), int(UploadStatus::Paused));
    QCOMPARE(ProgressOf(table, VidOf(b))->stateLabel()->text(), QStringLiteral("Pause"));
}

void TransferPageTest::deleteAsksFirst()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(64);
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    const QString a = env_.MakeFile(QStringLiteral("delete-me.mp4"), 2 * 1024 * 1024, 41);
    QVERIFY(sdk->AddUpload(top, a, QString(), QString(), QString(), QString(), 0, 0));
    const QString vid = VidOf(a);
    RecordTableWidget* table = page_->recordTable();

    {
        MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
        OperationOf(table, vid)->deleteButton()->click();
        QVERIFY(cancel.answered());
    }
    QTest::qWait(300);
    QVERIFY(sdk->contains(vid));
    QCOMPARE(table->rowCount(), 1);

    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    OperationOf(table, vid)->deleteButton()->click();
    QVERIFY(ok.answered());
    QTRY_VERIFY_WITH_TIMEOUT(!sdk->contains(vid), 10000);
    QTRY_COMPARE(table->rowCount(), 0);
    QTRY_VERIFY(DBManager::instance()->SelectUploads().isEmpty());
    QVERIFY(page_->historyTable()->RowOf(vid) < 0);
}

void TransferPageTest::cancelAll()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(64);
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    for (int i = 0; i < 4; ++i) {
        const QString file = env_.MakeFile(QStringLiteral("cancel-%1.mp4").arg(i), 1024 * 1024, 50 + i);
        QVERIFY(sdk->AddUpload(top, file, QString(), QString(), QString(), QString(), 0, 0));
    }
    QCOMPARE(page_->recordTable()->rowCount(), 4);
    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    page_->on_cancelAllBtn_clicked();
    QVERIFY(ok.answered());
    QTRY_VERIFY_WITH_TIMEOUT(sdk->tasks().isEmpty(), 15000);
    QTRY_COMPARE(page_->recordTable()->rowCount(), 0);
    QCOMPARE(Child<QStackedWidget>(page_, "transferListStackedWidget")->currentWidget()->objectName(),
             QStringLiteral("emptyUploadPage"));
    QCOMPARE(page_->historyTable()->rowCount(), 0);
}

void TransferPageTest::failedUploadRetries()
{
    orvsrv::FaultRule refuse;
    refuse.pathPattern = QStringLiteral("^/tus/files");
    refuse.failNextN = 1000;
    refuse.httpStatus = 403;
    env_.server().AddFault(refuse);

    SDKManager* sdk = SDKManager::instance();
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    const QString file = env_.MakeFile(QStringLiteral("refused.mp4"), 512 * 1024, 61);
    QVERIFY(sdk->AddUpload(top, file, QString(), QString(), QString(), QString(), 0, 0));
    const QString vid = VidOf(file);
    RecordTableWidget* table = page_->recordTable();
    ProgressWidget* progress = ProgressOf(table, vid);
    OperationWidget* operation = OperationOf(table, vid);
    QTRY_VERIFY_WITH_TIMEOUT(progress->errorLabel()->isVisibleTo(progress), 30000);
    QVERIFY(!progress->errorLabel()->text().isEmpty());
    QVERIFY(!progress->timesLabel()->isVisibleTo(progress));
    QVERIFY(operation->retryButton()->isVisibleTo(operation));
    QVERIFY(!operation->uploadButton()->isVisibleTo(operation));
    QCOMPARE(StatusOf(vid), int(UploadStatus::Failed));

    env_.server().ClearFaults();
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    operation->retryButton()->click();
    QVERIFY(!operation->retryButton()->isVisibleTo(operation));
    QVERIFY(!progress->errorLabel()->isVisibleTo(progress));
    QTRY_VERIFY_WITH_TIMEOUT(!appended.isEmpty(), 30000);
    QCOMPARE(appended.first().first().value<DBManager::History>().vid, vid);
    QTRY_COMPARE(table->rowCount(), 0);
}

void TransferPageTest::historyPaging()
{
    DBManager* db = DBManager::instance();
    QVERIFY(db->DeleteHistories(true));
    for (int i = 0; i < 45; ++i)
        QVERIFY(db->InsertHistory(MakeHistory(i), false));

    HistoryTableWidget table;
    table.resize(900, 400);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QSignalSpy counts(&table, &RecordTableBase::SignalCountChange);
    table.LoadPage();
    QCOMPARE(table.rowCount(), 20);
    QTest::qWait(20);
    QCOMPARE(counts.last().first().toInt(), 45);
    // Newest first.
    QCOMPARE(table.RowOf(MakeHistory(44).vid), 0);
    QCOMPARE(table.item(0, 2)->text(),
             QDateTime::fromSecsSinceEpoch(1700000044).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));

    // A wheel away from the end scrolls; at the end it loads the next page.
    table.verticalScrollBar()->setValue(0);
    WheelDown(table.viewport());
    QCOMPARE(table.rowCount(), 20);
    const QList<int> expected = {40, 45, 45};
    for (int want : expected) {
        // The scroll range follows the new rows after the view's delayed layout.
        QTest::qWait(20);
        table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
        WheelDown(table.viewport());
        QCOMPARE(table.rowCount(), want);
    }
    QCOMPARE(table.page(), 3);
    QVERIFY(!table.hasMore());
    QCOMPARE(table.RowOf(MakeHistory(0).vid), 44);
}

void TransferPageTest::cleanUpAndClearAll()
{
    DBManager* db = DBManager::instance();
    for (int i = 0; i < 5; ++i) {
        DBManager::History h = MakeHistory(100 + i);
        h.updateTS = static_cast<quint64>(QDateTime::currentSecsSinceEpoch() + i);
        QVERIFY(db->InsertHistory(h, true));
    }
    HistoryTableWidget* history = page_->historyTable();
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(104).vid), 0);
    // A vid that is already listed is replaced and moves to the top.
    QVERIFY(db->InsertHistory(MakeHistory(101), true));
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(101).vid), 0);

    auto* pages = Child<QListWidget>(page_, "transferPagesListWidget");
    pages->setCurrentRow(1);
    auto* stacked = Child<QStackedWidget>(page_, "transferListStackedWidget");
    QCOMPARE(stacked->currentWidget()->objectName(), QStringLiteral("historyRecordPage"));

    const QString victim = MakeHistory(103).vid;
    OperationOf(history, victim)->cleanupButton()->click();
    QCOMPARE(history->rowCount(), 4);
    QVERIFY(history->RowOf(victim) < 0);
    QCOMPARE(db->CountHistories(), 4);
    QCOMPARE(Child<QLabel>(page_, "totalTransFinishFilesNum")->text(), QStringLiteral("4"));

    {
        MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
        page_->on_clearAllRecordButton_clicked();
    }
    QCOMPARE(history->rowCount(), 4);
    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    page_->on_clearAllRecordButton_clicked();
    QVERIFY(ok.answered());
    QCOMPARE(history->rowCount(), 0);
    QCOMPARE(db->CountHistories(), 0);
    QCOMPARE(stacked->currentWidget()->objectName(), QStringLiteral("emptyHistoryPage"));
    QCOMPARE(Child<QLabel>(page_, "totalTransFinishFilesNum")->text(), QStringLiteral("0"));
    pages->setCurrentRow(0);
}
