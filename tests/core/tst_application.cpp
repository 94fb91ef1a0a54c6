// The application object: construction, Init, the style sheet loader, the
// stop sequence that runs once, and the restart on exit code 1024. The event
// loop paths run in child copies of this executable (ORVANE_TST_CHILD).

#include "app/application.h"
#include "app/config.h"
#include "app/diagnostics.h"
#include "app/logging.h"
#include "app/paths.h"
#include "storage/dbmanager.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {

const char kChildEnv[] = "ORVANE_TST_CHILD";
const char kPathEnv[] = "ORVANE_TST_PATH";

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

// The offscreen platform plugin leaks a few bytes at exit; that is not ours
// to judge in the child's exit status.
QProcessEnvironment ChildEnvironment(const QString& mode)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildEnv), mode);
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    return env;
}

QStringList g_captured;
void Capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_captured << message;
}

QString ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void constructed()
    {
        auto* app = Application::instance();
        QVERIFY(app);
        QVERIFY(app->config());
        QCOMPARE(app->style()->objectName(), QStringLiteral("fusion"));
        QCOMPARE(QApplication::font().family(), QStringLiteral("Microsoft YaHei"));
        QVERIFY(!QApplication::isEffectEnabled(Qt::UI_AnimateCombo));
        QVERIFY(!app->applicationVersion().isEmpty());
    }

    void initBringsServicesUp()
    {
        auto* app = Application::instance();
        QSignalSpy loading(app, &Application::SignalStartupLoadingFinish);
        QVERIFY(!app->config()->hasDefault("UploadTaskManager", "uploadTasksNum"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^load translator file failed: .*")));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^load translator file failed: .*")));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^load translator file failed: .*")));
        QTest::ignoreMessage(QtInfoMsg, "App Init");
        QVERIFY(app->Init());
        QVERIFY(app->config()->hasDefault("UploadTaskManager", "uploadTasksNum"));
        QCOMPARE(app->config()->value("UploadTaskManager", "uploadTasksNum").toInt(), 3);
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("OrvaneUploadClient"));
        QVERIFY(loading.count() == 1 || loading.wait(5000));
        QVERIFY(app->InitNetWorkManager());
        QVERIFY(app->ApplyUploadSettings());
    }

    void loadQss()
    {
        const QString themes = QCoreApplication::applicationDirPath() + QStringLiteral("/themes");
        const bool madeDir = !QFileInfo::exists(themes);
        QVERIFY(QDir().mkpath(themes));
        const QString file = themes + QStringLiteral("/TstCoreApplication.qss");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("QLabel { qproperty-text: \"标题\"; }\n").toUtf8());
        }
        const QString qss = Application::LoadQss(QStringLiteral("TstCoreApplication.qss"));
        QFile::remove(file);
        if (madeDir)
            QDir().rmdir(themes);
        QCOMPARE(qss, QStringLiteral("QLabel { qproperty-text: \"标题\"; }\n"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^load qss file failed \".*/themes/Missing.qss\" 5$")));
        QVERIFY(Application::LoadQss(QStringLiteral("Missing.qss")).isEmpty());
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
        const QStringList labels{"manufacturer:",
                                 "model:",
                                 "depth:",
                                 "refreshRate:",
                                 "physicalSize:",
                                 "physicalDotsPerInchX:",
                                 "physicalDotsPerInchY:",
                                 "physicalDotsPerInch:",
                                 "logicalDotsPerInchX:",
                                 "logicalDotsPerInchY:",
                                 "logicalDotsPerInch:",
                                 "devicePixelRatio:",
                                 "geometry:",
                                 "availableGeometry:",
                                 "virtualGeometry:",
                                 "availableVirtualGeometry:",
                                 "primaryOrientation:",
                                 "orientation:",
                                 "nativeOrientation:"};
        QVERIFY(lines[3].startsWith(QStringLiteral("name: ")));
        for (int i = 0; i < labels.size(); ++i)
            QVERIFY2(lines[4 + i].startsWith(QStringLiteral("  ") + labels[i] + " "),
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

    void stopRunsOnce()
    {
        auto* app = Application::instance();
        QSignalSpy stop(app, &Application::SignalAboutToAppStop);
        QTest::ignoreMessage(QtInfoMsg, "App Stop");
        app->Stop();
        app->Stop();
        QCOMPARE(stop.count(), 1);
    }

    // aboutToQuit and the destructor both call Stop; the log shows one stop.
    void stopRunsOnceAcrossQuitAndDestruction()
    {
        QProcess p;
        QProcessEnvironment env = ChildEnvironment(QStringLiteral("quit"));
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), QStringList{});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QCOMPARE(out.count(QStringLiteral(" [Info]  App Stop\n")), 1);
        QVERIFY(out.indexOf(QStringLiteral("App Run")) < out.indexOf(QStringLiteral("App Stop")));
        QVERIFY(out.indexOf(QStringLiteral("App Stop")) < out.indexOf(QStringLiteral("destroyed")));
    }

    void restartStartsCopyWithSameArguments()
    {
        QTemporaryDir tmp;
        const QString record = tmp.filePath(QStringLiteral("args.txt"));
        QProcess p;
        QProcessEnvironment env = ChildEnvironment(QStringLiteral("restart"));
        env.insert(QString::fromLatin1(kPathEnv), record);
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), kRestartArgs);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        // Unix keeps only the low 8 bits of an exit status; the log has the whole code.
        QVERIFY2(out.contains(QStringLiteral(" [Info]  Exit code: 1024\n")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Program restart:")), qPrintable(out));

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
        const auto writeUsers = [&] {
            QFile f(users);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(json.toBase64());
        };
        const auto runCopy = [&](const QString& home) {
            QProcess p;
            QProcessEnvironment env = ChildEnvironment(QStringLiteral("legacy"));
            env.insert(QStringLiteral("HOME"), home);
            p.setProcessEnvironment(env);
            p.start(exe, QStringList{});
            if (!p.waitForFinished(60000))
                return QString();
            return QString::fromLocal8Bit(p.readAllStandardOutput());
        };

        // The database path is a folder: nothing can be stored.
        writeUsers();
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

    void otherExitCodeDoesNotRestart()
    {
        QTemporaryDir tmp;
        const QString record = tmp.filePath(QStringLiteral("args.txt"));
        QProcess p;
        QProcessEnvironment env = ChildEnvironment(QStringLiteral("exit7"));
        env.insert(QString::fromLatin1(kPathEnv), record);
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), kRestartArgs);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 7);
        QTest::qWait(500);
        QVERIFY(!QFile::exists(record));
        QVERIFY(
            !QString::fromLocal8Bit(p.readAllStandardOutput()).contains(QStringLiteral("Program restart:")));
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
                const QList<DBManager::User> users = DBManager::instance()->SelectUsers();
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
