#include "transferenv.h"
#include "tst_transfer.h"

#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QScrollBar>
#include <QStackedWidget>

using namespace transfertest;
using Button = TransferDelegate::Button;

namespace {
int StatusOf(const QString& vid)
{
    const SharedUploadTaskPtr task = SDKManager::instance()->task(vid);
    return task ? int(task->status()) : -1;
}

// Clicks a painted button of a row with the mouse.
void Click(RecordTableBase* view, int row, Button button)
{
    const QModelIndex index = view->model()->index(row, view->delegate()->operationColumn());
    view->scrollTo(index);
    const QRect cell = view->visualRect(index);
    for (const TransferDelegate::ButtonRect& b : view->delegate()->Buttons(cell, index)) {
        if (b.button == button) {
            QTest::mouseMove(view->viewport(), b.rect.center());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, b.rect.center());
            return;
        }
    }
    QFAIL("button not shown");
}

DBManager::History MakeHistory(int i)
{
    DBManager::History h;
    h.vid = QStringLiteral("%1_h").arg(i, 32, 10, QLatin1Char('0'));
    h.fileName = QStringLiteral("/tmp/history-%1.mp4").arg(i);
    h.titleName = QStringLiteral("history %1").arg(i);
    h.fileSize = 1024 * 1024;
    h.fileStatus = QStringLiteral("UploadSuccess");
    h.updateTS = static_cast<quint64>(1700000000 + i);
    return h;
}
} // namespace

QStringList TransferTest::Queue(const QString& name, int count, qint64 size)
{
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    QStringList vids;
    for (int i = 0; i < count; ++i) {
        const QString file =
            env_.MakeFile(QStringLiteral("%1-%2.mp4").arg(name).arg(i), size, qHash(name) + i);
        SDKManager::instance()->AddUpload(top, file, QString(), QString(), QString(), QString(), 0, 0);
        for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks())
            if (task->record().fileName == file)
                vids << task->record().vid;
    }
    return vids;
}

QVariant TransferTest::Role(const QString& vid, int role, int column) const
{
    UploadQueueModel* model = page_->queueModel();
    return model->index(model->RowOf(vid), column).data(role);
}

void TransferTest::initTestCase()
{
    categories_ = new CategoryTreeModel(this);
    QSignalSpy done(categories_, &CategoryTreeModel::SignalRefreshCategoryDone);
    categories_->RefreshCategory();
    QVERIFY(done.wait(20000));
    QVERIFY(ResetQueue());

    stack_ = new QStackedWidget;
    stack_->addWidget(new QWidget);
    page_ = new TransferListWidget(SDKManager::instance(), DBManager::instance());
    page_->SetCategoryModel(categories_);
    stack_->addWidget(page_);
    stack_->setCurrentWidget(page_);
    stack_->resize(1100, 640);
    stack_->show();
    QVERIFY(QTest::qWaitForWindowExposed(stack_));
    // Every change of the two models is checked for consistency as it happens.
    new QAbstractItemModelTester(page_->queueModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 page_);
    new QAbstractItemModelTester(page_->historyModel(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, page_);
    page_->Init();
}

void TransferTest::cleanup()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<UploadDialog*>(widget))
            widget->close();
    }
    env_.config().setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("optimizeCoursewareSwitch"),
                           false);
    env_.server().ClearFaults();
    SDKManager::instance()->SetTrafficLimit(0);
    QVERIFY(ResetQueue());
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
}

void TransferTest::cleanupTestCase()
{
    delete stack_;
    stack_ = nullptr;
    delete categories_;
    categories_ = nullptr;
}

