// The log line format, the log file and the console fallback, the fatal path
// and the crash report. Paths that end the process run in a child copy of
// this executable.

#include "coreenv.h"

#include "base/logging.h"
#include "platform/platform.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>

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

class LoggingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(tmp_.isValid());
        logPath_ = tmp_.filePath(QStringLiteral("run_client.log"));
        QFile::remove(logPath_);
    }
    void cleanup()
    {
        CloseLogFile();
        qInstallMessageHandler(nullptr);
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
        qInstallMessageHandler(nullptr);

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
        qInstallMessageHandler(nullptr);
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

private:
    QTemporaryDir tmp_;
    QString logPath_;
};

int main(int argc, char** argv)
{
    const QByteArray child = qgetenv(kChildEnv);
    QCoreApplication app(argc, argv);
    if (!child.isEmpty())
        return ChildMain(child);
    LoggingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logging.moc"
