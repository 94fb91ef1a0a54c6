// Login dialog and main window against the local platform server, with the
// real account manager, database and upload library; then the shared widgets
// and the network settings dialog.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "account/accountmanager.h"
#include "app/application.h"
#include "base/config.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "platform/platform.h"
#include "serverfixture.h"
#include "shelltest.h"
#include "storage/dbmanager.h"
#include "testsupport.h"
#include "ui/common/droptouploadeventfilter.h"
#include "ui/common/menuentrywidget.h"
#include "ui/common/statusbutton.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "ui/shell/accountitemwidget.h"
#include "ui/shell/logindialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/mainwindowtitlewidget.h"
#include "ui/shell/netsettingsdialog.h"
#include "ui/videolist/videolistwidget.h"
#include "upload/sdkmanager.h"
#include "upload/uploadstatus.h"

namespace {
const QString kMain = QString::fromLatin1(orvsrv::kDemoMainEmail);
const QString kSub = QString::fromLatin1(orvsrv::kDemoSubEmail);
const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);

} // namespace

class TstShellLogin : public QObject
{
    Q_OBJECT
public:
    explicit TstShellLogin(Config* config) : config_(config) {}

private:
    Config* config_;
    QTemporaryDir dir_;
    orvtest::ServerFixture server_;
    AccountManager* accounts_ = nullptr;
    ShellServices services_;
    QPointer<MainWindow> mainWindow_;

    std::unique_ptr<LoginDialog> NewDialog()
    {
        auto dialog = std::make_unique<LoginDialog>(services_);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            return nullptr;
        dialog->OnStartupLoadingFinish();
        return dialog;
    }

    void SetAccount(LoginDialog* dialog, const QString& account)
    {
        Child<QComboBox>(dialog, "accountComboBox")->setEditText(account);
    }

    void TypePassword(LoginDialog* dialog, const QString& password)
    {
        auto* edit = Child<QLineEdit>(dialog, "passwordLineEdit");
        edit->clear();
        QTest::keyClicks(edit, password);
    }

    // A new dialog without remembered accounts, filled in; login answers come
    // `latencyMs` late.
    std::unique_ptr<LoginDialog> Filled(const QString& account, const QString& password, int latencyMs = 0)
    {
        DBManager::instance()->DeleteAllUsers();
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("login");
        slow.latencyMs = latencyMs;
        if (latencyMs > 0)
            server_->AddFault(slow);
        auto dialog = NewDialog();
        if (dialog) {
            SetAccount(dialog.get(), account);
            TypePassword(dialog.get(), password);
        }
        return dialog;
    }