void TransferTest::uploadsRunIntoHistory()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(768);
    UploadQueueModel* queue = page_->queueModel();
    QSignalSpy content(queue, &UploadQueueModel::SignalContentStatus);
    const QStringList vids = Queue(QStringLiteral("run"), 3, 3 * 1024 * 1024);
    QCOMPARE(queue->rowCount(), 3);
    QCOMPARE(content.first().first().toBool(), false);
    QCOMPARE(queue->index(0, UploadQueueModel::TitleColumn).data().toString(), QStringLiteral("run-0"));
    QCOMPARE(queue->index(0, UploadQueueModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));
    QCOMPARE(queue->index(0, UploadQueueModel::DirColumn).data().toString(),
             categories_->index(0, 0).data().toString());

    // Progress, speed, time and the list totals show up while the bytes
    // move, and the progress is stored on the way.
    const QString vid = vids.first();
    QTRY_VERIFY_WITH_TIMEOUT(Role(vid, TransferRole::Percent).toInt() > 0 &&
                                 !Role(vid, TransferRole::TimeText).toString().isEmpty(),
                             15000);
    QVERIFY(Role(vid, TransferRole::SpeedText).toString().endsWith(QStringLiteral("B/S")));
    QTRY_VERIFY_WITH_TIMEOUT(sdk->totals().uploaded > 0 && !sdk->totals().speedText.isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(DBManager::instance()->SelectUploads()->value(0).uploadBytes > 0 ||
                                 DBManager::instance()->SelectUploads()->value(1).uploadBytes > 0,
                             8000);

    // Every upload ends in the history, the newest at the top.
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    QSignalSpy totals(sdk, &SDKManager::SignalTotals);
    QTRY_VERIFY_WITH_TIMEOUT(queue->rowCount() == 0, 60000);
    QCOMPARE(appended.count(), 3);
    HistoryModel* history = page_->historyModel();
    QCOMPARE(history->count(), 3);
    const auto last = appended.last().first().value<DBManager::History>();
    QCOMPARE(history->RowOf(last.vid), 0);
    QCOMPARE(history->index(0, HistoryModel::StatusColumn).data().toString(), last.fileStatus);
    QCOMPARE(history->index(0, HistoryModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));

    // The empty queue resets the page and the summary.
    QCOMPARE(content.last().first().toBool(), true);
    QCOMPARE(totals.last(), (QVariantList{qint64(0), qint64(0), QString()}));
    QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());
}

void TransferTest::pauseResumeStartAllSuspendAll()
{
    SDKManager::instance()->SetTrafficLimit(64);
    const QStringList vids = Queue(QStringLiteral("pause"), 2, 4 * 1024 * 1024);
    const QString vid = vids.first();
    QTRY_COMPARE(StatusOf(vid), int(UploadStatus::Uploading));

    // The row's start/pause button, clicked with the mouse.
    const int row = page_->queueModel()->RowOf(vid);
    Click(page_->recordTable(), row, Button::Upload);
    QCOMPARE(Role(vid, TransferRole::Status).toInt(), int(UploadStatus::Paused));
    QCOMPARE(Role(vid, TransferRole::StateText).toString(), QStringLiteral("Pause"));
    QCOMPARE(Role(vid, TransferRole::SpeedText).toString(), QString());
    Click(page_->recordTable(), row, Button::Upload);
    QCOMPARE(Role(vid, TransferRole::Status).toInt(), int(UploadStatus::Uploading));
    QCOMPARE(Role(vid, TransferRole::StateText).toString(), QString());

    // Suspend all through the page's button, start all through the settings menu's path.
    QSignalSpy all(SDKManager::instance(), &SDKManager::SignalAllUploadStatus);
    page_->on_allOperationBtn_clicked(false);
    for (const QString& v : vids)
        QCOMPARE(Role(v, TransferRole::Status).toInt(), int(UploadStatus::Paused));
    QCOMPARE(all.last().first().toBool(), false);
    page_->OnAllOperation(true);
    for (const QString& v : vids)
        QVERIFY(StatusOf(v) == int(UploadStatus::Uploading) || StatusOf(v) == int(UploadStatus::Waiting));
    QCOMPARE(all.last().first().toBool(), true);
    page_->OnAllOperation(false);
    QCOMPARE(Role(vids.at(1), TransferRole::StateText).toString(), QStringLiteral("Pause"));
}

void TransferTest::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("one row") << false;
    QTest::newRow("cancel all") << true;
}

void TransferTest::deleteAsksFirst()
{
    QFETCH(bool, all);
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(64);
    const QStringList vids = Queue(QString::fromLatin1(all ? "cancel" : "delete"), all ? 4 : 1, 1024 * 1024);
    auto ask = [&] {
        if (all)
            page_->on_cancelAllBtn_clicked();
        else
            Click(page_->recordTable(), 0, Button::Delete);
    };
    {
        MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
        ask();
        QVERIFY(cancel.answered());
    }
    QTest::qWait(300);
    QCOMPARE(page_->queueModel()->rowCount(), vids.size());

    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    ask();
    QVERIFY(ok.answered());
    QTRY_VERIFY_WITH_TIMEOUT(sdk->tasks().isEmpty(), 15000);
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
    QTRY_VERIFY(DBManager::instance()->SelectUploads()->isEmpty());
    QCOMPARE(page_->historyModel()->rowCount(), 0);
}

