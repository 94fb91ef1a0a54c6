// The transfer page against real uploads, the upload dialog and the
// upload-mode edit dialog. One platform server and login serve every case.

#include "transferenv.h"

#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "ui/common/toast.h"
#include "ui/resources.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"
#include "ui/transfer/uploadtablemodel.h"
#include "ui/transfer/uploadtableview.h"
#include "ui/videolist/videoeditdialog.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStackedWidget>

#include <algorithm>

using namespace transfertest;
using orvtest::StatusOf;
using Button = TransferDelegate::Button;

namespace {
// Texts of every toast currently shown over `parent`.
QString ToastTexts(QWidget* parent)
{
    QStringList texts;
    for (Toast* toast : parent->findChildren<Toast*>())
        for (QLabel* label : toast->findChildren<QLabel*>())
            texts << label->text();
    return texts.join(QLatin1Char('|'));
}

template <class T> T* Child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

// Clicks a painted button of a row with the mouse.
void Click(RecordTableBase* view, int row, Button button)
{
    const QModelIndex index = view->model()->index(row, view->delegate()->operationColumn());
    view->scrollTo(index);
    for (const TransferDelegate::ButtonRect& b : view->delegate()->Buttons(view->visualRect(index), index)) {
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
    return {QStringLiteral("%1_h").arg(i, 32, 10, QLatin1Char('0')),
            QStringLiteral("/tmp/history-%1.mp4").arg(i),
            QStringLiteral("history %1").arg(i),
            1024 * 1024,
            QStringLiteral("UploadSuccess"),
            static_cast<quint64>(1700000000 + i)};
}
} // namespace

class TransferTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        InitOrvaneResources();
        QString error;
        QVERIFY2(env_.Start(&error) && env_.Login(&error), qPrintable(error));
        categories_ = new CategoryTreeModel(this);
        QSignalSpy done(categories_, &CategoryTreeModel::SignalRefreshCategoryDone);
        categories_->RefreshCategory();
        QVERIFY(done.wait(20000));
        QVERIFY(ResetQueue());
        stack_ = std::make_unique<QStackedWidget>();
        stack_->addWidget(new QWidget);
        page_ = NewPage(categories_);
        stack_->addWidget(page_);
        stack_->setCurrentWidget(page_);
        stack_->resize(1100, 640);
        stack_->show();
        QVERIFY(QTest::qWaitForWindowExposed(stack_.get()));
        // Every change of the two models is checked for consistency as it happens.
        using Tester = QAbstractItemModelTester;
        new Tester(page_->queueModel(), Tester::FailureReportingMode::QtTest, page_);
        new Tester(page_->historyModel(), Tester::FailureReportingMode::QtTest, page_);
        page_->Init();
    }

    void cleanup()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<UploadDialog*>(widget))
                widget->close();
        }
        env_.config().setValue(QStringLiteral("UploadTaskManager"),
                               QStringLiteral("optimizeCoursewareSwitch"), false);
        env_.server().ClearFaults();
        SDKManager::instance()->SetTrafficLimit(0);
        SDKManager::instance()->setMaxConcurrent(3);
        QVERIFY(ResetQueue());
        QTRY_COMPARE(page_->queueModel()->rowCount(), 0);
    }

    // Files in, refused, blinking, edited and deleted again.
    void dialogRows()
    {
        const QString clip = env_.MakeFile(QStringLiteral("clip.MP4"), 1024, 1);
        const QString notes = env_.MakeFile(QStringLiteral("notes.txt"), 16, 2);
        auto dialog = OpenDialog();
        dialog->resize(800, 500);
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* confirm = Child<QPushButton>(dialog.get(), "confirmButton");
        QVERIFY(!confirm->isEnabled());
        dialog->AddFiles({clip, notes});
        UploadTableModel* model = dialog->tableModel();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data(UploadTableModel::PathRole).toString(), clip);
        QCOMPARE(model->index(0, 0).data(UploadTableModel::TitleRole).toString(), QStringLiteral("clip"));
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("MP4"));
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("1.00 KB"));
        QVERIFY(confirm->isEnabled());
        QCOMPARE(Child<QLabel>(dialog.get(), "totalVideoLabel")->text(), QStringLiteral("Total 1 videos"));
        const QString toast = ToastTexts(dialog.get());
        QVERIFY2(toast.contains(QStringLiteral("UploadDialog.NoSupportFiles:")) && toast.contains(notes) &&
                     !toast.contains(clip),
                 qPrintable(toast));
        QVERIFY(UploadDialog::SupportedSuffixes().contains(QStringLiteral("WMA"), Qt::CaseInsensitive));

        // The same path again adds nothing; its row toggles its selection on
        // each 200 ms tick for ten ticks and ends unselected.
        dialog->AddFiles({clip});
        QCOMPARE(model->rowCount(), 1);
        auto* timer = Child<QTimer>(dialog.get(), "blinkTimer");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 200);
        for (int tick = 1; tick <= 11; ++tick) {
            dialog->SlotHighlightItem();
            QCOMPARE(dialog->tableView()->selectionModel()->isRowSelected(0, QModelIndex()),
                     tick % 2 == 1 && tick < 11);
        }
        QVERIFY(!timer->isActive());

        // The title bar drags the frameless dialog; the rest of it does not.
        auto drag = [](QWidget* area, const QPoint& by) {
            const QPoint from = area->mapToGlobal(QPoint(5, 5));
            QMouseEvent press(QEvent::MouseButtonPress, QPoint(5, 5), from, Qt::LeftButton, Qt::LeftButton,
                              {});
            QMouseEvent move(QEvent::MouseMove, QPoint(5, 5) + by, from + by, Qt::NoButton, Qt::LeftButton,
                             {});
            QMouseEvent release(QEvent::MouseButtonRelease, QPoint(5, 5) + by, from + by, Qt::LeftButton, {},
                                {});
            for (QMouseEvent* event : {&press, &move, &release})
                QApplication::sendEvent(area, event);
        };
        const QPoint at = dialog->pos();
        drag(Child<QWidget>(dialog.get(), "bottomWidget"), QPoint(30, 20));
        QCOMPARE(dialog->pos(), at);
        drag(Child<QWidget>(dialog.get(), "titleWidget"), QPoint(30, 20));
        QTRY_COMPARE(dialog->pos(), at + QPoint(30, 20));

        // The painted Edit button opens the edit dialog in its upload mode
        // with the row's texts and size, and writes back what was typed there.
        bool edited = false;
        QTimer::singleShot(100, [&edited] {
            auto* editor = qobject_cast<VideoEditDialog*>(QApplication::activeModalWidget());
            if (!editor)
                return;
            const auto closeOnFailure = qScopeGuard([editor] {
                if (editor->isVisible())
                    editor->reject();
            });
            auto* title = Child<QLineEdit>(editor, "titleLineEdit");
            auto* desc = Child<QPlainTextEdit>(editor, "descPlainTextEdit");
            auto* titleCount = Child<QLabel>(editor, "titleCountLabel");
            QCOMPARE(title->text(), QStringLiteral("clip"));
            QCOMPARE(titleCount->text(), QStringLiteral("4/200"));
            QCOMPARE(Child<QLabel>(editor, "fileSizeLabel")->text(), QStringLiteral("1.00 KB"));
            QVERIFY(Child<QLabel>(editor, "vidLabel")->isHidden());
            QVERIFY(Child<QPushButton>(editor, "coverInfoButton")->isHidden());
            title->clear();
            title->setFocus();
            QTest::keyClicks(title, QString(201, QLatin1Char('a')));
            QCOMPARE(title->text().size(), 200);
            QCOMPARE(titleCount->text(), QStringLiteral("200/200"));
            // A long paste is cut to the first 1000 characters, cursor at the end.
            QString paste;
            for (int i = 0; i < 1500; ++i)
                paste += QChar(QLatin1Char('a' + i % 26));
            desc->insertPlainText(paste);
            QCOMPARE(desc->toPlainText(), paste.left(1000));
            QCOMPARE(Child<QLabel>(editor, "descCountLabel")->text(), QStringLiteral("1000/1000"));
            QCOMPARE(desc->textCursor().position(), 1000);
            // An emoji keeps the dialog open and marks the field.
            desc->setPlainText(QStringLiteral("nice \U0001F600"));
            Child<QPushButton>(editor, "confirmButton")->click();
            QVERIFY(editor->isVisible());
            QCOMPARE(desc->property("status").toString(), QStringLiteral("error"));
            title->setText(QStringLiteral("New title"));
            Child<QLineEdit>(editor, "tagsLineEdit")->setText(QStringLiteral("a,b"));
            desc->setPlainText(QStringLiteral("About"));
            Child<QPushButton>(editor, "confirmButton")->click();
            edited = true;
        });
        UploadTableView* view = dialog->tableView();
        auto clickIn = [&](int column) {
            const QRect cell = view->visualRect(model->index(0, column));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              UploadTableDelegate::ButtonRect(cell).center());
        };
        clickIn(UploadTableModel::EditColumn);
        QTRY_VERIFY(edited);
        QCOMPARE(model->index(0, 0).data(UploadTableModel::TitleRole).toString(),
                 QStringLiteral("New title"));
        QCOMPARE(model->index(0, 0).data(UploadTableModel::TagsRole).toString(), QStringLiteral("a,b"));
        QCOMPARE(model->index(0, 0).data(UploadTableModel::DescRole).toString(), QStringLiteral("About"));
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("New title"));
        // The painted Delete button removes the row.
        clickIn(UploadTableModel::DeleteColumn);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!confirm->isEnabled());
    }

    // A title the platform cannot store holds the upload back; with the
    // optimise switch on, the files go as recorded lessons (luping).
    void twoFilesQueueSwitchAndClose()
    {
        const QString key = QStringLiteral("optimizeCoursewareSwitch");
        env_.config().setValue(QStringLiteral("UploadTaskManager"), key, true);
        SDKManager::instance()->SetTrafficLimit(16); // the files stay queued while they are looked at
        const QString a = env_.MakeFile(QStringLiteral("first.mkv"), 10000, 8);
        const QString b = env_.MakeFile(QStringLiteral("second.wav"), 12000, 9);
        QStackedWidget stack;
        stack.addWidget(new QWidget);
        TransferListWidget* page = NewPage(categories_);
        stack.addWidget(page);
        stack.resize(1000, 600);
        stack.show();

        page->on_uploadBtn_clicked();
        QPointer<UploadDialog> dialog = page->uploadDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(Child<QCheckBox>(dialog, "optimizeCheckBox")->isChecked());
        const qint64 top = categories_->index(0, 0).data(256).toLongLong();
        QCOMPARE(dialog->cateId(), top);
        dialog->AddFiles({a, b});
        UploadTableModel* model = dialog->tableModel();
        model->setData(model->index(1, 0), QStringLiteral("holiday \U0001F600"), UploadTableModel::TitleRole);
        QCOMPARE(stack.currentIndex(), 0);
        dialog->SlotConfirmUpload();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(SDKManager::instance()->tasks().isEmpty());
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(model->index(1, column).data(Qt::ForegroundRole).value<QBrush>().color(),
                     QColor(0xFF, 0x46, 0x46));
            QVERIFY(!model->index(0, column).data(Qt::ForegroundRole).isValid());
        }
        QVERIFY(ToastTexts(dialog).contains(QStringLiteral("UploadDialog.InvalidParam")));
        // Fixing the title lets the upload go.
        model->setData(model->index(1, 0), QStringLiteral("holiday"), UploadTableModel::TitleRole);
        dialog->SlotConfirmUpload();
        QCOMPARE(stack.currentWidget(), page);
        QTRY_VERIFY(!dialog);
        QStringList queued;
        for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks()) {
            const DBManager::Upload& r = task->record();
            queued << r.fileName;
            QCOMPARE(r.catePath, categories_->index(0, 0).data().toString());
            QCOMPARE(r.cateId, top);
            QCOMPARE(r.luping, 1);
            QCOMPARE(r.keepSource, 0);
        }
        queued.sort();
        QCOMPARE(queued, (QStringList{a, b}));
        // The switch is read, never written.
        QVERIFY(env_.config().value(QStringLiteral("UploadTaskManager"), key).toBool());
    }

    // Until the category tree is there, files go to the account's own category.
    void withoutTreeUsesAccountCategory()
    {
        CategoryTreeModel empty;
        const auto account = static_cast<qint64>(env_.accounts().cateId());
        QVERIFY(account > 0);
        std::unique_ptr<TransferListWidget> page(NewPage(&empty));
        page->SlotDrop({QUrl::fromLocalFile(env_.MakeFile(QStringLiteral("no-tree.mp4"), 4096, 21))});
        QPointer<UploadDialog> dialog = page->uploadDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->cateId(), account);
        dialog->SlotConfirmUpload();
        const QList<SharedUploadTaskPtr> tasks = SDKManager::instance()->tasks();
        QCOMPARE(tasks.size(), 1);
        QCOMPARE(tasks.first()->record().cateId, account);
    }

    void fileDialogStartsInExistingFolder_data()
    {
        QTest::addColumn<bool>("haveVideos");
        QTest::newRow("no Videos folder") << false;
        QTest::newRow("Videos folder") << true;
    }

    // The dialog opens in the movies folder, or in the home folder when there
    // is none, never with the missing folder's name typed in as a file name.
    void fileDialogStartsInExistingFolder()
    {
        QFETCH(bool, haveVideos);
        QTemporaryDir home;
        QVERIFY(!haveVideos || QDir(home.path()).mkdir(QStringLiteral("Videos")));
        const QByteArray previousHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
        QString shown, typed;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!files)
                return;
            poll.stop();
            shown = files->directory().absolutePath();
            typed = Child<QLineEdit>(files, "fileNameEdit")->text();
            files->reject();
        });
        poll.start(20);
        OpenDialog()->SlotAddVideoFromSystemFileSelect();
        qputenv("HOME", previousHome);
        QCOMPARE(shown, haveVideos ? home.filePath(QStringLiteral("Videos")) : home.path());
        QCOMPARE(typed, QString());
    }

    // A row's buttons with the mouse, then the list's; deleting asks first.
    void rowAndListOperations()
    {
        SDKManager::instance()->SetTrafficLimit(64);
        const QStringList vids = Queue(QStringLiteral("pause"), 2, 4 * 1024 * 1024);
        const QString vid = vids.first();
        QTRY_COMPARE(StatusOf(vid), int(UploadStatus::Uploading));
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

        // A row's delete button, then cancel all: Cancel keeps the uploads.
        for (bool cancelAll : {false, true}) {
            for (auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
                const int rows = page_->queueModel()->rowCount();
                MsgBoxAnswer answered(answer);
                if (cancelAll)
                    page_->on_cancelAllBtn_clicked();
                else
                    Click(page_->recordTable(), 0, Button::Delete);
                QVERIFY(answered.answered());
                if (answer == QDialogButtonBox::Cancel) {
                    QTest::qWait(300);
                    QCOMPARE(page_->queueModel()->rowCount(), rows);
                }
            }
            QTRY_COMPARE(page_->queueModel()->rowCount(), cancelAll ? 0 : 1);
        }
        QTRY_VERIFY(SDKManager::instance()->tasks().isEmpty());
    }

    // The first upload is refused and frees its slot at once; the others run
    // one at a time into the history, and the refused one is retried from its row.
    void uploadsRunFailAndRetry()
    {
        orvsrv::FaultRule refuse;
        refuse.pathPattern = QStringLiteral("^/tus/files");
        refuse.failNextN = 1;
        refuse.httpStatus = 403;
        refuse.jsonEnvelope = false;
        env_.server().AddFault(refuse);
        SDKManager* sdk = SDKManager::instance();
        sdk->setMaxConcurrent(1);
        sdk->SetTrafficLimit(768);
        UploadQueueModel* queue = page_->queueModel();
        QSignalSpy content(queue, &UploadQueueModel::SignalContentStatus);
        QSignalSpy appended(DBManager::instance(), &DBManager::SignalAppendHistory);
        QSignalSpy totals(sdk, &SDKManager::SignalTotals);
        const QStringList vids = Queue(QStringLiteral("run"), 3, 3 * 1024 * 1024);
        QCOMPARE(queue->rowCount(), 3);
        QCOMPARE(content.first().first().toBool(), false);
        QCOMPARE(queue->index(0, UploadQueueModel::TitleColumn).data().toString(), QStringLiteral("run-0"));
        QCOMPARE(queue->index(0, UploadQueueModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));
        QCOMPARE(queue->index(0, UploadQueueModel::DirColumn).data().toString(),
                 categories_->index(0, 0).data().toString());
        // The first runs first; as soon as it fails, the smaller vid of the
        // two others takes the slot.
        const QString refused = vids.first();
        QStringList waiting = vids.mid(1);
        std::sort(waiting.begin(), waiting.end());
        const QString next = waiting.first();
        QCOMPARE(StatusOf(next), int(UploadStatus::Waiting));
        QTRY_VERIFY_WITH_TIMEOUT(Role(refused, TransferRole::RetryShown).toBool(), 30000);
        QVERIFY(!Role(refused, TransferRole::ErrorText).toString().isEmpty());
        QCOMPARE(Role(refused, TransferRole::TimeText).toString(), QString());
        QCOMPARE(StatusOf(refused), int(UploadStatus::Failed));
        QCOMPARE(StatusOf(next), int(UploadStatus::Uploading));
        QCOMPARE(StatusOf(waiting.last()), int(UploadStatus::Waiting));

        // Progress, speed, time and the list totals show up while the bytes
        // move, and the progress is stored on the way.
        QTRY_VERIFY_WITH_TIMEOUT(Role(next, TransferRole::Percent).toInt() > 0 &&
                                     !Role(next, TransferRole::TimeText).toString().isEmpty(),
                                 15000);
        QVERIFY(Role(next, TransferRole::SpeedText).toString().endsWith(QStringLiteral("B/S")));
        QTRY_VERIFY_WITH_TIMEOUT(sdk->totals().uploaded > 0 && !sdk->totals().speedText.isEmpty(), 5000);
        auto storedBytes = [] {
            quint64 bytes = 0;
            for (const DBManager::Upload& r : DBManager::instance()->SelectUploads().valueOr({}))
                bytes += r.uploadBytes;
            return bytes;
        };
        QTRY_VERIFY_WITH_TIMEOUT(storedBytes() > 0, 8000);

        // The others end in the history, the newest at the top; the refused
        // one keeps its record and is retried from its row.
        QTRY_VERIFY_WITH_TIMEOUT(appended.count() == 2, 60000);
        QCOMPARE(DBManager::instance()->SelectUploads()->size(), 1);
        HistoryModel* history = page_->historyModel();
        const auto last = appended.last().first().value<DBManager::History>();
        QCOMPARE(history->RowOf(last.vid), 0);
        QCOMPARE(history->index(0, HistoryModel::StatusColumn).data().toString(), last.fileStatus);
        QCOMPARE(history->index(0, HistoryModel::SizeColumn).data().toString(), QStringLiteral("3.00 MB"));
        Click(page_->recordTable(), queue->RowOf(refused), Button::Retry);
        QVERIFY(!Role(refused, TransferRole::RetryShown).toBool());
        QCOMPARE(Role(refused, TransferRole::ErrorText).toString(), QString());
        sdk->SetTrafficLimit(0);
        QTRY_VERIFY_WITH_TIMEOUT(queue->rowCount() == 0, 30000);
        QCOMPARE(history->count(), 3);
        QCOMPARE(history->RowOf(refused), 0);

        // The empty queue resets the page and the summary.
        QCOMPARE(content.last().first().toBool(), true);
        QCOMPARE(totals.last(), (QVariantList{qint64(0), qint64(0), QString()}));
    }

    // Pages of 20 as the view needs them, newest first; then new records at
    // the top, one cleaned up from its row and all cleared from the page.
    void historyPagingAndCleanUp()
    {
        DBManager* db = DBManager::instance();
        for (int i = 0; i < 45; ++i)
            QVERIFY(db->InsertHistory(MakeHistory(i), false));
        HistoryModel model(db);
        QSignalSpy counts(&model, &HistoryModel::SignalCountChange);
        QSignalSpy content(&model, &HistoryModel::SignalContentStatus);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        HistoryTableWidget table(&model, db);
        table.resize(900, 400);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
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

        // A new record goes to the top; one already listed is replaced and moves there.
        QVERIFY(db->InsertHistory(MakeHistory(45), true));
        QCOMPARE(model.RowOf(MakeHistory(45).vid), 0);
        QVERIFY(db->InsertHistory(MakeHistory(3), true));
        QCOMPARE(model.rowCount(), 46);
        QCOMPARE(model.RowOf(MakeHistory(3).vid), 0);
        const QString victim = MakeHistory(10).vid;
        Click(&table, model.RowOf(victim), Button::Cleanup);
        QCOMPARE(model.count(), 45);
        QVERIFY(model.RowOf(victim) < 0);
        QCOMPARE(db->CountHistories().valueOr(-1), 45);
        for (auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            MsgBoxAnswer answered(answer);
            page_->on_clearAllRecordButton_clicked();
            QVERIFY(answered.answered());
            QCOMPARE(model.count(), answer == QDialogButtonBox::Ok ? 0 : 45);
        }
        QCOMPARE(db->CountHistories().valueOr(-1), 0);
        QCOMPARE(content.last().first().toBool(), true);
    }

private:
    TransferListWidget* NewPage(CategoryTreeModel* categories)
    {
        auto* page = new TransferListWidget(SDKManager::instance(), DBManager::instance(), &env_.accounts(),
                                            &env_.config());
        page->SetCategoryModel(categories);
        return page;
    }

    // A shown upload dialog over the loaded tree that stays after closing.
    std::unique_ptr<UploadDialog> OpenDialog()
    {
        auto dialog = std::make_unique<UploadDialog>(SDKManager::instance(), &env_.config(), categories_);
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        dialog->show();
        return dialog;
    }

    // Queues new files of `size` bytes in the top category; returns their vids.
    QStringList Queue(const QString& name, int count, qint64 size)
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

    // A role of the row of `vid` in the page's queue model (by default in the status column).
    QVariant Role(const QString& vid, int role, int column = 3) const
    {
        UploadQueueModel* model = page_->queueModel();
        return model->index(model->RowOf(vid), column).data(role);
    }

    ClientEnv env_;
    CategoryTreeModel* categories_ = nullptr;
    std::unique_ptr<QStackedWidget> stack_; // holds the page; goes before the environment
    TransferListWidget* page_ = nullptr;
};

QTEST_MAIN(TransferTest)

#include "tst_transfer.moc"
