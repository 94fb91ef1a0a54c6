// Update dialog and preferences against the local platform server, with the
// real upload manager, upload library and application settings path; and the
// start-up version check through the whole application start and stop, which
// runs once per process, so each of its cases runs in a child process.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "../core/coreenv.h"
#include "../transfer/transferenv.h"
#include "app/application.h"
#include "shelltest.h"
#include "ui/shell/preferencedialog.h"
#include "ui/shell/updatedialog.h"
#include "updateenv.h"

namespace {
const QString kCheckPath = QStringLiteral("/api/app/package/version/check");

orvsrv::FaultRule Fault(const QString& pattern)
{
    orvsrv::FaultRule r;
    r.pathPattern = pattern;
    return r;
}

struct StartupCase
{
    bool autoUpdate;
    int checkLatencyMs; // > 0: quit while the check waits for the server
    bool expectDialog;
};

const QMap<QString, StartupCase>& StartupCases()
{
    static const QMap<QString, StartupCase> cases{
        {QStringLiteral("auto update on"), {true, 0, true}},
        {QStringLiteral("auto update off"), {false, 0, false}},
        {QStringLiteral("quit during a slow check"), {true, 4000, false}},
    };
    return cases;
}

// Runs one case in this process; returns a failure text, or a null string.
QString RunStartupCase(const StartupCase& c, int argc, char** argv)
{
    QTemporaryDir home;
    updatetest::UseHome(home.path());
    Config config(home.filePath(QStringLiteral("global.ini")));
    Config::SetGlobal(&config);
    Application app(config, argc, argv);
    orvtest::ServerFixture server;
    if (!server.Start())
        return server.Error();
    config.setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server.BaseUrl());
    config.setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"), server.BaseUrl() + kCheckPath);
    config.setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), server.CaFile());
    config.setValue(QStringLiteral("Application"), QStringLiteral("autoUpdate"), c.autoUpdate);
    if (c.checkLatencyMs > 0) {
        orvsrv::FaultRule slow = Fault(kCheckPath);
        slow.latencyMs = c.checkLatencyMs;
        server->AddFault(slow);
    }

    QSignalSpy finished(&app, &Application::SignalStartupLoadingFinish);
    if (!app.Init())
        return QStringLiteral("Init failed");
    if (c.checkLatencyMs > 0) {
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        app.Stop();
        if (timer.elapsed() > c.checkLatencyMs / 2)
            return QStringLiteral("stopping took %1 ms").arg(timer.elapsed());
        return QString();
    }
    if (!finished.wait(10000))
        return QStringLiteral("no SignalStartupLoadingFinish");
    if (UpdateDialog::Current())
        return QStringLiteral("update dialog over the login dialog");

    app.accountManager()->Login(QString::fromLatin1(orvsrv::kDemoMainEmail),
                                QString::fromLatin1(orvsrv::kDemoPassword), false);
    if (!QTest::qWaitFor([&app] { return app.mainWindow() != nullptr; }, 20000))
        return QStringLiteral("no main window");
    QTest::qWait(200);
    UpdateDialog* dialog = UpdateDialog::Current();
    if ((dialog != nullptr) != c.expectDialog)
        return QStringLiteral("update dialog shown: %1").arg(dialog != nullptr);
    if (dialog && dialog->State() != UpdateDialog::NewVersion)
        return QStringLiteral("update dialog in state %1").arg(dialog->State());
    return QString();
}

// Catches the queued request to quit, so that the test keeps running.
class QuitCatcher : public QObject
{
public:
    QuitCatcher() { qApp->installEventFilter(this); }
    ~QuitCatcher() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::MetaCall) {
            ++count;
            return true;
        }
        return false;
    }
};
} // namespace

class TstShellUpdate : public QObject
{
    Q_OBJECT
public:
    TstShellUpdate(Application* app, const QString& home) : app_(app), config_(app->config()), home_(home) {}

private:
    Application* app_;
    Config* config_;
    QString home_;
    orvtest::ServerFixture newer_{updatetest::Offering(QStringLiteral("2.4.3"))};
    orvtest::ServerFixture current_{updatetest::Offering(QStringLiteral("2.4.2"))};
    std::unique_ptr<AccountManager> accounts_;