    QString ErrorLabel(LoginDialog* dialog) const { return Child<QLabel>(dialog, "errorLabel")->text(); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(server_.Start(), qPrintable(server_.Error()));

        config_->RegisterDefaults();
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server_.BaseUrl());
        config_->setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                          server_.CaFile());
        Config::SetGlobal(config_);
        QVERIFY(DBManager::instance()->Open(dir_.filePath(QStringLiteral("client.db"))));
        accounts_ = new AccountManager(this);
        QCOMPARE(AccountManager::Current(), accounts_);
        services_ = {
            config_, accounts_, SDKManager::instance(), DBManager::instance(), new CategoryTreeModel(this),
            nullptr};
        services_.videos = new VideoTableModel(services_.categories, this);
        // The application opens the main window on a successful login.
        connect(accounts_, &AccountManager::SignalLoginSucceed, this, [this]() {
            mainWindow_ = new MainWindow(services_);
            mainWindow_->Init();
            mainWindow_->show();
        });
    }

    void cleanupTestCase()
    {
        delete mainWindow_;
        services_.videos->WaitForTasks();
        services_.categories->WaitForTasks();
        delete services_.videos;
        delete services_.categories;
        SDKManager::instance()->Shutdown();
        delete accounts_;
        DBManager::Close();
        server_.Stop();
    }

    void cleanup() { server_->ClearFaults(); }

    void validationMarksTheRightField_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("field");
        QTest::newRow("empty account")
            << QString() << QStringLiteral("x") << QStringLiteral("LoginDialog.EmptyAccount")
            << QStringLiteral("accountComboBox");
        QTest::newRow("empty password")
            << QStringLiteral("a@b.c") << QString() << QStringLiteral("LoginDialog.EmptyPassword")
            << QStringLiteral("passwordLineEdit");
        QTest::newRow("no at sign") << QStringLiteral("someone") << QStringLiteral("x")
                                    << QStringLiteral("LoginDialog.AccountIsNotEmail")
                                    << QStringLiteral("accountComboBox");
        QTest::newRow("ends in at sign passes")
            << QStringLiteral("someone@") << QStringLiteral("x") << QString() << QString();
    }

    void validationMarksTheRightField()
    {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, field);
        auto dialog = Filled(account, password);
        QVERIFY(dialog);
        Child<QPushButton>(dialog, "loginBtn")->click();

        auto* combo = Child<QComboBox>(dialog, "accountComboBox");
        auto* edit = Child<QLineEdit>(dialog, "passwordLineEdit");
        if (message.isEmpty()) {
            // Passed the checks: the login runs; a wrong password comes back as a server error.
            QCOMPARE(dialog->State(), int(LoginDialog::LoggingIn));
            QCOMPARE(combo->property("status").toString(), QString());
            QCOMPARE(edit->property("status").toString(), QString());
            Child<QPushButton>(dialog, "cancelBtn")->click();
            QCOMPARE(dialog->State(), int(LoginDialog::MainPage));
            return;
        }
        QCOMPARE(dialog->State(), int(LoginDialog::MainPage));
        QCOMPARE(ErrorLabel(dialog.get()), message);
        QCOMPARE(combo->property("status").toString(),
                 field == QLatin1String("accountComboBox") ? QStringLiteral("error") : QString());
        QCOMPARE(edit->property("status").toString(),
                 field == QLatin1String("passwordLineEdit") ? QStringLiteral("error") : QString());
        // The fields keep their content.
        QCOMPARE(combo->currentText(), account);
    }

    // Remembered accounts: the masked password, typing over it, and deleting
    // them one by one.
    void rememberedAccounts()
    {
        DBManager* db = DBManager::instance();
        db->DeleteAllUsers();
        QVERIFY(db->InsertUser({QStringLiteral("older@orvane.test"), QString(), false, 100}));
        QVERIFY(db->InsertUser(
            {QStringLiteral("newer@orvane.test"), QStringLiteral("stored-secret"), true, 200}));
        auto dialog = NewDialog();
        QVERIFY(dialog);
        // Newest first, then the clear-all row.
        QCOMPARE(dialog->AccountList()->count(), 3);
        QCOMPARE(dialog->AccountList()->item(0)->data(Qt::UserRole).toString(),
                 QStringLiteral("newer@orvane.test"));
        QCOMPARE(dialog->AccountList()->item(2)->data(Qt::UserRole).toString(),
                 QStringLiteral("ClearAllAccount"));
        QVERIFY(Child<AccountItemWidget>(dialog, "ClearAllAccount"));

        auto* combo = Child<QComboBox>(dialog, "accountComboBox");
        auto* edit = Child<QLineEdit>(dialog, "passwordLineEdit");
        auto* remember = Child<QCheckBox>(dialog, "rememberPasswordCheckbox");
        QCOMPARE(combo->currentText(), QStringLiteral("newer@orvane.test"));
        QCOMPARE(edit->text(), QStringLiteral("########"));
        QCOMPARE(dialog->Password(), QStringLiteral("stored-secret"));
        QVERIFY(remember->isChecked());
        auto* row = qobject_cast<AccountItemWidget*>(
            dialog->AccountList()->itemWidget(dialog->AccountList()->item(0)));
        QVERIFY(row->accountLabel()->property("selected").toBool());

        // Another account never gets the remembered password sent: the login
        // stops at the password check.
        SetAccount(dialog.get(), QStringLiteral("mallory@orvane.test"));
        QVERIFY(dialog->Password().isEmpty());
        dialog->OnLogin();
        QCOMPARE(ErrorLabel(dialog.get()), QStringLiteral("LoginDialog.EmptyPassword"));
        QCOMPARE(dialog->State(), int(LoginDialog::MainPage));
        SetAccount(dialog.get(), QStringLiteral("newer@orvane.test"));

        // Typing replaces the remembered password instead of appending to the mask.
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("typed"));
        QCOMPARE(edit->text(), QStringLiteral("typed"));
        QCOMPARE(dialog->Password(), QStringLiteral("typed"));

        // The account without a stored password clears the field and the check box.
        combo->setEditText(QStringLiteral("older@orvane.test"));
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!remember->isChecked());
        QVERIFY(dialog->Password().isEmpty());

        // Deleting the last account clears everything, the clear-all row included.
        QListWidget* list = dialog->AccountList();
        auto rowWidget = [list](int index) {
            return qobject_cast<AccountItemWidget*>(list->itemWidget(list->item(index)));
        };
        rowWidget(0)->delBtn()->click();
        QCOMPARE(list->count(), 2);
        QCOMPARE(dialog->Accounts(), QStringList{QStringLiteral("older@orvane.test")});
        QCOMPARE(db->SelectUsers()->size(), 1);
        rowWidget(0)->delBtn()->click();
        QCOMPARE(list->count(), 0);
        QVERIFY(dialog->Accounts().isEmpty());
        QVERIFY(db->SelectUsers()->isEmpty());
        QVERIFY(combo->currentText().isEmpty());
        QTRY_VERIFY(!Child<AccountItemWidget>(dialog, "ClearAllAccount"));
    }

    void wrongPasswordShowsServerTextWithAttemptsHint()
    {
        auto dialog = Filled(kSub, QStringLiteral("not-the-password"));
        QVERIFY(dialog);
        QSignalSpy failed(accounts_, &AccountManager::SignalLoginFailed);
        dialog->OnLogin();
        QCOMPARE(dialog->State(), int(LoginDialog::LoggingIn));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 15000);
        QCOMPARE(dialog->State(), int(LoginDialog::MainPage));
        const QString shown = ErrorLabel(dialog.get());
        QCOMPARE(shown, failed.first().first().toString());
        QVERIFY2(shown.contains(QStringLiteral("attempts remaining")), qPrintable(shown));
        QVERIFY(!mainWindow_);
    }

    // Enter while waiting starts no second login; cancel returns to the form
    // and the abandoned request's answer neither logs in nor shows anything.
    void waitingPage()
    {
        auto dialog = Filled(kMain, kPassword, 1500);
        QVERIFY(dialog);
        QSignalSpy succeeded(accounts_, &AccountManager::SignalLoginSucceed);
        QSignalSpy failed(accounts_, &AccountManager::SignalLoginFailed);
        QTest::keyClick(dialog.get(), Qt::Key_Return);
        QCOMPARE(dialog->State(), int(LoginDialog::LoggingIn));
        auto* stack = Child<QStackedWidget>(dialog, "stackedWidget");
        QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("waitingPage"));
        auto* cancel = Child<QPushButton>(dialog, "cancelBtn");
        QVERIFY(cancel->isVisible());
        QTest::keyClick(dialog.get(), Qt::Key_Return);
        QTest::keyClick(cancel, Qt::Key_Enter);
        QCOMPARE(dialog->State(), int(LoginDialog::LoggingIn));
        cancel->click();
        QCOMPARE(dialog->State(), int(LoginDialog::MainPage));
        QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("mainPage"));
        QTest::qWait(2500);
        QCOMPARE(succeeded.count(), 0);
        QCOMPARE(failed.count(), 0);
        QVERIFY(dialog->isVisible());
        QVERIFY(ErrorLabel(dialog.get()).isEmpty());
        QVERIFY(!mainWindow_);
    }

    void rememberedPasswordLogsInAndOpensMainWindow()
    {
        DBManager* db = DBManager::instance();
        db->DeleteAllUsers();
        QVERIFY(db->InsertUser({kMain, kPassword, true, 500}));
        LoginDialog* dialog = NewDialog().release();
        QVERIFY(dialog);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<LoginDialog> guard(dialog);
        QCOMPARE(Child<QLineEdit>(dialog, "passwordLineEdit")->text(), QStringLiteral("########"));
        QSignalSpy succeeded(accounts_, &AccountManager::SignalLoginSucceed);
        Child<QPushButton>(dialog, "loginBtn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.count(), 1, 20000);
        // The dialog closes and deletes itself; the main window is up.
        QTRY_VERIFY(guard.isNull());
        QVERIFY(mainWindow_);
        QVERIFY(mainWindow_->isVisible());
        QCOMPARE(mainWindow_->minimumSize(), QSize(960, 500));
        // 1020 x 640, shrunk to the screen where that is smaller (never below the minimum).
        const QSize area = mainWindow_->screen()->availableGeometry().size();
        QCOMPARE(mainWindow_->size(), QSize(1020, 640).boundedTo(area).expandedTo(QSize(960, 500)));
        QCOMPARE(mainWindow_->stackedWidget()->currentWidget(),
                 static_cast<QWidget*>(mainWindow_->videoListPage()));
        QCOMPARE(db->SelectUsers()->first().account, kMain);
    }

    void accountMenuShowsExpiryAndStorage()
    {
        QVERIFY(mainWindow_);
        MainWindowTitleWidget* title = mainWindow_->titleWidget();
        auto* email = Child<QLabel>(title->userInfoWidget(), "emailLabel");
        QCOMPARE(email->text(), kMain);
        auto* expiry = Child<QLabel>(title->userInfoWidget(), "expiredTimeLabel");
        const QString date = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(accounts_->expirationTime()))
                                 .toString(QStringLiteral("yyyy-MM-dd"));
        QVERIFY2(expiry->text().startsWith(date), qPrintable(expiry->text()));

        UserInfo expired;
        expired.account =
            QStringLiteral("a-very-long-address-that-cannot-fit-into-the-menu@some-long-domain.orvane.test");
        expired.expired = true;
        expired.leftDay = 0;
        expired.expirationTime =
            static_cast<quint64>(QDateTime(QDate(2025, 3, 9), QTime(12, 0)).toMSecsSinceEpoch());
        expired.space = 1024ull * 1024 * 1024;
        expired.remainBytes = 2ll * 1024 * 1024 * 1024;
        title->SetUserInfo(expired);
        QCOMPARE(expiry->text(), QStringLiteral("2025-03-09 (Expired)"));
        QCOMPARE(email->toolTip(), expired.account);
        QVERIFY(email->text() != expired.account);
        auto* bar = Child<QProgressBar>(title->userInfoWidget(), "storageBar");
        QCOMPARE(bar->value(), 100);
        QCOMPARE(bar->property("style").toString(), QStringLiteral("error"));

        UserInfo fine = expired;
        fine.account = kMain;
        fine.expired = false;
        fine.leftDay = 12;
        fine.remainBytes = 768ll * 1024 * 1024;
        title->SetUserInfo(fine);
        QVERIFY(expiry->text().contains(QStringLiteral(">12</span>")));
        QCOMPARE(bar->value(), 25);
        QCOMPARE(bar->property("style").toString(), QString());
        QVERIFY(email->toolTip().isEmpty());
        auto* storage = Child<QLabel>(title->userInfoWidget(), "storageLabel");
        QCOMPARE(storage->text(), QStringLiteral("256.00 MB/1.00 GB"));
    }

    void exitWithoutUploadsClosesWithoutAsking()
    {
        QVERIFY(mainWindow_);
        QVERIFY(!SDKManager::instance()->anyUploading());
        // Should a question come after all, decline it so that the check fails instead of hanging.
        MsgBoxAnswer answer(QDialogButtonBox::Cancel);
        QVERIFY(mainWindow_->close());
        QVERIFY(!mainWindow_->isVisible());
        QTest::qWait(300);
        QCOMPARE(answer.shown, 0);
    }

    void exitWithRunningUploadAsksAndPauses()
    {
        QVERIFY(mainWindow_);
        mainWindow_->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainWindow_));

        // A real upload, slowed down by the server so that it is still running.
        orvsrv::FaultRule slow;
        slow.latencyMs = 1500;
        server_->AddFault(slow);
        const QString file =
            orvtest::WriteRandomFile(dir_.filePath(QStringLiteral("lecture.mp4")), 8 << 20, 1);
        SDKManager* uploads = SDKManager::instance();
        QVERIFY(uploads->AddUpload(static_cast<qint64>(accounts_->cateId()), file, QStringLiteral("Lecture"),
                                   QString(), QString(), QString(), 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(uploads->anyUploading(), 10000);

        // OK pauses every upload, so that the next run resumes them (declining
        // is covered with the tray).
        MsgBoxAnswer confirm(QDialogButtonBox::Ok);
        QVERIFY(mainWindow_->close());
        QCOMPARE(confirm.shown, 1);
        QCOMPARE(
            confirm.text,
            QStringLiteral("The file has not been uploaded successfully. Are you sure you want to exit?"));
        // Titled and typed as every other confirmation of the program.
        QCOMPARE(confirm.title, QStringLiteral("SystemTip"));
        QCOMPARE(confirm.type, QStringLiteral("Info"));
        QVERIFY(!uploads->anyUploading());
        for (const SharedUploadTaskPtr& task : uploads->tasks())
            QCOMPARE(int(task->status()), int(UploadStatus::Paused));

        // The settings menu starts and suspends everything, after the menu has closed.
        QMenu* settings = mainWindow_->titleWidget()->settingsMenu();
        auto* startAll = Child<MenuEntryWidget>(settings, "startAllBtn");
        auto* suspendAll = Child<MenuEntryWidget>(settings, "suspendAllBtn");
        QVERIFY(startAll && suspendAll);
        QVERIFY(Child<MenuEntryWidget>(settings, "preferencesBtn")->isEnabled());
        QTest::mouseClick(startAll, Qt::LeftButton);
        QVERIFY(!uploads->anyUploading()); // queued: runs once the menu's click has been handled
        QTRY_VERIFY(uploads->anyUploading());
        QTest::mouseClick(suspendAll, Qt::LeftButton);
        QTRY_VERIFY(!uploads->anyUploading());
        server_->ClearFaults();
    }

    // The shared widgets, when no login is to follow.
    void toastOverHiddenParentIsNotShown()
    {
        QWidget parent;
        MessageCapture log;
        QVERIFY(!ShowToastInParent(&parent, QStringLiteral("hidden")));
        QCOMPARE(parent.findChildren<Toast*>().size(), 0);
        QCOMPARE(log.Count(QtDebugMsg, QStringLiteral("ShowToastInParent parent is invisible, parent:")), 1);
    }

    void toastFadesAndIsGoneAfterTwoAndAHalfSeconds()
    {
        QWidget parent;
        parent.resize(400, 300);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QElapsedTimer clock;
        clock.start();
        QPointer<Toast> toast = ShowToastInParent(&parent, QStringLiteral("saved"), 0, Qt::AlignCenter, true);
        QVERIFY(toast && toast->isVisible());
        QTest::qWait(1500);
        QVERIFY2(toast && toast->isVisible(), "the toast must stay for its waiting time");
        QCOMPARE(toast->windowOpacity(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 4000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= Toast::kWaitMs + Toast::kFadeMs - 100 && elapsed < 3500,
                 qPrintable(QString::number(elapsed)));
    }

    void toastPlacementFollowsAlignment()
    {
        const QRect parent(100, 200, 600, 400);
        const QSize toast(200, 40);
        // 160 = AlignTop | AlignVCenter: horizontally centred, at the top edge.
        const QPoint top = Toast::PlaceInRect(parent, toast, Qt::AlignTop | Qt::AlignVCenter);
        QCOMPARE(top.x(), 100 + (600 - 200) / 2);
        QVERIFY(top.y() >= 200 && top.y() < 200 + 40);
        QCOMPARE(Toast::PlaceInRect(parent, toast, Qt::AlignCenter), QPoint(300, 380));
        const QPoint corner = Toast::PlaceInRect(parent, toast, Qt::AlignRight | Qt::AlignBottom);
        QVERIFY(corner.x() + toast.width() <= 700 && corner.x() + toast.width() > 700 - 40);
        QVERIFY(corner.y() + toast.height() <= 600 && corner.y() + toast.height() > 600 - 40);
    }

    // Plain text is not offered to the target at all; a URL list without URLs
    // passes the drag but is refused at the drop; files are handed over.
    void dropToUpload_data()
    {
        QTest::addColumn<bool>("uriList");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("entered");
        QTest::newRow("plain text") << false << QList<QUrl>() << false;
        QTest::newRow("empty URL list") << true << QList<QUrl>() << true;
        QTest::newRow("files") << true
                               << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.mp4")),
                                              QUrl::fromLocalFile(QStringLiteral("/tmp/b.mov"))}
                               << true;
    }
    void dropToUpload()
    {
        QFETCH(bool, uriList);
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, entered);
        QWidget target;
        QList<QUrl> received;
        int calls = 0;
        new DropToUploadEventFilter(&target, [&](const QList<QUrl>& u) { received = u, ++calls; });
        QVERIFY(target.acceptDrops());
        QMimeData data;
        data.setText(QStringLiteral("just some text"));
        if (uriList)
            data.setData(QStringLiteral("text/uri-list"), QByteArray());
        if (!urls.isEmpty())
            data.setUrls(urls);
        MessageCapture log;
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&target, &enter);
        QCOMPARE(enter.isAccepted(), entered);
        if (!entered)
            return;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        QCOMPARE(calls, urls.isEmpty() ? 0 : 1);
        QCOMPARE(received, urls);
        QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("mimeData hasUrls() is false")),
                 urls.isEmpty() ? 1 : 0);
        QCOMPARE(log.Count(QtWarningMsg, QStringLiteral("just some text")), urls.isEmpty() ? 1 : 0);
    }

    void explorerSelectsWithTwoArguments_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("spaces") << "C:/Users/Jane Doe/My Videos/export 1.csv"
                                << "C:\\Users\\Jane Doe\\My Videos\\export 1.csv";
        QTest::newRow("native already") << "D:\\vids.txt"
                                        << "D:\\vids.txt";
        QTest::newRow("comma and CJK")
            << QStringLiteral("E:/导出/a,b.csv") << QStringLiteral("E:\\导出\\a,b.csv");
    }
    void explorerSelectsWithTwoArguments()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(platform::ExplorerSelectArguments(path), (QStringList{QStringLiteral("/select,"), shown}));
    }

    void titleBarMaximiseStoresNormalGeometry()
    {
        QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
        auto* layout = new QVBoxLayout(&window);
        auto* bar = new TitleBar(&window);
        bar->SetSizeGripEnabled(true);
        layout->addWidget(bar);
        layout->addStretch(1);
        window.setGeometry(50, 60, 420, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(bar->minimumBtn()->isVisible() && bar->maximumBtn()->isVisible());
        const QRect normal = window.geometry();

        bar->maximumBtn()->click();
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(window.property("windowNormalGeometry").toRect(), normal);
        QCOMPARE(bar->maximumBtn()->toolTip(), QStringLiteral("Restore"));
        // A double click on the bar restores.
        QTest::mouseDClick(bar->titleLabel(), Qt::LeftButton);
        QTRY_VERIFY(!window.isMaximized());
        QCOMPARE(bar->maximumBtn()->toolTip(), QStringLiteral("Maximum"));
        QVERIFY(!bar->maximumBtn()->isChecked());
        // The size grip follows the bottom-right corner.
        window.resize(500, 360);
        auto* grip = Child<QWidget>(&window, "sizeGrip");
        QVERIFY(grip);
        QCOMPARE(grip->geometry().bottomRight(), window.rect().bottomRight());

        // A window without the hints shows no such buttons.
        QWidget dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        auto* dialogBar = new TitleBar(&dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialogBar->minimumBtn()->isVisible() && !dialogBar->maximumBtn()->isVisible());
    }

    // The icon form carries its two texts as tooltips (the text form is
    // exercised by the transfer page).
    void statusButtonTooltipFollowsCheckState()
    {
        StatusButton tip(nullptr, QStringLiteral("playBtn"), QStringLiteral("Play"), QStringLiteral("Pause"),
                         QSize(24, 24), true);
        QVERIFY(tip.text().isEmpty());
        QCOMPARE(tip.toolTip(), QStringLiteral("Play"));
        tip.click();
        QCOMPARE(tip.toolTip(), QStringLiteral("Pause"));
    }

    void msgBoxReturnsClickedButtonAndMarksType()
    {
        {
            MsgBoxAnswer cancel(QDialogButtonBox::Cancel);
            QCOMPARE(MsgBox::warning(nullptr, QString(), QStringLiteral("Leave?"),
                                     QDialogButtonBox::Ok | QDialogButtonBox::Cancel),
                     int(QDialogButtonBox::Cancel));
            QCOMPARE(cancel.title, QStringLiteral("MsgBox.DefaultTitle"));
            QCOMPARE(cancel.buttonTypes, QStringList({QStringLiteral("Warning"), QStringLiteral("Warning")}));
        }
        MsgBoxAnswer ok(QDialogButtonBox::Ok);
        QCOMPARE(MsgBox::information(nullptr, QStringLiteral("SystemTip"), QStringLiteral("Done"),
                                     QDialogButtonBox::Ok | QDialogButtonBox::Cancel),
                 int(QDialogButtonBox::Ok));
        QCOMPARE(ok.title, QStringLiteral("SystemTip"));
    }

    // A blank host is refused with a toast and nothing stored; a full proxy is
    // stored trimmed and shown again by the next dialog; no proxy removes it.
    void netSettingsApply_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("blank host") << "   ";
        QTest::newRow("proxy") << "  127.0.0.1 ";
    }
    void netSettingsApply()
    {
        QFETCH(QString, host);
        const QString g = QStringLiteral("NetWorkManager");
        config_->remove(g); // after the last login: the group holds the server's CA
        NetSettingsDialog dialog(*config_, SDKManager::instance());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* address = Child<QLineEdit>(&dialog, "addressLineedit");
        QVERIFY(!address->isEnabled());
        Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(1);
        QVERIFY(address->isEnabled());
        address->setText(host);
        auto* port = Child<QLineEdit>(&dialog, "portLineedit");
        // The validator keeps the port within 0..65535.
        QTest::keyClicks(port, QStringLiteral("65536"));
        QCOMPARE(port->text(), QStringLiteral("6553"));
        port->clear();
        QTest::keyClicks(port, QStringLiteral("8888"));
        Child<QLineEdit>(&dialog, "usernameLineedit")->setText(QStringLiteral("proxyuser"));
        Child<QLineEdit>(&dialog, "passwordLineedit")->setText(QStringLiteral("secret"));
        dialog.OnApply();
        if (host.trimmed().isEmpty()) {
            QVERIFY(dialog.isVisible() && dialog.result() != QDialog::Accepted);
            QVERIFY(!config_->contains(g, QStringLiteral("proxyType")));
            const QList<Toast*> toasts = Child<QWidget>(&dialog, "settingsWidget")->findChildren<Toast*>();
            QCOMPARE(toasts.size(), 1);
            QCOMPARE(Child<QLabel>(toasts.first(), "msg")->text(),
                     QStringLiteral("NetSettingsDialog.HostIsEmpty!"));
            return;
        }
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 1);
        QCOMPARE(config_->value(g, QStringLiteral("proxyHostName")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(config_->value(g, QStringLiteral("proxyPort")).toUInt(), 8888u);
        QCOMPARE(config_->value(g, QStringLiteral("proxyUser")).toString(), QStringLiteral("proxyuser"));
        QCOMPARE(config_->value(g, QStringLiteral("proxyPassword")).toString(), QStringLiteral("secret"));
        NetSettingsDialog again(*config_, SDKManager::instance());
        QCOMPARE(Child<QComboBox>(&again, "proxyTypeComboBox")->currentIndex(), 1);
        QCOMPARE(Child<QLineEdit>(&again, "portLineedit")->text(), QStringLiteral("8888"));
        // No proxy, applied, removes the details from the file.
        Child<QComboBox>(&again, "proxyTypeComboBox")->setCurrentIndex(0);
        QVERIFY(!Child<QLineEdit>(&again, "addressLineedit")->isEnabled());
        again.OnApply();
        QCOMPARE(config_->value(g, QStringLiteral("proxyType")).toInt(), 0);
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"})
            QVERIFY2(!config_->contains(g, QString::fromLatin1(key)), key);
    }
};

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir configDir;
    Config config(configDir.filePath(QStringLiteral("global.ini")));
    Application app(config, argc, argv);
    TstShellLogin test(&config);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shelllogin.moc"
