// End to end: upload three files through the main window's upload dialog,
// quit (answering the question with OK) while one upload runs, start again,
// log in, and see the unfinished upload restored and completed. Finally every
// file on the server is compared with the local bytes.

#include "transferenv.h"

#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "model/videotablemodel.h"
#include "ui/resources.h"
#include "ui/shell/mainwindow.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QStackedWidget>

using namespace transfertest;

class TransferEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void uploadQuitRestartComplete()
    {
        const QStringList files = {env_.MakeFile(QStringLiteral("e2e-small-1.mp4"), 700 * 1024, 71),
                                   env_.MakeFile(QStringLiteral("e2e-small-2.mp3"), 900 * 1024, 72),
                                   env_.MakeFile(QStringLiteral("e2e-large.mkv"), 12 * 1024 * 1024, 73)};
        // First run.
        QPointer<MainWindow> window = LogInAndOpen();
        QVERIFY(window);
        auto* page = window->findChild<TransferListWidget*>();
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
        QCOMPARE(SDKManager::instance()->tasks().size(), 1);
        const QString largeVid = SDKManager::instance()->tasks().first()->record().vid;
        QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->task(largeVid)->uploadBytes() > 0, 20000);

        // Quit while it runs: the question is answered with OK and the upload pauses.
        {
            MsgBoxAnswer answer(QDialogButtonBox::Ok);
            window->close();
            QVERIFY(answer.answered());
        }
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(int(SDKManager::instance()->task(largeVid)->status()), int(UploadStatus::Paused));
        delete window;

        // What the application's stop sequence does, then a new start.
        SDKManager::instance()->Shutdown();
        SDKManager::Destroy();
        DBManager::Close();
        videos_->WaitForTasks();
        categories_->WaitForTasks();
        videos_.reset();
        categories_.reset();
        QVERIFY(env_.OpenDatabase());

        window = LogInAndOpen();
        QVERIFY(window);
        page = window->findChild<TransferListWidget*>();
        QCOMPARE(page->queueModel()->rowCount(), 1);
        QVERIFY(page->queueModel()->RowOf(largeVid) >= 0);
        QCOMPARE(page->historyModel()->rowCount(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->tasks().isEmpty(), 90000);
        QTRY_COMPARE(page->historyModel()->rowCount(), 3);
        QCOMPARE(page->historyModel()->RowOf(largeVid), 0);
        QVERIFY(DBManager::instance()->SelectUploads()->isEmpty());

        // Every file arrived whole: the server keeps each one as a complete file.
        auto Sha1Of = [](const QString& path) {
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha1);
            return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
        };
        QSet<QByteArray> stored;
        QDirIterator it(env_.server().DataDir(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            stored.insert(Sha1Of(it.next()));
        for (const QString& file : files)
            QVERIFY2(stored.contains(Sha1Of(file)), qPrintable(file));
        delete window;
    }

private:
    // One run of the client: the login, then the main window over the loaded tree.
    MainWindow* LogInAndOpen()
    {
        QString error;
        if (!env_.Login(&error))
            return nullptr;
        categories_ = std::make_unique<CategoryTreeModel>();
        videos_ = std::make_unique<VideoTableModel>(categories_.get());
        auto* window = new MainWindow({&env_.config(), &env_.accounts(), SDKManager::instance(),
                                       DBManager::instance(), categories_.get(), videos_.get()});
        window->Init();
        QSignalSpy loaded(categories_.get(), &CategoryTreeModel::SignalRefreshCategoryDone);
        categories_->RefreshCategory();
        if (!loaded.wait(20000))
            qWarning() << "category tree did not load";
        window->show();
        return window;
    }

    ClientEnv env_;
    std::unique_ptr<CategoryTreeModel> categories_;
    std::unique_ptr<VideoTableModel> videos_;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    TransferEndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transfer_e2e.moc"
