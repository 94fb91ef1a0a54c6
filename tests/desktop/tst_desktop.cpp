// The client on the desktop, against the local platform server and stand-in
// D-Bus services on a private bus: closing to the tray and leaving, the
// notifications after a batch, the post-upload countdown with its actions,
// and a second start handing its files over.

#include "../transfer/transferenv.h"
#include "dbusstandins.h"

#include "app/singleinstance.h"
#include "base/paths.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "testsupport.h"
#include "ui/desktop/desktopshell.h"
#include "ui/desktop/postuploadaction.h"
#include "ui/desktop/postuploaddialog.h"
#include "ui/desktop/uploadnotifier.h"
#include "ui/resources.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/mainwindowtitlewidget.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploadtablemodel.h"

#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>

using namespace transfertest;
using Choice = PostUploadAction::Choice;

class DesktopTest : public QObject
{
    Q_OBJECT
public:
    explicit DesktopTest(ClientEnv& env) : env_(env) {}

private slots:
    void initTestCase()
    {
        QSignalSpy done(&categories_, &CategoryTreeModel::SignalRefreshCategoryDone);
        categories_.RefreshCategory();
        QVERIFY(done.wait(20000));
        cateId_ = categories_.index(0, 0).data(CategoryRole::CateId).toLongLong();
        QVERIFY(cateId_ != 0);

        window_ = std::make_unique<MainWindow>(ShellServices{&env_.config(), &env_.accounts(),
                                                             SDKManager::instance(), DBManager::instance(),
                                                             &categories_, &videos_});
        window_->Init();
        // The test observes the exit request instead of ending its own event loop.
        QObject::disconnect(window_.get(), &MainWindow::SignalExit, qApp, nullptr);
        exits_ = std::make_unique<QSignalSpy>(window_.get(), &MainWindow::SignalExit);
        shell_ = std::make_unique<DesktopShell>(env_.config(), SDKManager::instance());
        shell_->AttachMainWindow(window_.get());
        QVERIFY2(shell_->trayIcon() && shell_->trayIcon()->isVisible(),
                 "no tray: the tray host stand-in is missing");
        QTRY_VERIFY(DBusStandIns::Calls().contains(QStringLiteral("RegisterStatusNotifierItem")));
    }

