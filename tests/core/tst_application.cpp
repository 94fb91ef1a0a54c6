// The application object: construction, Init, the theme, the stop sequence
// that runs once, and the restart on exit code 1024. The event loop paths run
// in child copies of this executable (ORVANE_TST_CHILD).

#include "coreenv.h"

#include "app/application.h"
#include "app/diagnostics.h"
#include "base/config.h"
#include "base/logging.h"
#include "base/paths.h"
#include "storage/dbmanager.h"
#include "ui/common/stylehelper.h"
#include "ui/common/theme.h"
#include "upload/sdkmanager.h"

#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace coretest;

namespace {

const QStringList kRestartArgs{QStringLiteral("alpha"), QStringLiteral("b c"), QStringLiteral("--flag=ü"),
                               QString()};

// The copy started by a restart: records its arguments and ends at once, so
// the test cannot loop.
int RecordArguments(int argc, char** argv)
{
    QFile f(QString::fromLocal8Bit(qgetenv(kPathEnv)));
    if (!f.open(QIODevice::WriteOnly))
        return 3;
    for (int i = 1; i < argc; ++i) {
        f.write(argv[i]);
        f.write("\n");
    }
    return 0;
}

QStringList g_captured;
void Capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_captured << message;
}

} // namespace

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void initBringsServicesUp()
    {
        auto* app = Application::instance();
        QSignalSpy loading(app, &Application::SignalStartupLoadingFinish);
        QVERIFY(!app->config()->hasDefault("UploadTaskManager", "uploadTasksNum"));
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("^load translator file failed: .*")));
        QTest::ignoreMessage(QtInfoMsg, "App Init");
        QVERIFY(app->Init());
        QVERIFY(app->config()->hasDefault("UploadTaskManager", "uploadTasksNum"));
        QCOMPARE(app->config()->value("UploadTaskManager", "uploadTasksNum").toInt(), 3);
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("OrvaneUploadClient"));
        QVERIFY(loading.count() == 1 || loading.wait(5000));
        // Every service the windows are built with is there, settings applied.
        const ShellServices& services = app->services();
        QVERIFY(services.accounts && services.database && services.categories && services.videos);
        QCOMPARE(services.uploads, SDKManager::instance());
        QCOMPARE(services.uploads->maxConcurrent(), 3);
        QVERIFY(services.uploads->autoStart());
    }

    // A bound widget follows its style sheet files on every reload.
    void themeLoadsAndReloads()
    {
        const QString themes = QCoreApplication::applicationDirPath() + QStringLiteral("/themes");
        const bool madeDir = !QFileInfo::exists(themes);
        QVERIFY(QDir().mkpath(themes));
        const QString file = themes + QStringLiteral("/TstCoreApplication.qss");
        QVERIFY(WriteAll(file, QStringLiteral("QLabel { qproperty-text: \"标题\"; }\n").toUtf8()));
        QWidget widget;
        BindStyleSheet(&widget, {QStringLiteral("TstCoreApplication.qss")});
        QCOMPARE(widget.styleSheet(), QStringLiteral("QLabel { qproperty-text: \"标题\"; }\n"));
        QVERIFY(WriteAll(file, "QLabel { color: red; }"));
        Theme::Instance().Reload();
        QCOMPARE(widget.styleSheet(), QStringLiteral("QLabel { color: red; }"));
        QFile::remove(file);
        if (madeDir)
            QDir().rmdir(themes);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^load qss file failed \".*/themes/Missing.qss\" 5$")));
        QVERIFY(Theme::LoadQss(QStringLiteral("Missing.qss")).isEmpty());
    }

    void applicationInfoBlock()
    {
        g_captured.clear();
        const QtMessageHandler previous = qInstallMessageHandler(Capture);
        LogApplicationInfo();
        qInstallMessageHandler(previous);
        const QStringList lines = g_captured;
        const int screens = QGuiApplication::screens().size();
        QVERIFY(screens >= 1);
        QCOMPARE(lines.size(), 3 + screens * 20);
        QVERIFY2(lines[0].startsWith(QStringLiteral("Application info: ") +
                                     QCoreApplication::applicationName() + " " +
                                     QCoreApplication::applicationVersion() + " "),
                 qPrintable(lines[0]));
        QVERIFY(lines[0].endsWith(QSysInfo::buildCpuArchitecture()));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Application argv: (")), qPrintable(lines[1]));
        QCOMPARE(lines[2], QStringLiteral("Screen information:"));
        QCOMPARE(lines.filter(QStringLiteral("[Primary]")).size(), 1);
        const QStringList labels =
            QStringLiteral("manufacturer model depth refreshRate physicalSize physicalDotsPerInchX "
                           "physicalDotsPerInchY physicalDotsPerInch logicalDotsPerInchX logicalDotsPerInchY "
                           "logicalDotsPerInch devicePixelRatio geometry availableGeometry virtualGeometry "
                           "availableVirtualGeometry primaryOrientation orientation nativeOrientation")
                .split(QLatin1Char(' '));
        QVERIFY(lines[3].startsWith(QStringLiteral("name: ")));
        for (int i = 0; i < labels.size(); ++i)
            QVERIFY2(lines[4 + i].startsWith(QStringLiteral("  ") + labels[i] + ": "),
                     qPrintable(lines[4 + i]));
        QVERIFY2(lines[4 + 12].contains(QStringLiteral("QRect(")), qPrintable(lines[4 + 12]));
        QVERIFY2(lines[4 + 18].endsWith(QStringLiteral("Orientation")), qPrintable(lines[4 + 18]));
    }

    void crashReportPathNamedAfterStartTime()
    {
        const QString path = InstallCrashHandlerForRun();
        QCOMPARE(path, WorkDir(QStringLiteral("crash")) + QLatin1Char('/') +
                           StartTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) +
                           QStringLiteral(".dmp"));
        QVERIFY(QFileInfo(path).dir().exists());
    }

    // aboutToQuit and the destructor both call Stop; the log shows one stop.
    void stopRunsOnceAcrossQuitAndDestruction()
    {
        QProcess p;
        QVERIFY(RunChild(p, QStringLiteral("quit")));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QCOMPARE(out.count(QStringLiteral(" [Info]  App Stop\n")), 1);
        QVERIFY(out.indexOf(QStringLiteral("App Run")) < out.indexOf(QStringLiteral("App Stop")));
        QVERIFY(out.indexOf(QStringLiteral("App Stop")) < out.indexOf(QStringLiteral("destroyed")));
    }

    // Exit code 1024 starts a copy with the same arguments; others do not.
    void restart_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("1024") << "restart" << true;
        QTest::newRow("7") << "exit7" << false;
    }
    void restart()
    {
        QFETCH(QString, mode);
        QFETCH(bool, restarts);
        QTemporaryDir tmp;
        const QString record = tmp.filePath(QStringLiteral("args.txt"));
        QProcess p;
        QVERIFY(RunChild(p, mode, record, kRestartArgs));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        // Unix keeps only the low 8 bits of an exit status; the log has the whole code.
        QVERIFY2(out.contains(restarts ? QStringLiteral(" [Info]  Exit code: 1024\n")
                                       : QStringLiteral("Exit code: 7")),
                 qPrintable(out));
        QCOMPARE(out.contains(QStringLiteral("Program restart:")), restarts);
        if (!restarts) {
            QTest::qWait(500);
            QVERIFY(!QFile::exists(record));
            return;
        }
        // The copy runs detached; give it time to write its record.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(record).size() > 0, 30000);
        QTest::qWait(200);
        QStringList args = ReadAll(record).split(QLatin1Char('\n'));
        QCOMPARE(args.takeLast(), QString());
        QCOMPARE(args, kRestartArgs);
    }

    // users.json beside the executable ends up in the database and is gone;
    // with a database that cannot be opened the file stays for the next start.
    void legacyAccountsImportedAtStartup()
    {
        QTemporaryDir tmp;
        const QString exe = tmp.filePath(QStringLiteral("client"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), exe));
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString users = tmp.filePath(QStringLiteral("users.json"));
        const QByteArray json = R"([{"usrName":"first@x.com","usrPwd":"pw1","isRemberPwd":true},
                                    {"usrName":"second@x.com","usrPwd":"pw2","isRemberPwd":false}])";
        const auto runCopy = [&](const QString& home) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), home);
            QProcess p;
            return RunChild(p, QStringLiteral("legacy"), QString(), {}, env, exe)
                       ? QString::fromLocal8Bit(p.readAllStandardOutput())
                       : QString();
        };

        // The database path is a folder: nothing can be stored.
        QVERIFY(WriteAll(users, json.toBase64()));
        const QString brokenHome = tmp.filePath(QStringLiteral("broken-home"));
        QVERIFY(QDir().mkpath(brokenHome +
                              QStringLiteral("/.qttest/share/orvane-upload-client/orv-upload-client.db")));
        QString out = runCopy(brokenHome);
        QVERIFY2(out.contains(QStringLiteral("users: 0\n")), qPrintable(out));
        QVERIFY(QFile::exists(users));

        out = runCopy(tmp.filePath(QStringLiteral("home")));
        QVERIFY2(out.contains(QStringLiteral("users: 2\n")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("user: first@x.com pw1 1\n")));
        QVERIFY(out.contains(QStringLiteral("user: second@x.com pw2 0\n")));
        QVERIFY(!QFile::exists(users));
    }
};

