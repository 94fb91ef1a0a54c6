// The log line format, the log file and the console fallback, the fatal path
// and the crash report (paths that end the process run in a child copy of
// this executable); the settings store, the proxy reader, the autostart
// entry, the data directory and the import of accounts from older
// installations.

#include "coreenv.h"

#include "app/legacyaccounts.h"
#include "base/config.h"
#include "base/logging.h"
#include "base/paths.h"
#include "platform/platform.h"

#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <csignal>
#include <cstdint>

using namespace coretest;

namespace {

Q_LOGGING_CATEGORY(lcApi, "Api")
Q_LOGGING_CATEGORY(lcWorker, "Worker")

// A real invalid write, not raise(): the report must carry the fault address.
__attribute__((no_sanitize("address", "undefined"))) void WriteToBadAddress()
{
    *reinterpret_cast<volatile int*>(std::uintptr_t{16}) = 1;
}

int ChildMain(const QByteArray& mode)
{
    const QString path = QString::fromLocal8Bit(qgetenv(kPathEnv));
    qInstallMessageHandler(MessageHandler);
    if (mode == "console") {
        qInfo() << "to stdout";
        qWarning() << "to stderr";
        return 0;
    }
    if (mode == "fatal") {
        if (!OpenLogFile(path))
            return 3;
        qInfo() << "before fatal";
        qFatal("fatal %d", 42);
    }
    if (mode == "logbase") {
        // The data location follows XDG_DATA_HOME, set by the parent.
        const QString base = LogBasePath();
        std::printf("%s\n", base.isNull() ? "null" : qPrintable(base));
        return 0;
    }
    if (mode == "segv") {
        const std::wstring w = path.toStdWString();
        platform::InstallCrashHandler(w.c_str());
        WriteToBadAddress();
    }
    return 2;
}

} // namespace

class CoreBaseTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid());
        QStandardPaths::setTestModeEnabled(true);
        // QTest's own handler (which ignoreMessage needs), put back after the logging cases.
        testHandler_ = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(testHandler_);
    }

    void init()
    {
        logPath_ = tmp_.filePath(QStringLiteral("run_client.log"));
        QFile::remove(logPath_);
        iniPath_ = tmp_.filePath(QStringLiteral("global.ini"));
        QFile::remove(iniPath_);
    }
    void cleanup()
    {
        CloseLogFile();
        qInstallMessageHandler(testHandler_);
    }

    void lineFormat_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "S" stands for the time stamp
        const auto row = [](const char* name, QtMsgType type, const char* category, const char* text,
                            const char* expected) {
            QTest::newRow(name) << int(type) << QString(category) << QString(text) << QString(expected);
        };
        row("debug", QtDebugMsg, "default", "text", "S [Debug] text\n");
        row("info", QtInfoMsg, "default", "text", "S [Info]  text\n");
        row("warning", QtWarningMsg, "default", "text", "S [Warn]  text\n");
        row("critical", QtCriticalMsg, "default", "text", "S [Error] text\n");
        row("fatal", QtFatalMsg, "default", "text", "S [Fatal] text\n");
        row("api warning", QtWarningMsg, "Api", "text", "S [Warn] [Api] text\n");
        row("worker info", QtInfoMsg, "Worker", "text", "S [Info] [Worker] text\n");
        row("worker debug", QtDebugMsg, "Worker", "text", "S [Debug][Worker] text\n");
        row("lines", QtInfoMsg, "default", "a\n\nc", "S [Info]  a\nS [Info]  \nS [Info]  c\n");
        row("empty", QtInfoMsg, "default", "", "S [Info]  \n");
        row("no category", QtWarningMsg, "", "x", "S [Warn] [] x\n");
    }
    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QString, category);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QDateTime now(QDate(2026, 12, 5), QTime(12, 46, 16, 123), Qt::OffsetFromUTC, -5 * 3600);
        const QByteArray cat = category.toLatin1();
        expected.replace(QStringLiteral("S "), QStringLiteral("2026-12-05T12:46:16.123-05:00 "));
        QCOMPARE(FormatLogLines(QtMsgType(type), category.isEmpty() ? nullptr : cat.constData(), text, now),
                 expected);
    }

    // Messages through the installed handler are appended to the file, one
    // flush each, with the local time and its offset in the stamp.
    void handlerWritesFile()
    {
        QString reason;
        QVERIFY(!OpenLogFile(tmp_.filePath(QStringLiteral("missing/dir/x.log")), &reason));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!LogFile().isOpen());

        QVERIFY(WriteAll(logPath_, "earlier\n"));
        QVERIFY(OpenLogFile(logPath_));
        qInstallMessageHandler(MessageHandler);
        qInfo() << "hello" << 7;
        qCWarning(lcApi) << "api says";
        qCDebug(lcWorker).noquote() << "line1\nline2";
        // Flushed per message: visible before the file is closed.
        const QStringList lines = ReadAll(logPath_).split(QLatin1Char('\n'));
        qInstallMessageHandler(testHandler_);

        QCOMPARE(lines.size(), 6); // the earlier line, four new ones and the rest after the last line feed
        QCOMPARE(lines[0], QStringLiteral("earlier"));
        const QString stamp = QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d))");
        QVERIFY2(QRegularExpression(stamp + R"( \[Info\]  hello 7$)").match(lines[1]).hasMatch(),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].endsWith(QStringLiteral(" [Warn] [Api] api says")), qPrintable(lines[2]));
        QVERIFY2(lines[4].endsWith(QStringLiteral(" [Debug][Worker] line2")), qPrintable(lines[4]));
        QCOMPARE(lines[4].left(29), lines[3].left(29));
        const QDateTime logged = QDateTime::fromString(lines[1].section(' ', 0, 0), Qt::ISODateWithMs);
        QVERIFY(qAbs(logged.secsTo(QDateTime::currentDateTime())) < 60);
    }

    // Whole messages from many threads never interleave inside the file.
    void concurrentWritersKeepLinesWhole()
    {
        QVERIFY(OpenLogFile(logPath_));
        qInstallMessageHandler(MessageHandler);
        constexpr int kThreads = 4;
        constexpr int kMessages = 200;
        QVector<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < kMessages; ++i)
                    qInfo().noquote() << QStringLiteral("t%1-m%2-a\nt%1-m%2-b").arg(t).arg(i);
            });
            threads.last()->start();
        }
        for (QThread* th : threads) {
            QVERIFY(th->wait(30000));
            delete th;
        }
        qInstallMessageHandler(testHandler_);
        CloseLogFile();
        const QStringList lines = ReadAll(logPath_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), kThreads * kMessages * 2);
        for (int i = 0; i < lines.size(); i += 2) {
            QVERIFY2(lines[i].endsWith(QLatin1String("-a")), qPrintable(lines[i]));
            QCOMPARE(lines[i + 1].section(' ', -1).chopped(2), lines[i].section(' ', -1).chopped(2));
        }
    }

    void consoleFallback()
    {
        QProcess p;
        QVERIFY(RunChild(p, QStringLiteral("console")));
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral(" [Info]  to stdout\n")), qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("to stderr")));
        QVERIFY(p.readAllStandardError().contains(" [Warn]  to stderr\n"));
    }

    void fatalIsFlushedBeforeTheEnd()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The abort must end the child without a core file or sanitizer report.
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0:handle_abort=0"));
        QProcess p;
        QVERIFY(RunChild(p, QStringLiteral("fatal"), logPath_, {}, env));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        const QString text = ReadAll(logPath_);
        QVERIFY2(text.contains(QStringLiteral(" [Info]  before fatal\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(" [Fatal] fatal 42\n")), qPrintable(text));
    }

    // Named after the start time in the data folder's log/, or null when
    // that folder cannot be made.
    void logBasePath()
    {
        const QString blocker = tmp_.filePath(QStringLiteral("blocker"));
        QVERIFY(WriteAll(blocker, ""));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), blocker + QStringLiteral("/share"));
        QProcess p;
        QVERIFY(RunChild(p, QStringLiteral("logbase"), QString(), {}, env));
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed(), QStringLiteral("null"));
        QVERIFY(p.readAllStandardError().contains("mkpath failed:"));

        env.insert(QStringLiteral("XDG_DATA_HOME"), tmp_.filePath(QStringLiteral("data")));
        QVERIFY(RunChild(p, QStringLiteral("logbase"), QString(), {}, env));
        const QString base = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        QVERIFY2(base.startsWith(tmp_.filePath(QStringLiteral("data"))) &&
                     QRegularExpression(QStringLiteral(R"(/orvane-upload-client/log/\d{4}(-\d\d){5}$)"))
                         .match(base)
                         .hasMatch(),
                 qPrintable(base));
    }

    void crashLeavesReport()
    {
        const QString report = tmp_.filePath(QStringLiteral("2026-12-05-12-46-16.dmp"));
        for (int run = 0; run < 2; ++run) {
            QProcess p;
            QVERIFY(RunChild(p, QStringLiteral("segv"), report));
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
            QCOMPARE(p.exitCode(), int(SIGSEGV));
        }
        // The second crash of the same run overwrote the report.
        const QString text = ReadAll(report);
        QCOMPARE(text.count(QStringLiteral("Crash report")), 1);
        QVERIFY2(text.contains(QStringLiteral("Signal: 11 (SIGSEGV)")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Address: 0x10\n")), qPrintable(text));
        // At least a few frames, one per line.
        QVERIFY2(text.section(QStringLiteral("Backtrace:\n"), 1).count(QLatin1Char('\n')) >= 3,
                 qPrintable(text));
    }

    // A fresh installation reads the registered defaults; a value in the file
    // wins over them, an explicit fallback ignores them.
    void defaultsAndFileValues()
    {
        Config config(iniPath_);
        QVERIFY(!config.value("UploadTaskManager", "uploadTasksNum").isValid());
        config.RegisterDefaults();
        const QList<QPair<QString, QVariant>> defaults{{"UploadTaskManager/uploadTasksNum", 3},
                                                       {"UploadTaskManager/autoStartUpload", true},
                                                       {"UploadTaskManager/limitedSpeedValue", 0},
                                                       {"UploadTaskManager/optimizeCoursewareSwitch", false},
                                                       {"Application/closeBehavior", "quit"},
                                                       {"Application/autoUpdate", false},
                                                       {"NetWorkManager/proxyType", 0}};
        for (const auto& [key, value] : defaults)
            QCOMPARE(config.value(key.section('/', 0, 0), key.section('/', 1)).toString(), value.toString());
        QVERIFY(!config.value("NetWorkManager", "proxyHostName").isValid());
        QVERIFY(!config.hasDefault("Custom", "updateUrl"));
        QVERIFY(!config.contains("UploadTaskManager", "uploadTasksNum"));
        // Reading never creates the file.
        QVERIFY(!QFile::exists(iniPath_));

        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 9);
        config.setValue("UploadTaskManager", "uploadTasksNum", 5);
        QVERIFY(QFile::exists(iniPath_));
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum").toInt(), 5);
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 5);
        QCOMPARE(config.defaultValue("UploadTaskManager", "uploadTasksNum").toInt(), 3);

        // UTF-8 INI text.
        config.setValue("Custom", "package", QStringLiteral("安装包.exe"));
        QCOMPARE(config.value("Custom", "package").toString(), QStringLiteral("安装包.exe"));
        QVERIFY(ReadAll(iniPath_).contains(QStringLiteral("[Custom]\npackage=安装包.exe")));
    }

    // No cache: a second store on the same file, and a worker thread, see a
    // write at once, and an edit made behind the store's back is seen too.
    void writesAreSeenWithoutSync()
    {
        Config writer(iniPath_);
        Config reader(iniPath_);
        writer.setValue("NetWorkManager", "proxyHostName", "proxy.local");
        QCOMPARE(reader.value("NetWorkManager", "proxyHostName").toString(), QStringLiteral("proxy.local"));
        const QString fromThread = QtConcurrent::run([&reader] {
                                       return reader.value("NetWorkManager", "proxyHostName").toString();
                                   }).result();
        QCOMPARE(fromThread, QStringLiteral("proxy.local"));
        QSettings(iniPath_, QSettings::IniFormat).setValue("NetWorkManager/proxyPort", "8080");
        QCOMPARE(reader.value("NetWorkManager", "proxyPort").toUInt(), 8080u);
    }

    void proxy_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expectedType");
        QTest::addColumn<bool>("hasPort");
        QTest::newRow("http proxy") << QVariant(1) << "3128" << 1 << true;
        QTest::newRow("port not a number") << QVariant(1) << "31a" << 1 << false;
        QTest::newRow("no proxy") << QVariant(0) << "3128" << 0 << true;
        QTest::newRow("type not a number") << QVariant("x") << "" << 0 << false;
    }
    void proxy()
    {
        QFETCH(QVariant, type);
        QFETCH(QString, port);
        Config config(iniPath_);
        config.RegisterDefaults();
        config.setValue("NetWorkManager", "proxyType", type);
        config.setValue("NetWorkManager", "proxyHostName", "proxy.local");
        config.setValue("NetWorkManager", "proxyPort", port);
        config.setValue("NetWorkManager", "proxyUser", "u");
        const ProxySettings proxy = config.Proxy();
        QTEST(proxy.type, "expectedType");
        QTEST(proxy.hasPort, "hasPort");
        QCOMPARE(proxy.port, proxy.hasPort ? port.toInt() : 0);
        QCOMPARE(proxy.host, QStringLiteral("proxy.local"));
        QCOMPARE(proxy.user, QStringLiteral("u"));
        QVERIFY(proxy.password.isEmpty());
    }

    void removeAndClear()
    {
        Config config(iniPath_);
        config.RegisterDefaults();
        config.setValue("NetWorkManager", "proxyType", 1);
        config.setValue("NetWorkManager", "proxyPort", "3128");
        config.setValue("Custom", "userId", "u1");
        // With the key gone from the file the default shows again.
        config.remove("NetWorkManager", "proxyType");
        QCOMPARE(config.value("NetWorkManager", "proxyType").toInt(), 0);
        QVERIFY(config.contains("NetWorkManager", "proxyPort"));
        config.remove(QStringLiteral("NetWorkManager"));
        QVERIFY(!config.contains("NetWorkManager", "proxyPort"));
        QVERIFY(config.contains("Custom", "userId"));

        config.removeDefaults(QStringLiteral("uploadtaskmanager"));
        QVERIFY(config.hasDefault("UploadTaskManager", "uploadTasksNum"));
        config.removeDefaults(QStringLiteral("UploadTaskManager/"));
        QVERIFY(!config.hasDefault("UploadTaskManager", "optimizeCoursewareSwitch"));
        QVERIFY(config.hasDefault("Application", "closeBehavior"));
        config.removeDefault("Application", "closeBehavior");
        QVERIFY(!config.value("Application", "closeBehavior").isValid());

        config.clear();
        QVERIFY(!config.contains("Custom", "userId"));
        QVERIFY(!config.hasDefault("Application", "autoUpdate"));
    }

    void globalStore()
    {
        QVERIFY(!Config::Global());
        {
            Config config(iniPath_);
            Config::SetGlobal(&config);
            QCOMPARE(Config::Global(), &config);
        }
        // A destroyed store never stays reachable.
        QVERIFY(!Config::Global());
    }

    void autostartRoundTrip()
    {
        const QString xdg = tmp_.filePath(QStringLiteral("xdg-config"));
        qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
        const QString entry = xdg + QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
                              QStringLiteral(".desktop");
        Config config(iniPath_);
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(true);
        const QString text = ReadAll(entry);
        QVERIFY2(text.startsWith("[Desktop Entry]\n"), qPrintable(text));
        QVERIFY(text.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        QVERIFY(config.IsAutoStart());

        // The entry of another program, or one the user switched off, does not count.
        QVERIFY(
            !platform::IsAutoStart(QCoreApplication::applicationName(), QStringLiteral("/opt/other/client")));
        QVERIFY(WriteAll(entry, text.toUtf8() + "Hidden=true\n"));
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(false);
        QVERIFY(!QFile::exists(entry));

        // Paths with blanks, quotes, dollars and backslashes survive the quoting.
        const QString odd = QStringLiteral("/opt/my apps/\"q\" $HOME `x` back\\slash/client");
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, true));
        QVERIFY(platform::IsAutoStart(QStringLiteral("odd"), odd));
        QVERIFY(!platform::IsAutoStart(QStringLiteral("odd"), QStringLiteral("/opt/my apps/")));
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, false));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void workDirCreatesFolders()
    {
        const QByteArray oldHome = qgetenv("HOME");
        // A home folder whose name contains the application name stays intact.
        const QString home = tmp_.filePath(QCoreApplication::applicationName() + QStringLiteral("-home"));
        qputenv("HOME", home.toLocal8Bit());
        const QString root = WorkDir();
        QVERIFY2(root.startsWith(home + QLatin1Char('/')), qPrintable(root));
        QVERIFY2(root.endsWith(QStringLiteral("/orvane-upload-client")), qPrintable(root));
        QVERIFY(!root.mid(home.size()).contains(QCoreApplication::applicationName()));
        QVERIFY(QFileInfo(root).isDir());
        QCOMPARE(WorkDir(QStringLiteral("thumbs/u1/v2")), root + QStringLiteral("/thumbs/u1/v2"));
        QVERIFY(QFileInfo(root + QStringLiteral("/thumbs/u1/v2")).isDir());

        QVERIFY(WriteAll(root + QStringLiteral("/crash"), "not a folder"));
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^mkpath failed: .*/crash\"$")));
        QVERIFY(WorkDir(QStringLiteral("crash")).isNull());
        qputenv("HOME", oldHome);
    }

    // users.json (base64 JSON) or info (its AES cipher text) beside the
    // executable: what arrives in the store, and whether the file goes.
    void legacyImport_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refused"); // the account the store refuses
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("fileKept");
        const QByteArray three = QByteArray(R"([{"usrName":"a@x.com","usrPwd":"pw1","isRemberPwd":true},
                                     {"usrName":"b@x.com","usrPwd":"pw2","isRemberPwd":false},
                                     {"usrName":"c@x.com","usrPwd":"密码","isRemberPwd":"true"},
                                     {"usrPwd":"nameless"}, 5])")
                                     .toBase64();
        // Only the JSON value true remembers; entries without a name are skipped.
        const QStringList all{"a@x.com pw1 1", "b@x.com pw2 0", "c@x.com 密码 0"};
        QTest::newRow("users.json") << "users.json" << three << "" << all << false;
        QTest::newRow("info") << "info" << EncryptLegacyInfo(three) << "" << all << false;
        QTest::newRow("store refuses one: kept for the next start")
            << "users.json" << three << "b@x.com" << QStringList{"a@x.com pw1 1", "c@x.com 密码 0"} << true;
        QTest::newRow("not a list: dropped")
            << "users.json" << QByteArray(R"({"usrName":"a"})").toBase64() << "" << QStringList() << false;
        QTest::newRow("duplicate keys: dropped")
            << "users.json" << QByteArray(R"([{"usrName":"a","usrName":"b"}])").toBase64() << ""
            << QStringList() << false;
        QTest::newRow("garbage: dropped")
            << "users.json" << QByteArray("%%% not base64 json") << "" << QStringList() << false;
        // A damaged cipher text decrypts to nothing instead of garbage.
        QTest::newRow("damaged info: dropped")
            << "info" << EncryptLegacyInfo(three).chopped(1) << "" << QStringList() << false;
    }
    void legacyImport()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, refused);
        QFETCH(QStringList, stored);
        QTemporaryDir dir;
        QVERIFY(WriteAll(dir.filePath(file), content));
        QStringList got;
        const int n = ImportLegacyAccounts(dir.path(), [&](const QString& a, const QString& p, bool r) {
            if (a == refused)
                return false;
            got << QStringLiteral("%1 %2 %3").arg(a, p).arg(r ? 1 : 0);
            return true;
        });
        QCOMPARE(got, stored);
        QCOMPARE(n, stored.size());
        QTEST(QFile::exists(dir.filePath(file)), "fileKept");
    }

private:
    QTemporaryDir tmp_;
    QString logPath_;
    QString iniPath_;
    QtMessageHandler testHandler_ = nullptr;
};

int main(int argc, char** argv)
{
    const QByteArray child = qgetenv(kChildEnv);
    QCoreApplication app(argc, argv);
    if (!child.isEmpty())
        return ChildMain(child);
    CoreBaseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_corebase.moc"
