#include "transferenv.h"
#include "tst_transfer.h"

#include "model/categorytreemodel.h"
#include "ui/common/toast.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"
#include "ui/transfer/uploadtablemodel.h"
#include "ui/transfer/uploadtableview.h"
#include "ui/videolist/videoeditdialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

using namespace transfertest;

namespace {
// Texts of every toast currently shown over `parent`.
QStringList ToastTexts(QWidget* parent)
{
    QStringList texts;
    for (Toast* toast : parent->findChildren<Toast*>()) {
        for (QLabel* label : toast->findChildren<QLabel*>())
            texts << label->text();
    }
    return texts;
}
} // namespace

void TransferTest::acceptsMediaAndRefusesOthers()
{
    const QString clip = env_.MakeFile(QStringLiteral("clip.MP4"), 1024, 1);
    const QString notes = env_.MakeFile(QStringLiteral("notes.txt"), 16, 2);
    UploadDialog dialog(categories_);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("confirmButton"))->isEnabled(), false);

    dialog.AddFiles({clip, notes});
    QCOMPARE(dialog.tableModel()->rowCount(), 1);
    const QModelIndex row = dialog.tableModel()->index(0, 0);
    QCOMPARE(row.data(UploadTableModel::PathRole).toString(), clip);
    QCOMPARE(row.data(UploadTableModel::TitleRole).toString(), QStringLiteral("clip"));
    QCOMPARE(dialog.tableModel()->index(0, 1).data().toString(), QStringLiteral("MP4"));
    QCOMPARE(dialog.tableModel()->index(0, 2).data().toString(), QStringLiteral("1.00 KB"));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("confirmButton"))->isEnabled());
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("totalVideoLabel"))->text(),
             QStringLiteral("Total 1 videos"));

    const QString toast = ToastTexts(&dialog).join(QLatin1Char('|'));
    QVERIFY2(toast.contains(QStringLiteral("UploadDialog.NoSupportFiles:")), qPrintable(toast));
    QVERIFY2(toast.contains(notes), qPrintable(toast));
    QVERIFY(!toast.contains(clip));

    // All 25 extensions are known, in any letter case.
    QCOMPARE(UploadDialog::SupportedSuffixes().size(), 25);
    QVERIFY(UploadDialog::SupportedSuffixes().contains(QStringLiteral("WMA"), Qt::CaseInsensitive));
}

void TransferTest::duplicatePathBlinks()
{
    const QString clip = env_.MakeFile(QStringLiteral("blink.mov"), 2048, 3);
    UploadDialog dialog(categories_);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    dialog.AddFiles({clip});
    QCOMPARE(dialog.tableModel()->rowCount(), 1);

    QItemSelectionModel* selection = dialog.tableView()->selectionModel();
    QElapsedTimer clock;
    clock.start();
    dialog.AddFiles({clip});
    QCOMPARE(dialog.tableModel()->rowCount(), 1);
    // The row toggles its selection every 200 ms for about two seconds.
    int toggles = 0;
    bool selected = selection->isRowSelected(0, QModelIndex());
    auto* timer = dialog.findChild<QTimer*>(QStringLiteral("blinkTimer"));
    QVERIFY(timer && timer->isActive());
    while (timer->isActive() && clock.elapsed() < 5000) {
        QTest::qWait(50);
        const bool now = selection->isRowSelected(0, QModelIndex());
        if (now != selected)
            ++toggles;
        selected = now;
    }
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(toggles >= 8, qPrintable(QString::number(toggles)));
    QVERIFY2(elapsed >= 1800 && elapsed < 3500, qPrintable(QString::number(elapsed)));
    QVERIFY(!selection->isRowSelected(0, QModelIndex()));
}

// A title the platform cannot store holds the upload back; with the optimise
// switch on, the files go as recorded lessons (luping).
void TransferTest::twoFilesQueueSwitchAndClose()
{
    const QString key = QStringLiteral("optimizeCoursewareSwitch");
    env_.config().setValue(QStringLiteral("UploadTaskManager"), key, true);
    const QString a = env_.MakeFile(QStringLiteral("first.mkv"), 10000, 8);
    const QString b = env_.MakeFile(QStringLiteral("second.wav"), 12000, 9);
    QStackedWidget stack;
    auto* other = new QWidget;
    auto* page = new TransferListWidget(SDKManager::instance(), DBManager::instance());
    page->SetCategoryModel(categories_);
    stack.addWidget(other);
    stack.addWidget(page);
    stack.setCurrentWidget(other);
    stack.resize(1000, 600);
    stack.show();

    page->on_uploadBtn_clicked();
    QPointer<UploadDialog> dialog = page->uploadDialog();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("optimizeCheckBox"))->isChecked());
    const qint64 top = categories_->index(0, 0).data(256).toLongLong();
    QCOMPARE(dialog->cateId(), top);
    dialog->AddFiles({a, b});
    UploadTableModel* model = dialog->tableModel();
    model->setData(model->index(1, 0), QStringLiteral("holiday \U0001F600"), UploadTableModel::TitleRole);
    dialog->SlotConfirmUpload();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(SDKManager::instance()->tasks().isEmpty());
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(model->index(1, column).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(0xFF, 0x46, 0x46));
        QVERIFY(!model->index(0, column).data(Qt::ForegroundRole).isValid());
    }
    QVERIFY(ToastTexts(dialog).contains(QStringLiteral("UploadDialog.InvalidParam")));
    // Fixing the title clears the mark and lets the upload go.
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