int main(int argc, char** argv)
{
    const QByteArray child = qgetenv(kChildEnv);
    if (child == "record")
        return RecordArguments(argc, argv);

    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir tmp;
    Config config(tmp.filePath(QStringLiteral("global.ini")));
    Config::SetGlobal(&config);

    if (!child.isEmpty()) {
        qInstallMessageHandler(MessageHandler);
        int code = 0;
        {
            Application app(config, argc, argv);
            if (!app.Init())
                return 1;
            if (child == "restart") {
                // The copy started by the restart only records its arguments.
                qputenv(kChildEnv, "record");
                QTimer::singleShot(0, [] { QCoreApplication::exit(Application::RestartExitCode); });
            } else if (child == "legacy") {
                // An unreadable database (the broken home) lists nobody.
                const QList<DBManager::User> users = DBManager::instance()->SelectUsers().valueOr({});
                std::printf("users: %d\n", int(users.size()));
                for (const DBManager::User& u : users)
                    std::printf("user: %s %s %d\n", qPrintable(u.account), qPrintable(u.password),
                                u.rememberPassword ? 1 : 0);
                std::fflush(stdout);
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
            } else if (child == "exit7") {
                qputenv(kChildEnv, "record");
                QTimer::singleShot(0, [] { QCoreApplication::exit(7); });
            } else {
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
            }
            code = app.Run();
        }
        qInfo() << "destroyed";
        qInfo() << "Exit code:" << code;
        return code;
    }

    Application app(config, argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
