#include "transferenv.h"
#include "tst_transfer.h"

#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "ui/common/statusbutton.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/transferlistwidget.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QStackedWidget>

using namespace transfertest;
using Button = TransferDelegate::Button;

namespace {
template <typename T> T* Child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

QString Visible(TransferListWidget* page)
{
    return Child<QStackedWidget>(page, "transferListStackedWidget")->currentWidget()->objectName();
}

QString Text(TransferListWidget* page, const char* label)
{
    return Child<QLabel>(page, label)->text();
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
    return task ? int(task->status()) : -1;
}

// A role of the row of `vid` in the queue model.
QVariant Role(TransferListWidget* page, const QString& vid, int role,
              int column = UploadQueueModel::StatusColumn)
{
    UploadQueueModel* model = page->queueModel();
    return model->index(model->RowOf(vid), column).data(role);
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

void TransferPageTest::initTestCase()
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

void TransferPageTest::cleanup()
{
    env_.server().ClearFaults();
    SDKManager::instance()->SetTrafficLimit(0);
    QVERIFY(ResetQueue());
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
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
    QCOMPARE(Visible(page_), QStringLiteral("emptyUploadPage"));
    QCOMPARE(Text(page_, "speedLabel"), QString());
    QCOMPARE(Text(page_, "percentLabel"), QString());
    QCOMPARE(Text(page_, "currentTaskNumLabel"), QStringLiteral("0"));
    QVERIFY(Child<QPushButton>(page_, "uploadNowBtn")->isEnabled());
}

void TransferPageTest::uploadsRunIntoHistory()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(768);
    const qint64 size = 3 * 1024 * 1024;
    const QStringList files = {env_.MakeFile(QStringLiteral("run-a.mp4"), size, 21),
                               env_.MakeFile(QStringLiteral("run-b.mp4"), size, 22),
                               env_.MakeFile(QStringLiteral("run-c.mp4"), size, 23)};
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    for (const QString& file : files)
        QVERIFY(sdk->AddUpload(top, file, QString(), QString(), QString(), QString(), 0, 0));

    UploadQueueModel* queue = page_->queueModel();
    QCOMPARE(queue->rowCount(), 3);
    QCOMPARE(Text(page_, "currentTaskNumLabel"), QStringLiteral("3"));
    QCOMPARE(Visible(page_), QStringLiteral("uploadRecordPage"));
    QCOMPARE(queue->index(0, UploadQueueModel::TitleColumn).data().toString(), QStringLiteral("run-a"));
    QCOMPARE(queue->index(0, UploadQueueModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));
    QCOMPARE(queue->index(0, UploadQueueModel::DirColumn).data().toString(),
             categories_->index(0, 0).data().toString());

    // Progress, speed and time show up while the bytes move, and the
    // progress is stored on the way.
    const QString vid = VidOf(files.first());
    QTRY_VERIFY_WITH_TIMEOUT(Role(page_, vid, TransferRole::Percent).toInt() > 0 &&
                                 !Role(page_, vid, TransferRole::TimeText).toString().isEmpty(),
                             15000);
    QVERIFY(Role(page_, vid, TransferRole::SpeedText).toString().endsWith(QStringLiteral("B/S")));
    QTRY_VERIFY_WITH_TIMEOUT(
        Text(page_, "percentLabel").endsWith(QLatin1Char('%')) && !Text(page_, "speedLabel").isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(DBManager::instance()->SelectUploads().value(0).uploadBytes > 0 ||
                                 DBManager::instance()->SelectUploads().value(1).uploadBytes > 0,
                             8000);

    // Every upload ends in the history, the newest at the top.
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    QTRY_VERIFY_WITH_TIMEOUT(queue->rowCount() == 0, 60000);
    QCOMPARE(appended.count(), 3);
    HistoryModel* history = page_->historyModel();
    QCOMPARE(history->rowCount(), 3);
    const auto last = appended.last().first().value<DBManager::History>();
    QCOMPARE(history->RowOf(last.vid), 0);
    QCOMPARE(history->index(0, HistoryModel::StatusColumn).data().toString(), last.fileStatus);
    QCOMPARE(history->index(0, HistoryModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));
    QCOMPARE(Text(page_, "totalTransFinishFilesNum"), QStringLiteral("3"));

    // The empty queue resets the page and the summary.
    QCOMPARE(Visible(page_), QStringLiteral("emptyUploadPage"));
    QCOMPARE(Text(page_, "percentLabel"), QString());
    QCOMPARE(Text(page_, "speedLabel"), QString());
    QCOMPARE(Child<QProgressBar>(page_, "totalProgressBar")->value(), 0);
    QCOMPARE(Text(page_, "currentTaskNumLabel"), QStringLiteral("0"));
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

    // The row's start/pause button, clicked with the mouse.
    const int row = page_->queueModel()->RowOf(vid);
    Click(page_->recordTable(), row, Button::Upload);
    QCOMPARE(StatusOf(vid), int(UploadStatus::Paused));
    QCOMPARE(Role(page_, vid, TransferRole::Status).toInt(), int(UploadStatus::Paused));
    QCOMPARE(Role(page_, vid, TransferRole::StateText).toString(), QStringLiteral("Pause"));
    QCOMPARE(Role(page_, vid, TransferRole::SpeedText).toString(), QString());
    Click(page_->recordTable(), row, Button::Upload);
    QCOMPARE(StatusOf(vid), int(UploadStatus::Uploading));
    QCOMPARE(Role(page_, vid, TransferRole::StateText).toString(), QString());

    // Suspend all through the button, start all through the settings menu's path.
    auto* all = Child<StatusButton>(page_, "allOperationBtn");
    QVERIFY(all->isChecked());
    all->click();
    for (const QString& v : {vid, VidOf(b)})
        QCOMPARE(StatusOf(v), int(UploadStatus::Paused));
    QVERIFY(!all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("StartAll"));
    page_->OnAllOperation(true);
    for (const QString& v : {vid, VidOf(b)})
        QVERIFY(StatusOf(v) == int(UploadStatus::Uploading) || StatusOf(v) == int(UploadStatus::Waiting));
    QVERIFY(all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("SuspendAll"));
    page_->OnAllOperation(false);
    QCOMPARE(Role(page_, VidOf(b), TransferRole::StateText).toString(), QStringLiteral("Pause"));
}

void TransferPageTest::deleteAsksFirst()
{
    SDKManager* sdk = SDKManager::instance();
    sdk->SetTrafficLimit(64);
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    const QString a = env_.MakeFile(QStringLiteral("delete-me.mp4"), 2 * 1024 * 1024, 41);
    QVERIFY(sdk->AddUpload(top, a, QString(), QString(), QString(), QString(), 0, 0));
    const QString vid = VidOf(a);
    {
        MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
        Click(page_->recordTable(), 0, Button::Delete);
        QVERIFY(cancel.answered());
    }
    QTest::qWait(300);
    QVERIFY(sdk->contains(vid));
    QCOMPARE(page_->queueModel()->rowCount(), 1);

    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    Click(page_->recordTable(), 0, Button::Delete);
    QVERIFY(ok.answered());
    QTRY_VERIFY_WITH_TIMEOUT(!sdk->contains(vid), 10000);
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
    QTRY_VERIFY(DBManager::instance()->SelectUploads().isEmpty());
    QVERIFY(page_->historyModel()->RowOf(vid) < 0);
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
    QCOMPARE(page_->queueModel()->rowCount(), 4);
    MsgBoxAnswer ok(QDialogButtonBox::Ok);
    page_->on_cancelAllBtn_clicked();
    QVERIFY(ok.answered());
    QTRY_VERIFY_WITH_TIMEOUT(sdk->tasks().isEmpty(), 15000);
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
    QCOMPARE(Visible(page_), QStringLiteral("emptyUploadPage"));
    QCOMPARE(page_->historyModel()->rowCount(), 0);
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
    QTRY_VERIFY_WITH_TIMEOUT(Role(page_, vid, TransferRole::RetryShown).toBool(), 30000);
    QVERIFY(!Role(page_, vid, TransferRole::ErrorText).toString().isEmpty());
    QCOMPARE(Role(page_, vid, TransferRole::TimeText).toString(), QString());
    QCOMPARE(StatusOf(vid), int(UploadStatus::Failed));

    env_.server().ClearFaults();
    QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
    Click(page_->recordTable(), page_->queueModel()->RowOf(vid), Button::Retry);
    QVERIFY(!Role(page_, vid, TransferRole::RetryShown).toBool());
    QCOMPARE(Role(page_, vid, TransferRole::ErrorText).toString(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!appended.isEmpty(), 30000);
    QCOMPARE(appended.first().first().value<DBManager::History>().vid, vid);
    QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
}

void TransferPageTest::historyPaging()
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
    QVERIFY(!counts.isEmpty());
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
    QVERIFY(!model.canFetchMore(QModelIndex()));
    QCOMPARE(model.RowOf(MakeHistory(0).vid), 44);
}

void TransferPageTest::cleanUpAndClearAll()
{
    DBManager* db = DBManager::instance();
    for (int i = 0; i < 5; ++i) {
        DBManager::History h = MakeHistory(100 + i);
        h.updateTS = static_cast<quint64>(QDateTime::currentSecsSinceEpoch() + i);
        QVERIFY(db->InsertHistory(h, true));
    }
    HistoryModel* history = page_->historyModel();
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(104).vid), 0);
    // A vid that is already listed is replaced and moves to the top.
    QVERIFY(db->InsertHistory(MakeHistory(101), true));
    QCOMPARE(history->rowCount(), 5);
    QCOMPARE(history->RowOf(MakeHistory(101).vid), 0);

    auto* pages = Child<QListWidget>(page_, "transferPagesListWidget");
    pages->setCurrentRow(1);
    QCOMPARE(Visible(page_), QStringLiteral("historyRecordPage"));

    const QString victim = MakeHistory(103).vid;
    Click(page_->historyTable(), history->RowOf(victim), Button::Cleanup);
    QCOMPARE(history->rowCount(), 4);
    QVERIFY(history->RowOf(victim) < 0);
    QCOMPARE(db->CountHistories(), 4);
    QCOMPARE(Text(page_, "totalTransFinishFilesNum"), QStringLiteral("4"));

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
    QCOMPARE(Visible(page_), QStringLiteral("emptyHistoryPage"));
    QCOMPARE(Text(page_, "totalTransFinishFilesNum"), QStringLiteral("0"));
    pages->setCurrentRow(0);
}