    void init()
    {
        QVERIFY(ResetQueue());
        QTest::qWait(300); // notifications of the last case's batch arrive first
        DBusStandIns::ClearCalls();
        exits_->clear();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup()
    {
        env_.server().ClearFaults();
        SDKManager::instance()->SetTrafficLimit(0);
        shell_->postAction()->Cancel();
        shell_->postAction()->setChoice(Choice::Nothing);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<UploadDialog*>(w))
                w->close();
        }
        QVERIFY(ResetQueue());
    }

    void leaving_data()
    {
        QTest::addColumn<QString>("closeBehavior");
        QTest::addColumn<QString>("via"); // the window's close, the tray menu's or the account menu's quit
        QTest::addColumn<int>("answer");  // to the exit question, when it comes
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("stillShown");
        QTest::addColumn<bool>("stillUploading");
        QTest::addColumn<bool>("exitRequested");
        const auto row = [](const char* name, const char* closeBehavior, const char* via, bool ok, bool asked,
                            bool shown, bool uploading, bool exit) {
            QTest::newRow(name) << QString(closeBehavior) << QString(via)
                                << int(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel) << asked << shown
                                << uploading << exit;
        };
        row("close, hide: to the tray", "hide", "close", false, false, false, true, false);
        row("close, quit: cancel", "quit", "close", false, true, true, true, false);
        row("close, quit: ok", "quit", "close", true, true, false, false, false);
        row("tray quit: cancel", "hide", "tray", false, true, true, true, false);
        row("tray quit: ok", "hide", "tray", true, true, false, false, true);
        row("account menu quit, hide: ok", "hide", "menu", true, true, false, false, true);
    }

    void leaving()
    {
        QFETCH(QString, closeBehavior);
        QFETCH(QString, via);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, stillShown);
        QFETCH(bool, stillUploading);
        QFETCH(bool, exitRequested);
        env_.config().setValue(QStringLiteral("Application"), QStringLiteral("closeBehavior"), closeBehavior);
        SDKManager::instance()->SetTrafficLimit(64);
        QVERIFY(AddFile(QStringLiteral("leaving.mp4"), 4 * 1024 * 1024));
        QTRY_VERIFY_WITH_TIMEOUT(AnyUploading(), 15000);
        QTRY_VERIFY(shell_->trayIcon()->toolTip().contains(QLatin1String("Uploading 1 files: ")));

        MsgBoxAnswer answerer(static_cast<QDialogButtonBox::StandardButton>(answer));
        if (via == QLatin1String("tray"))
            shell_->trayMenu()->findChild<QAction*>(QStringLiteral("trayQuitAction"))->trigger();
        else if (via == QLatin1String("menu"))
            emit window_->titleWidget()->SignalQuit();
        else
            window_->close();
        QCOMPARE(answerer.answered(), asked);
        QCOMPARE(window_->isVisible(), stillShown);
        QCOMPARE(exits_->count(), exitRequested ? 1 : 0);
        if (exitRequested)
            QCOMPARE(exits_->first().first().toInt(), 0);
        if (!stillUploading) {
            QVERIFY(!AnyUploading());
            return;
        }
        // The upload keeps moving while the window is away.
        const quint64 before = SDKManager::instance()->tasks().first()->uploadBytes();
        QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->tasks().first()->uploadBytes() > before, 10000);
        QVERIFY(AnyUploading());
        if (!stillShown) {
            QTRY_VERIFY(DBusStandIns::Calls().filter(QStringLiteral("keeps running in the tray")).size() ==
                        1);
            shell_->trayIcon()->activated(QSystemTrayIcon::Trigger);
            QVERIFY(window_->isVisible());
        }
    }

    void countdown_data()
    {
        QTest::addColumn<QString>("menuEntry");
        QTest::addColumn<QString>("ending"); // zero, cancel, newUpload
        QTest::addColumn<QString>("expectedCall");
        const auto row = [](const char* name, const char* entry, const char* ending, const char* call) {
            QTest::newRow(name) << QString(entry) << QString(ending) << QString(call);
        };
        row("shut down at zero", "postTaskShutdown", "zero", "PowerOff 1");
        row("sleep at zero", "postTaskSleep", "zero", "Suspend 1");
        row("quit at zero", "postTaskQuit", "zero", "");
        row("shut down, cancelled", "postTaskShutdown", "cancel", "");
        row("sleep, new upload", "postTaskSleep", "newUpload", "");
    }

    void countdown()
    {
        QFETCH(QString, menuEntry);
        QFETCH(QString, ending);
        QFETCH(QString, expectedCall);
        PostUploadAction* action = shell_->postAction();
        action->setCountdownSeconds(ending == QLatin1String("zero") ? 1 : 30);
        auto* menu = window_->findChild<QMenu*>(QStringLiteral("postTaskMenu"));
        menu->findChild<QAction*>(menuEntry)->trigger();
        QVERIFY(action->choice() != Choice::Nothing);
        const Choice chosen = action->choice();
        QSignalSpy ended(action, &PostUploadAction::SignalCountdownEnded);

        QVERIFY(AddFile(QStringLiteral("batch.mp4"), 256 * 1024));
        QTRY_VERIFY_WITH_TIMEOUT(action->counting() || !ended.isEmpty(), 30000);
        if (ending == QLatin1String("cancel")) {
            QVERIFY(shell_->countdownDialog()->isVisible());
            QVERIFY(shell_->countdownDialog()->text().contains(QLatin1String("30")));
            shell_->countdownDialog()->findChild<QPushButton*>(QStringLiteral("cancelBtn"))->click();
        } else if (ending == QLatin1String("newUpload")) {
            QVERIFY(AddFile(QStringLiteral("another.mp4"), 256 * 1024));
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
        const bool performed = ended.first().first().toBool();
        QCOMPARE(performed, ending == QLatin1String("zero"));
        QVERIFY(!shell_->countdownDialog()->isVisible());
        // The choice is for one batch only; a cancelled countdown keeps it.
        QCOMPARE(action->choice(), performed ? Choice::Nothing : chosen);
        QCOMPARE(menu->findChild<QAction*>(QStringLiteral("postTaskNothing"))->isChecked(), performed);
        if (!expectedCall.isEmpty())
            QTRY_VERIFY(DBusStandIns::Calls().contains(expectedCall));
        if (menuEntry == QLatin1String("postTaskQuit"))
            QTRY_COMPARE(exits_->count(), 1);
        QTest::qWait(200);
        const QStringList power =
            DBusStandIns::Calls().filter(QRegularExpression(QStringLiteral("^(PowerOff|Suspend)")));
        QCOMPARE(power, expectedCall.isEmpty() ? QStringList() : QStringList{expectedCall});
    }

    void notifications()
    {
        shell_->notifier()->setGroupInterval(60000);
        orvsrv::FaultRule refuse;
        refuse.pathPattern = QStringLiteral("^/tus/files");
        refuse.failNextN = 1000;
        refuse.httpStatus = 403;
        env_.server().AddFault(refuse);
        QVERIFY(AddFile(QStringLiteral("refused-1.mp4"), 128 * 1024));
        QVERIFY(AddFile(QStringLiteral("refused-2.mp4"), 128 * 1024));
        auto notes = [] { return DBusStandIns::Calls().filter(QStringLiteral("Notify ")); };
        QTRY_COMPARE_WITH_TIMEOUT(notes().size(), 2, 30000);
        // Both failures in one notification, then the batch summary.
        QVERIFY2(notes().at(0).startsWith(QLatin1String("Notify 2 uploads failed|refused-")),
                 qPrintable(notes().at(0)));
        QCOMPARE(notes().at(1), QStringLiteral("Notify Uploads finished|0 files uploaded, 2 failed"));

        env_.server().ClearFaults();
        QVERIFY(AddFile(QStringLiteral("accepted.mp4"), 128 * 1024));
        QTRY_COMPARE_WITH_TIMEOUT(notes().size(), 3, 30000);
        QCOMPARE(notes().at(2), QStringLiteral("Notify Uploads finished|1 files uploaded"));
        QTest::qWait(300);
        QCOMPARE(notes().size(), 3);
    }

    void secondStartHandsFilesOver()
    {
        SingleInstance first(WorkDir());
        QVERIFY(first.Listen());
        connect(&first, &SingleInstance::SignalArguments, shell_.get(), &DesktopShell::OnSecondStart);
        window_->hide();
        const QString a = env_.MakeFile(QStringLiteral("handed/one.mp4"), 1024, 1);
        const QString b = env_.MakeFile(QStringLiteral("handed/two words.mov"), 1024, 2);

        QProcess second;
        second.setWorkingDirectory(QFileInfo(a).absolutePath());
        second.start(orvtest::BinDir() + QStringLiteral("/orvane-upload-client"),
                     {QStringLiteral("one.mp4"), b});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QVERIFY(window_->isVisible());
        auto* transfer = window_->findChild<TransferListWidget*>();
        QTRY_VERIFY(transfer->uploadDialog());
        UploadTableModel* model = transfer->uploadDialog()->tableModel();
        QStringList got;
        for (int row = 0; row < model->rowCount(); ++row)
            got << model->index(row, 0).data(UploadTableModel::PathRole).toString();
        QCOMPARE(got, (QStringList{a, b}));
    }

private:
    bool AddFile(const QString& name, qint64 size)
    {
        const QString file = env_.MakeFile(name, size, static_cast<quint32>(++files_));
        return !file.isEmpty() && SDKManager::instance()->AddUpload(cateId_, file, QString(), QString(),
                                                                    QString(), QString(), 0, 0);
    }
    bool AnyUploading() const { return SDKManager::instance()->anyUploading(); }

    ClientEnv& env_;
    qint64 cateId_ = 0;
    int files_ = 0;
    CategoryTreeModel categories_;
    VideoTableModel videos_{&categories_};
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<DesktopShell> shell_;
    std::unique_ptr<QSignalSpy> exits_;
};

int main(int argc, char** argv)
{
    DBusStandIns dbus;
    QString error;
    if (!dbus.StartBus(&error)) {
        qCritical().noquote() << error;
        return 1;
    }
    QApplication app(argc, argv);
    InitOrvaneResources();
    ClientEnv env;
    if (!dbus.StartServices(&error) || !env.Start(&error) || !env.Login(&error)) {
        qCritical().noquote() << "test environment failed:" << error;
        return 1;
    }
    DesktopTest test(env);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