void TransferTest::editDialogLimits()
{
    VideoEditDialog dialog;
    dialog.SetUploadMode(QStringLiteral("t"), QString(), QString(), 1536);
    dialog.show();
    auto* title = dialog.findChild<QLineEdit*>(QStringLiteral("titleLineEdit"));
    auto* desc = dialog.findChild<QPlainTextEdit*>(QStringLiteral("descPlainTextEdit"));
    auto* titleCount = dialog.findChild<QLabel*>(QStringLiteral("titleCountLabel"));
    auto* descCount = dialog.findChild<QLabel*>(QStringLiteral("descCountLabel"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("fileSizeLabel"))->text(), QStringLiteral("1.50 KB"));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("vidLabel"))->isHidden());
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("coverInfoButton"))->isHidden());
    QCOMPARE(titleCount->text(), QStringLiteral("1/200"));

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
    QCOMPARE(descCount->text(), QStringLiteral("1000/1000"));
    QCOMPARE(desc->textCursor().position(), 1000);

    // An emoji keeps the dialog open and marks the field.
    desc->setPlainText(QStringLiteral("nice \U0001F600"));
    dialog.findChild<QPushButton*>(QStringLiteral("confirmButton"))->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(desc->property("status").toString(), QStringLiteral("error"));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    desc->setPlainText(QStringLiteral("nice"));
    dialog.findChild<QPushButton*>(QStringLiteral("confirmButton"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.description(), QStringLiteral("nice"));
    QCOMPARE(dialog.title(), QString(200, QLatin1Char('a')));
}

void TransferTest::editButtonWritesBack()
{
    const QString clip = env_.MakeFile(QStringLiteral("edit-me.mp4"), 4096, 10);
    UploadDialog dialog(categories_);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.resize(800, 500);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.AddFiles({clip});

    bool edited = false;
    QTimer::singleShot(100, [&edited] {
        auto* editor = qobject_cast<VideoEditDialog*>(QApplication::activeModalWidget());
        if (!editor)
            return;
        QCOMPARE(editor->findChild<QLineEdit*>(QStringLiteral("titleLineEdit"))->text(),
                 QStringLiteral("edit-me"));
        editor->findChild<QLineEdit*>(QStringLiteral("titleLineEdit"))->setText(QStringLiteral("New title"));
        editor->findChild<QLineEdit*>(QStringLiteral("tagsLineEdit"))->setText(QStringLiteral("a,b"));
        editor->findChild<QPlainTextEdit*>(QStringLiteral("descPlainTextEdit"))
            ->setPlainText(QStringLiteral("About"));
        editor->findChild<QPushButton*>(QStringLiteral("confirmButton"))->click();
        edited = true;
    });
    UploadTableView* view = dialog.tableView();
    const QRect cell = view->visualRect(dialog.tableModel()->index(0, UploadTableModel::EditColumn));
    const QPoint centre = UploadTableDelegate::ButtonRect(cell).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTRY_VERIFY(edited);
    const QModelIndex row = dialog.tableModel()->index(0, 0);
    QCOMPARE(row.data(UploadTableModel::TitleRole).toString(), QStringLiteral("New title"));
    QCOMPARE(row.data(UploadTableModel::TagsRole).toString(), QStringLiteral("a,b"));
    QCOMPARE(row.data(UploadTableModel::DescRole).toString(), QStringLiteral("About"));
    QCOMPARE(row.data().toString(), QStringLiteral("New title"));

    // The painted Delete button removes the row.
    const QRect deleteCell = view->visualRect(dialog.tableModel()->index(0, UploadTableModel::DeleteColumn));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      UploadTableDelegate::ButtonRect(deleteCell).center());
    QCOMPARE(dialog.tableModel()->rowCount(), 0);
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("confirmButton"))->isEnabled());
}

void TransferTest::withoutTreeUsesAccountCategory()
{
    orvsrv::FaultRule fail;
    fail.pathPattern = QStringLiteral("^/v3/category/get-cate-tree");
    fail.failNextN = 100;
    env_.server().AddFault(fail);
    CategoryTreeModel failed;
    QSignalSpy refreshFailed(&failed, &CategoryTreeModel::SignalRefreshCategoryFailed);
    failed.RefreshCategory();
    QVERIFY(refreshFailed.wait(20000));
    env_.server().ClearFaults();
    QCOMPARE(failed.rowCount(), 0);

    const auto account = static_cast<qint64>(env_.accounts().cateId());
    QVERIFY(account > 0);
    TransferListWidget page(SDKManager::instance(), DBManager::instance());
    page.SetCategoryModel(&failed);
    page.SlotDrop({QUrl::fromLocalFile(env_.MakeFile(QStringLiteral("no-tree.mp4"), 4096, 21))});
    QPointer<UploadDialog> dialog = page.uploadDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->cateId(), account);
    dialog->SlotConfirmUpload();
    const QList<SharedUploadTaskPtr> tasks = SDKManager::instance()->tasks();
    QCOMPARE(tasks.size(), 1);
    QCOMPARE(tasks.first()->record().cateId, account);
}

void TransferTest::fileDialogStartsInExistingFolder_data()
{
    QTest::addColumn<bool>("haveVideos");
    QTest::newRow("no Videos folder") << false;
    QTest::newRow("Videos folder") << true;
}

// The dialog opens in the movies folder, or in the home folder when there is
// none, never with the missing folder's name typed in as a file name.
void TransferTest::fileDialogStartsInExistingFolder()
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
        typed = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        files->reject();
    });
    poll.start(20);
    UploadDialog dialog(categories_);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    dialog.SlotAddVideoFromSystemFileSelect();
    qputenv("HOME", previousHome);
    QCOMPARE(shown, haveVideos ? home.filePath(QStringLiteral("Videos")) : home.path());
    QCOMPARE(typed, QString());
}