void TransferTest::failedUploadFreesSlotAndRetries()
{
    // The first upload's requests are refused; the second waits for its slot.
    orvsrv::FaultRule refuse;
    refuse.pathPattern = QStringLiteral("^/tus/files");
    refuse.failNextN = 1;
    refuse.httpStatus = 403;
    refuse.jsonEnvelope = false;
    env_.server().AddFault(refuse);
    SDKManager* sdk = SDKManager::instance();
    sdk->setMaxConcurrent(1);
    sdk->SetTrafficLimit(64);
    const QStringList vids = Queue(QStringLiteral("refused"), 2, 512 * 1024);
    const QString vid = vids.first();
    QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Waiting));
    QTRY_VERIFY_WITH_TIMEOUT(Role(vid, TransferRole::RetryShown).toBool(), 30000);
    QVERIFY(!Role(vid, TransferRole::ErrorText).toString().isEmpty());
    QCOMPARE(Role(vid, TransferRole::TimeText).toString(), QString());
    QCOMPARE(StatusOf(vid), int(UploadStatus::Failed));
    // As soon as the first fails, the second takes the slot.
    QCOMPARE(StatusOf(vids.at(1)), int(UploadStatus::Uploading));
    sdk->SetTrafficLimit(0);
    QTRY_VERIFY_WITH_TIMEOUT(!sdk->contains(vids.at(1)), 30000);
    // The failed one keeps its record and is retried from its row.
    QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    Click(page_->recordTable(), page_->queueModel()->RowOf(vid), Button::Retry);
    QVERIFY(!Role(vid, TransferRole::RetryShown).toBool());
    QCOMPARE(Role(vid, TransferRole::ErrorText).toString(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!appended.isEmpty(), 30000);
    QCOMPARE(appended.first().first().value<DBManager::History>().vid, vid);
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
    sdk->setMaxConcurrent(3);
}

void TransferTest::historyPaging()
{
    DBManager* db = DBManager::instance();
    QVERIFY(db->DeleteHistories(true));
    for (int i = 0; i < 45; ++i)
        QVERIFY(db->InsertHistory(MakeHistory(i), false));

    HistoryModel model(db);
    QSignalSpy counts(&model, &HistoryModel::SignalCountChange);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    HistoryTableWidget table(&model, db);
    table.resize(900, 400);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    // The view asks for pages itself until it is filled; newest first.
    QTRY_VERIFY(model.rowCount() >= 20);
    QCOMPARE(model.rowCount() % 20, 0);
    QCOMPARE(counts.last().first().toInt(), 45);
    QCOMPARE(model.RowOf(MakeHistory(44).vid), 0);
    QCOMPARE(model.index(0, HistoryModel::TimeColumn).data().toString(),
             QDateTime::fromSecsSinceEpoch(1700000044).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    QCOMPARE(model.index(0, HistoryModel::SizeColumn).data().toString(), QStringLiteral("1.00 MB"));

    // Dragging the scroll bar to the end loads the next page, as does the keyboard.
    int before = model.rowCount();
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
    QTRY_COMPARE(model.rowCount(), qMin(before + 20, 45));
    table.setFocus();
    while (model.canFetchMore(QModelIndex())) {
        before = model.rowCount();
        table.setCurrentIndex(model.index(0, 0));
        QTest::keyClick(&table, Qt::Key_End);
        QTRY_COMPARE(model.rowCount(), qMin(before + 20, 45));
    }
    QCOMPARE(model.page(), 3);
    QCOMPARE(model.RowOf(MakeHistory(0).vid), 44);
}

void TransferTest::cleanUpAndClearAll()
{
    DBManager* db = DBManager::instance();
    for (int i = 0; i < 5; ++i) {
        DBManager::History h = MakeHistory(100 + i);
        h.updateTS = static_cast<quint64>(QDateTime::currentSecsSinceEpoch() + i);
        QVERIFY(db->InsertHistory(h, true));
    }
    HistoryModel* history = page_->historyModel();
    QSignalSpy content(history, &HistoryModel::SignalContentStatus);
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(104).vid), 0);
    // A vid that is already listed is replaced and moves to the top.
    QVERIFY(db->InsertHistory(MakeHistory(101), true));
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(101).vid), 0);

    const QString victim = MakeHistory(103).vid;
    Click(page_->historyTable(), history->RowOf(victim), Button::Cleanup);
    QCOMPARE(history->count(), 4);
    QVERIFY(history->RowOf(victim) < 0);
    QCOMPARE(db->CountHistories().valueOr(-1), 4);

    {
        MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
        page_->on_clearAllRecordButton_clicked();
    }
    QCOMPARE(history->rowCount(), 4);
    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    page_->on_clearAllRecordButton_clicked();
    QVERIFY(ok.answered());
    QCOMPARE(history->count(), 0);
    QCOMPARE(db->CountHistories().valueOr(-1), 0);
    QCOMPARE(content.last().first().toBool(), true);
}
