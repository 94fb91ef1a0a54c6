// The start-up version check and automatic updates through the whole
// application start and stop. The stop sequence runs once per process, so
// each case runs in a child process of its own.

#include "../core/coreenv.h"
#include "account/accountmanager.h"
#include "app/application.h"
#include "base/config.h"
#include "ui/shell/updatedialog.h"
#include "updateenv.h"

namespace {

struct Case
{
    bool autoUpdate;
    int checkLatencyMs; // > 0: quit while the check waits for the server
    bool expectDialog;
};

const QMap<QString, Case>& Cases()
{
    static const QMap<QString, Case> cases{
        {QStringLiteral("auto update on"), {true, 0, true}},
        {QStringLiteral("auto update off"), {false, 0, false}},
        {QStringLiteral("quit during a slow check"), {true, 4000, false}},
    };
    return cases;
}

// Runs one case in this process; returns a failure text, or a null string.
QString RunCase(const Case& c, int argc, char** argv)
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
    config.setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                    server.BaseUrl() + QStringLiteral("/api/app/package/version/check"));
    config.setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), server.CaFile());
    config.setValue(QStringLiteral("Application"), QStringLiteral("autoUpdate"), c.autoUpdate);
    if (c.checkLatencyMs > 0) {
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("/version/check");
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
} // namespace

class TstShellStartup : public QObject
{
    Q_OBJECT
private slots:
    void startupCheck_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : Cases().keys())
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
    const QString name = QString::fromLocal8Bit(qgetenv(coretest::kChildEnv));
    if (!name.isEmpty()) {
        const QString failure = RunCase(Cases().value(name), argc, argv);
        if (!failure.isNull())
            fprintf(stderr, "FAIL: %s\n", qPrintable(failure));
        return failure.isNull() ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    TstShellStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shellstartup.moc"