    UpdateDialog* OpenChecked(orvtest::ServerFixture& server)
    {
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                          server.BaseUrl() + kCheckPath);
        UpdateDialog* dialog = UpdateDialog::ShowUpdateDialog(config_, SDKManager::instance());
        if (dialog->State() != UpdateDialog::Checking)
            return nullptr;
        (void)QTest::qWaitFor([dialog] { return dialog->State() != UpdateDialog::Checking; }, 10000);
        return dialog;
    }

    QString Marker() const
    {
        return home_ + QStringLiteral("/data/orvane-upload-client-installer/2.4.3/INSTALLED");
    }

    void AddUploads(int count, qint64 size)
    {
        SDKManager* uploads = SDKManager::instance();
        for (int i = 0; i < count; ++i) {
            const QString file = orvtest::WriteRandomFile(
                home_ + QStringLiteral("/files/clip%1-%2.mp4").arg(QTest::currentTestFunction()).arg(i), size,
                static_cast<quint32>(i + 1));
            QVERIFY(uploads->AddUpload(static_cast<qint64>(accounts_->cateId()), file, QStringLiteral("Clip"),
                                       QString(), QString(), QString(), 0, 0));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(newer_.Start(), qPrintable(newer_.Error()));
        QVERIFY2(current_.Start(), qPrintable(current_.Error()));
        const QString ca = updatetest::CaBundle(home_ + QStringLiteral("/ca.pem"), {&newer_, &current_});
        QVERIFY(!ca.isEmpty());

        config_->RegisterDefaults();
        Config::SetGlobal(config_);
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), newer_.BaseUrl());
        config_->setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), ca);
        QVERIFY(DBManager::instance()->Open(home_ + QStringLiteral("/client.db")));
        accounts_ = std::make_unique<AccountManager>();
        bool ok = false;
        const QString failure = orvtest::LoginAndWait(*accounts_, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                                      QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
        QVERIFY2(ok, qPrintable(failure));
    }

    void cleanup()
    {
        newer_->ClearFaults();
        current_->ClearFaults();
        delete UpdateDialog::Current();
        UpdateDialog::AbortAndWaitForWorkers();
        // Unthrottled first, so that no upload is left creeping on the server.
        config_->setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 0);
        SDKManager::instance()->ApplySettings(*config_);
        QVERIFY(transfertest::ResetQueue());
    }

    void cleanupTestCase()
    {
        SDKManager::Destroy();
        accounts_.reset();
        DBManager::Close();
    }

    void settingsReachRunningUploads()
    {
        const QString group = QStringLiteral("UploadTaskManager");
        config_->setValue(group, QStringLiteral("uploadTasksNum"), 1);
        config_->setValue(group, QStringLiteral("limitedSpeedValue"), 800);
        SDKManager::instance()->ApplySettings(*config_);
        SDKManager* uploads = SDKManager::instance();
        AddUploads(5, 8 * 1024 * 1024);
        QTRY_VERIFY_WITH_TIMEOUT(uploads->anyUploading(), 10000);
        auto* dialog = new PreferenceDialog(*config_, SDKManager::instance());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        Child<QComboBox>(dialog, "uploadTasksNumComboBox")->setCurrentText(QStringLiteral("3"));
        QCOMPARE(config_->value(group, QStringLiteral("uploadTasksNum")).toInt(), 3);
        QCOMPARE(uploads->maxConcurrent(), 3);
        auto running = [uploads] {
            int n = 0;
            for (const SharedUploadTaskPtr& task : uploads->tasks())
                n += task->status() == UploadStatus::Uploading ? 1 : 0;
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(running(), 3, 10000);

        // The rate the library reports for the running uploads, in KB/s over three
        // seconds. The server only counts what it has flushed, a mebibyte at a time
        // per upload, which is too coarse for a throttled upload.
        auto rate = [uploads] {
            auto sent = [uploads] {
                qint64 n = 0;
                for (const SharedUploadTaskPtr& task : uploads->tasks())
                    n += static_cast<qint64>(task->uploadBytes());
                return n;
            };
            const qint64 before = sent();
            QTest::qWait(3000);
            return (sent() - before) / 3072;
        };
        const qint64 fast = rate();
        Child<QRadioButton>(dialog, "limitedSpeedRadioButton")->click();
        auto* field = Child<QLineEdit>(dialog, "limitedSpeedValueLineEdit");
        field->clear();
        QTest::keyClicks(field, QStringLiteral("100"));
        QVERIFY(dialog->close());
        QCOMPARE(config_->value(group, QStringLiteral("limitedSpeedValue")).toInt(), 100);
        QCOMPARE(ORVGetSdkTrafficLimit(), 100);
        QTest::qWait(1000); // what was already handed to the connection drains first
        const qint64 slow = rate();
        qInfo("upload rate %lld KB/s, then %lld KB/s", fast, slow);
        QVERIFY2(fast > 2 * slow && slow > 0 && slow < 300,
                 qPrintable(QStringLiteral("%1 KB/s, then %2 KB/s").arg(fast).arg(slow)));
    }

    void isNewerVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QString>("warning");
        QTest::newRow("2.4.3") << "2.4.3" << true << QString();
        QTest::newRow("3.0.0") << "3.0.0" << true << QString();
        QTest::newRow("2.10.0") << "2.10.0" << true << QString();
        QTest::newRow("2.4.2") << "2.4.2" << false << QString();
        QTest::newRow("2.3.9") << "2.3.9" << false << QString();
        QTest::newRow("1.9.9") << "1.9.9" << false << QString();
        QTest::newRow("v2.5.0") << "v2.5.0" << false
                                << "ParseVersion result(2.5.0) is different from server(v2.5.0)";
        QTest::newRow("empty") << "" << false << "ParseVersion failed, input illegal:";
    }

    void isNewerVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, newer);
        QFETCH(QString, warning);
        MessageCapture log;
        QCOMPARE(UpdateDialog::IsNewerVersion(version), newer);
        if (!warning.isEmpty())
            QCOMPARE(log.Count(QtWarningMsg, warning), 1);
    }

    void checkOutcome_data()
    {
        QTest::addColumn<bool>("offerNewer");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("button");
        QTest::newRow("up to date") << false << 0 << int(UpdateDialog::UpToDate) << "Ok";
        QTest::newRow("newer") << true << 0 << int(UpdateDialog::NewVersion) << QString();
        QTest::newRow("failing, then recheck")
            << true << 1 << int(UpdateDialog::CheckFailedPage) << "recheck";
    }

    void checkOutcome()
    {
        QFETCH(bool, offerNewer);
        QFETCH(int, failures);
        QFETCH(int, state);
        QFETCH(QString, button);
        orvtest::ServerFixture& server = offerNewer ? newer_ : current_;
        orvsrv::FaultRule fail = Fault(kCheckPath);
        fail.failNextN = failures;
        fail.httpStatus = 503;
        if (failures)
            server->AddFault(fail);
        UpdateDialog* dialog = OpenChecked(server);
        QVERIFY(dialog);
        QCOMPARE(dialog->State(), state);
        auto* checkButton = Child<QPushButton>(dialog, "checkPageButton");
        if (!button.isEmpty())
            QCOMPARE(checkButton->text(), button);
        if (state == UpdateDialog::NewVersion) {
            QVERIFY(Child<QLabel>(dialog, "newVersionLabel")->text().contains(QStringLiteral("2.4.3")));
            QVERIFY(Child<QTextBrowser>(dialog, "newVersionDescTextEdit")->toPlainText().contains("2.4.3"));
        }
        if (failures) {
            QVERIFY(!Child<QLabel>(dialog, "checkingLoadingLabel")->isVisible());
            checkButton->click();
            QCOMPARE(dialog->State(), int(UpdateDialog::Checking));
            QTRY_COMPARE(dialog->State(), int(UpdateDialog::NewVersion));
        }
    }

    void cancelledCheckIgnoresLateAnswer()
    {
        orvsrv::FaultRule slow = Fault(kCheckPath);
        slow.latencyMs = 1500;
        newer_->AddFault(slow);
        config_->setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                          newer_.BaseUrl() + kCheckPath);
        UpdateDialog dialog(config_, SDKManager::instance());
        dialog.show();
        dialog.StartCheck();
        Child<QPushButton>(&dialog, "checkPageButton")->click();
        QVERIFY(!dialog.isVisible());
        QTest::qWait(2000);
        QCOMPARE(dialog.State(), int(UpdateDialog::Checking));
    }

    void downloadShowsProgressInstallsAndQuits()
    {
        QFile::remove(Marker());
        // Slow enough to be seen downloading for a second or two.
        orvsrv::FaultRule slow = Fault(QStringLiteral("^/files/installer/"));
        slow.slowBodyBytesPerSec = 400 * 1024;
        newer_->AddFault(slow);
        UpdateDialog* dialog = OpenChecked(newer_);
        QVERIFY(dialog && dialog->State() == UpdateDialog::NewVersion);
        QCOMPARE(QFileInfo(dialog->InstallerPath()).fileName(),
                 QStringLiteral("orvane-upload-client-2.4.3-linux.run"));
        QCOMPARE(QFileInfo(dialog->InstallerPath()).absolutePath(), home_ + QStringLiteral("/Downloads"));

        QStringList texts;
        auto* label = Child<QLabel>(dialog, "downloadInfoLabel");
        connect(dialog, &UpdateDialog::SignalDownloadProgress, this, [&] { texts << label->text(); });
        Child<QPushButton>(dialog, "updateButton")->click();
        QCOMPARE(dialog->State(), int(UpdateDialog::Downloading));
        QVERIFY(label->text().contains(QStringLiteral(">0%<")));
        // An unknown total leaves the text as it is.
        const QString before = label->text();
        emit dialog->SignalDownloadProgress(12345, 0);
        QCOMPARE(label->text(), before);

        QTRY_COMPARE_WITH_TIMEOUT(dialog->State(), int(UpdateDialog::Install), 15000);
        QVERIFY(texts.filter(QStringLiteral("Downloading update")).size() > 2);
        QVERIFY(texts.last().contains(QStringLiteral(">100%<")));
        QVERIFY(QFileInfo(dialog->InstallerPath()).size() > 500 * 1024);

        // With an upload running the client asks first: declining keeps it
        // running and the installer unstarted, confirming installs and quits.
        QFile(dialog->InstallerPath()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        config_->setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 100);
        SDKManager::instance()->ApplySettings(*config_);
        AddUploads(1, 4 * 1024 * 1024);
        QTRY_VERIFY_WITH_TIMEOUT(SDKManager::instance()->anyUploading(), 10000);
        QuitCatcher quit;
        for (auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            MsgBoxAnswer box(answer);
            Child<QPushButton>(dialog, "installButton")->click();
            QCOMPARE(box.shown, 1);
            if (answer == QDialogButtonBox::Cancel) {
                QTest::qWait(500);
                QCOMPARE(quit.count, 0);
                QVERIFY(!QFile::exists(Marker()) && !QFileInfo(dialog->InstallerPath()).isExecutable());
                QVERIFY(SDKManager::instance()->anyUploading());
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Marker()), 10000);
        QTRY_COMPARE(quit.count, 1);
        QVERIFY(QFileInfo(dialog->InstallerPath()).isExecutable());
    }

    void interruptedDownload_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled, asking first") << true;
        QTest::newRow("cut short by the server, then retried") << false;
    }

    void interruptedDownload()
    {
        QFETCH(bool, cancel);
        orvsrv::FaultRule fault = Fault(QStringLiteral("^/files/installer/"));
        if (cancel)
            fault.slowBodyBytesPerSec = 64 * 1024;
        else
            fault.dropResponseAfterBytes = 100000;
        newer_->AddFault(fault);
        QPointer<UpdateDialog> dialog = OpenChecked(newer_);
        QVERIFY(dialog && dialog->State() == UpdateDialog::NewVersion);
        const QString path = dialog->InstallerPath();
        QFile::remove(path);
        auto* button = Child<QPushButton>(dialog, "downloadPageButton");
        Child<QPushButton>(dialog, "updateButton")->click();
        if (cancel) {
            QTRY_VERIFY(Child<QLabel>(dialog, "downloadInfoLabel")
                            ->text()
                            .contains(QRegularExpression(">[1-9]\\d*%<")));
            for (auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
                MsgBoxAnswer box(answer);
                button->click();
                QCOMPARE(box.shown, 1);
                QVERIFY(answer == QDialogButtonBox::Ok || dialog->State() == UpdateDialog::Downloading);
            }
            QTRY_VERIFY(!dialog);
            UpdateDialog::AbortAndWaitForWorkers();
        } else {
            // Fewer bytes than announced: a failure, never an install.
            QTRY_COMPARE_WITH_TIMEOUT(dialog->State(), int(UpdateDialog::DownloadFailed), 15000);
            QCOMPARE(button->text(), QStringLiteral("Retry"));
        }
        // The partial file is gone.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden), QStringList());
        if (!cancel) {
            newer_->ClearFaults();
            button->click();
            QTRY_COMPARE_WITH_TIMEOUT(dialog->State(), int(UpdateDialog::Install), 15000);
        }
    }

    // The preferences store no proxy at once and keep the details (the network
    // settings dialog removes them, see tst_shelllogin).
    void proxyTypeNoneKeepsTheDetails()
    {
        const QString group = QStringLiteral("NetWorkManager");
        const QStringList details{QStringLiteral("proxyHostName"), QStringLiteral("proxyPort"),
                                  QStringLiteral("proxyUser"), QStringLiteral("proxyPassword")};
        config_->setValue(group, QStringLiteral("proxyType"), 1);
        for (const QString& key : details)
            config_->setValue(group, key, QStringLiteral("1080"));
        PreferenceDialog dialog(*config_, SDKManager::instance());
        auto* type = Child<QComboBox>(&dialog, "proxyTypeComboBox");
        QCOMPARE(type->currentIndex(), 1);
        QVERIFY(Child<QLineEdit>(&dialog, "addressLineedit")->isEnabled());
        type->setCurrentIndex(0);
        QVERIFY(!Child<QLineEdit>(&dialog, "addressLineedit")->isEnabled());
        QCOMPARE(config_->value(group, QStringLiteral("proxyType")).toInt(), 0);
        for (const QString& key : details)
            QVERIFY(config_->contains(group, key));
    }

    // The entry itself is checked with the settings store.
    void startWithSessionFollowsTheCheckBox()
    {
        PreferenceDialog dialog(*config_, SDKManager::instance());
        auto* box = Child<QCheckBox>(&dialog, "openStartupCheckBox");
        QVERIFY(!box->isChecked());
        box->click();
        QVERIFY(config_->IsAutoStart());
        PreferenceDialog again(*config_, SDKManager::instance());
        QVERIFY(Child<QCheckBox>(&again, "openStartupCheckBox")->isChecked());
        box->click();
        QVERIFY(!config_->IsAutoStart());
    }

    void speedLimitLoads_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("limited");
        QTest::newRow("below the minimum") << 50 << false;
        QTest::newRow("minimum") << 100 << true;
        QTest::newRow("maximum") << 102400 << true;
        QTest::newRow("above the maximum") << 102401 << false;
        QTest::newRow("unlimited") << 0 << false;
    }

    void speedLimitLoads()
    {
        QFETCH(int, stored);
        QFETCH(bool, limited);
        config_->setValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), stored);
        PreferenceDialog dialog(*config_, SDKManager::instance());
        QCOMPARE(Child<QRadioButton>(&dialog, "limitedSpeedRadioButton")->isChecked(), limited);
        QCOMPARE(Child<QRadioButton>(&dialog, "unlimitedSpeedRadioButton")->isChecked(), !limited);
        auto* field = Child<QLineEdit>(&dialog, "limitedSpeedValueLineEdit");
        QCOMPARE(field->isEnabled(), limited);
        QCOMPARE(field->text(), limited ? QString::number(stored) : QString());
    }

    void startupCheck_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : StartupCases().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void startupCheck()
    {
        QFETCH(QString, name);
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QVERIFY(coretest::RunChild(child, name));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAll().right(3000).constData());
    }
};

int main(int argc, char** argv)
{
    const QString startupCase = QString::fromLocal8Bit(qgetenv(coretest::kChildEnv));
    if (!startupCase.isEmpty()) {
        const QString failure = RunStartupCase(StartupCases().value(startupCase), argc, argv);
        if (!failure.isNull())
            fprintf(stderr, "FAIL: %s\n", qPrintable(failure));
        return failure.isNull() ? 0 : 1;
    }
    QTemporaryDir home;
    if (!updatetest::UseHome(home.path()))
        return 2;
    Config config(home.filePath(QStringLiteral("global.ini")));
    Application app(config, argc, argv);
    TstShellUpdate test(&app, home.path());
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shellupdate.moc"
