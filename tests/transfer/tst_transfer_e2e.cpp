// End to end, as a user would: log in through the login dialog, upload three
// files through the upload dialog, quit (answering the question with OK)
// while one upload runs, start again, log in, and see the unfinished upload
// restored and completed. Finally every file on the server is compared with
// the local bytes.

#include "transferenv.h"

#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "model/videotablemodel.h"
#include "ui/resources.h"
#include "ui/shell/logindialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

using namespace transfertest;

namespace {
QByteArray Sha1Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}
} // namespace

class TransferEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void uploadQuitRestartComplete();

private:
    // One run of the client: login dialog, then the main window.
    bool LogIn();
    MainWindow* OpenMainWindow();
    ShellServices Services()
    {
        return {&env_.config(),        accounts_.get(),   SDKManager::instance(),
                DBManager::instance(), categories_.get(), videos_.get()};
    }

    ClientEnv env_;
    std::unique_ptr<AccountManager> accounts_;
    std::unique_ptr<CategoryTreeModel> categories_;
    std::unique_ptr<VideoTableModel> videos_;
};

void TransferEndToEndTest::initTestCase()
{
    QString error;
    QVERIFY2(env_.Start(&error), qPrintable(error));
    QApplication::setQuitOnLastWindowClosed(false);
}

bool TransferEndToEndTest::LogIn()
{
    accounts_ = std::make_unique<AccountManager>();
    QSignalSpy ok(accounts_.get(), &AccountManager::SignalLoginSucceed);
    auto* login = new LoginDialog(Services());
    login->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<LoginDialog> guard(login);
    login->show();
    login->OnStartupLoadingFinish();
    login->findChild<QComboBox*>(QStringLiteral("accountComboBox"))
        ->setEditText(QString::fromLatin1(orvsrv::kDemoMainEmail));
    auto* password = login->findChild<QLineEdit*>(QStringLiteral("passwordLineEdit"));
    password->clear();
    QTest::keyClicks(password, QString::fromLatin1(orvsrv::kDemoPassword));
    login->findChild<QPushButton*>(QStringLiteral("loginBtn"))->click();
    const bool done = QTest::qWaitFor([&] { return ok.count() == 1; }, 30000);
    // The dialog closes itself on success.
    return done && QTest::qWaitFor([&] { return !guard; }, 5000);
}

MainWindow* TransferEndToEndTest::OpenMainWindow()
{
    categories_ = std::make_unique<CategoryTreeModel>();
    videos_ = std::make_unique<VideoTableModel>(categories_.get());
    auto* window = new MainWindow(Services());
    window->Init();
    QSignalSpy loaded(categories_.get(), &CategoryTreeModel::SignalRefreshCategoryDone);
    categories_->RefreshCategory();
    if (!loaded.wait(20000))
        qWarning() << "category tree did not load";
    window->show();
    return window;
}

void TransferEndToEndTest::uploadQuitRestartComplete()
{
    const QStringList files = {env_.MakeFile(QStringLiteral("e2e-small-1.mp4"), 700 * 1024, 71),
                               env_.MakeFile(QStringLiteral("e2e-small-2.mp3"), 900 * 1024, 72),
                               env_.MakeFile(QStringLiteral("e2e-large.mkv"), 12 * 1024 * 1024, 73)};

    // First run.
    QVERIFY(LogIn());
    QPointer<MainWindow> window = OpenMainWindow();
    auto* page = window->findChild<TransferListWidget*>();
    QVERIFY(page);
    SDKManager::instance()->SetTrafficLimit(400);
    page->on_uploadBtn_clicked();
    QPointer<UploadDialog> dialog = page->uploadDialog();
    QVERIFY(dialog);
    dialog->AddFiles(files);
    dialog->SlotConfirmUpload();
    QTRY_VERIFY(!dialog);
    QCOMPARE(window->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"))->currentWidget(),
             static_cast<QWidget*>(page));
    QCOMPARE(page->queueModel()->rowCount(), 3);

    // The two small files finish; the large one is still on its way.
    QTRY_VERIFY_WITH_TIMEOUT(page->historyModel()->rowCount() == 2, 60000);
    QString largeVid;
    for (const SharedUploadTaskPtr& task : SDKManager::instance()->tasks())
        largeVid = task->record().vid;
    QVERIFY(!largeVid.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->task(largeVid)->uploadBytes() > 0, 20000);
    QVERIFY(SDKManager::instance()->anyUploading());

    // Quit while it runs: the question is answered with OK and the upload pauses.
    {
        MsgBoxAnswer answer(QDialogButtonBox::Ok);
        window->close();
        QVERIFY(answer.answered());
    }
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(int(SDKManager::instance()->task(largeVid)->status()), int(UploadStatus::Paused));
    delete window;
    QVERIFY(!window);

    // What the application's stop sequence does, then a new start.
    SDKManager::instance()->Shutdown();
    SDKManager::Destroy();
    DBManager::Close();
    accounts_.reset();
    videos_->WaitForTasks();
    categories_->WaitForTasks();
    videos_.reset();
    categories_.reset();
    QVERIFY(DBManager::instance()->Open(env_.path(QStringLiteral("client.db"))));

    QVERIFY(LogIn());
    window = OpenMainWindow();
    page = window->findChild<TransferListWidget*>();
    QVERIFY(page);
    QCOMPARE(page->queueModel()->rowCount(), 1);
    QVERIFY(page->queueModel()->RowOf(largeVid) >= 0);
    QCOMPARE(page->historyModel()->rowCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->tasks().isEmpty(), 90000);
    QTRY_COMPARE(page->historyModel()->rowCount(), 3);
    QCOMPARE(page->historyModel()->RowOf(largeVid), 0);
    QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());

    // Every file arrived whole: the server keeps each one as a complete file.
    QMultiHash<qint64, QString> stored;
    QDirIterator it(env_.server().DataDir(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        stored.insert(it.fileInfo().size(), it.filePath());
    }
    for (const QString& file : files) {
        const QByteArray local = Sha1Of(file);
        bool found = false;
        for (const QString& candidate : stored.values(QFileInfo(file).size()))
            found = found || Sha1Of(candidate) == local;
        QVERIFY2(found, qPrintable(file));
    }

    MsgBoxAnswer answer(QDialogButtonBox::Ok);
    window->close();
    delete window;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    TransferEndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transfer_e2e.moc"
