// The log line format, the log file and the console fallback, the fatal path
// and the crash report. Paths that end the process run in a child copy of
// this executable, selected by ORVANE_TST_CHILD.

#include "app/logging.h"
#include "app/paths.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdint>

namespace {

Q_LOGGING_CATEGORY(lcApi, "Api")
Q_LOGGING_CATEGORY(lcWorker, "Worker")

const char kChildEnv[] = "ORVANE_TST_CHILD";
const char kPathEnv[] = "ORVANE_TST_PATH";

QString ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// A real invalid write, not raise(): the report must carry the fault address.
__attribute__((no_sanitize("address", "undefined"))) void WriteToBadAddress()
{
    *reinterpret_cast<volatile int*>(std::uintptr_t{16}) = 1;
}

int RunChild(const QByteArray& mode)
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
        return 4; // not reached
    }
    if (mode == "logbase") {
        // No test mode here: the data location follows XDG_DATA_HOME, which the
        // parent points below a regular file.
        const QString base = LogBasePath();
        std::printf("%s\n", base.isNull() ? "null" : qPrintable(base));
        return 0;
    }
    if (mode == "segv") {
        const std::wstring w = path.toStdWString();
        platform::InstallCrashHandler(w.c_str());
        WriteToBadAddress();
        return 5;
    }
    return 2;
}

QProcess* StartChild(QObject* parent, const QByteArray& mode, const QProcessEnvironment& extra = {})
{
    auto* p = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildEnv), QString::fromLatin1(mode));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    p->setProcessEnvironment(env);
    p->start(QCoreApplication::applicationFilePath(), QStringList{});
    return p;
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
        QTest::addColumn<QString>("expected");
        const QString stamp = QStringLiteral("2026-12-05T12:46:16.123+01:00");
        QTest::newRow("debug") << int(QtDebugMsg) << "default" << stamp + " [Debug] text\n";
        QTest::newRow("info") << int(QtInfoMsg) << "default" << stamp + " [Info]  text\n";
        QTest::newRow("warning") << int(QtWarningMsg) << "default" << stamp + " [Warn]  text\n";
        QTest::newRow("critical") << int(QtCriticalMsg) << "default" << stamp + " [Error] text\n";
        QTest::newRow("fatal") << int(QtFatalMsg) << "default" << stamp + " [Fatal] text\n";
        QTest::newRow("api warning") << int(QtWarningMsg) << "Api" << stamp + " [Warn] [Api] text\n";
        QTest::newRow("worker info") << int(QtInfoMsg) << "Worker" << stamp + " [Info] [Worker] text\n";
        QTest::newRow("worker debug") << int(QtDebugMsg) << "Worker" << stamp + " [Debug][Worker] text\n";
    }
    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QString, category);
        QFETCH(QString, expected);
        const QDateTime now(QDate(2026, 12, 5), QTime(12, 46, 16, 123), Qt::OffsetFromUTC, 3600);
        const QByteArray cat = category.toLatin1();
        QCOMPARE(FormatLogLines(QtMsgType(type), cat.constData(), QStringLiteral("text"), now), expected);
    }

    void multiLineAndEmpty()
    {
        const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::OffsetFromUTC, -5 * 3600);
        const QString s = QStringLiteral("2026-01-02T03:04:05.006-05:00");
        QCOMPARE(FormatLogLines(QtInfoMsg, "default", QStringLiteral("a\n\nc"), now),
                 s + " [Info]  a\n" + s + " [Info]  \n" + s + " [Info]  c\n");
        QCOMPARE(FormatLogLines(QtInfoMsg, "default", QString(), now), s + " [Info]  \n");
        QCOMPARE(FormatLogLines(QtWarningMsg, nullptr, QStringLiteral("x"), now), s + " [Warn] [] x\n");
    }

    // Messages through the installed handler land in the file, one flush each,
    // with the local time and its offset in the stamp.
    void handlerWritesFile()
    {
        QVERIFY(OpenLogFile(logPath_));
        qInstallMessageHandler(MessageHandler);
        qInfo() << "hello" << 7;
        qCWarning(lcApi) << "api says";
        qCDebug(lcWorker).noquote() << "line1\nline2\nline3";
        qInfo("%s", "");
        // Flushed per message: visible before the file is closed.
        const QStringList lines = ReadAll(logPath_).split(QLatin1Char('\n'));
        qInstallMessageHandler(nullptr);

        QCOMPARE(lines.size(), 7); // six lines and the empty rest after the last line feed
        const QString stampRe = QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d))");
        QVERIFY2(QRegularExpression(QStringLiteral("^") + stampRe + QStringLiteral(R"( \[Info\]  hello 7$)"))
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QVERIFY2(QRegularExpression(QStringLiteral("^") + stampRe +
                                    QStringLiteral(R"( \[Warn\] \[Api\] api says$)"))
                     .match(lines[1])
                     .hasMatch(),
                 qPrintable(lines[1]));
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(lines[2 + i].endsWith(QStringLiteral(" [Debug][Worker] line%1").arg(i + 1)),
                     qPrintable(lines[2 + i]));
            QCOMPARE(lines[2 + i].left(29), lines[2].left(29));
        }
        QVERIFY2(lines[5].endsWith(QStringLiteral(" [Info]  ")), qPrintable(lines[5]));

        const QDateTime stamp =
            QDateTime::fromString(lines[0].section(QLatin1Char(' '), 0, 0), Qt::ISODateWithMs);
        QVERIFY(stamp.isValid());
        QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60);
    }

    // Appends to an existing file instead of truncating it.
    void appendsToExistingFile()
    {
        {
            QFile f(logPath_);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier\n");
        }
        QVERIFY(OpenLogFile(logPath_));
        qInstallMessageHandler(MessageHandler);
        qInfo() << "later";
        qInstallMessageHandler(nullptr);
        CloseLogFile();
        const QString text = ReadAll(logPath_);
        QVERIFY(text.startsWith(QStringLiteral("earlier\n")));
        QVERIFY(text.contains(QStringLiteral("later")));
    }

    void openFailureReportsReason()
    {
        QString reason;
        QVERIFY(!OpenLogFile(tmp_.filePath(QStringLiteral("missing/dir/x.log")), &reason));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!LogFile().isOpen());
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
            QCOMPARE(lines[i + 1].section(QLatin1Char(' '), -1).chopped(2),
                     lines[i].section(QLatin1Char(' '), -1).chopped(2));
        }
    }

    void consoleFallback()
    {
        QScopedPointer<QProcess> p(StartChild(nullptr, "console"));
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p->readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p->readAllStandardError());
        QVERIFY2(out.contains(QStringLiteral(" [Info]  to stdout\n")), qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("to stderr")));
        QVERIFY2(err.contains(QStringLiteral(" [Warn]  to stderr\n")), qPrintable(err));
    }

    void fatalIsFlushedBeforeTheEnd()
    {
        QProcessEnvironment env;
        env.insert(QString::fromLatin1(kPathEnv), logPath_);
        // The abort must end the child without a core file or sanitizer report.
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0:handle_abort=0"));
        QScopedPointer<QProcess> p(StartChild(nullptr, "fatal", env));
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitStatus(), QProcess::CrashExit);
        const QString text = ReadAll(logPath_);
        QVERIFY2(text.contains(QStringLiteral(" [Info]  before fatal\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(" [Fatal] fatal 42\n")), qPrintable(text));
    }

    void logBasePathNullWhenFolderCannotBeCreated()
    {
        const QString blocker = tmp_.filePath(QStringLiteral("blocker"));
        {
            QFile f(blocker);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_DATA_HOME"), blocker + QStringLiteral("/share"));
        QScopedPointer<QProcess> p(StartChild(nullptr, "logbase", env));
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p->readAllStandardOutput()).trimmed(), QStringLiteral("null"));
        QVERIFY(p->readAllStandardError().contains("mkpath failed:"));

        // With a usable folder the base path is named after the start time.
        env.insert(QStringLiteral("XDG_DATA_HOME"), tmp_.filePath(QStringLiteral("data")));
        p.reset(StartChild(nullptr, "logbase", env));
        QVERIFY(p->waitForFinished(30000));
        const QString base = QString::fromLocal8Bit(p->readAllStandardOutput()).trimmed();
        QVERIFY2(QRegularExpression(QStringLiteral(R"(/orvane-upload-client/log/\d{4}(-\d\d){5}$)"))
                     .match(base)
                     .hasMatch(),
                 qPrintable(base));
        QVERIFY(base.startsWith(tmp_.filePath(QStringLiteral("data"))));
    }

    void crashLeavesReport()
    {
        const QString report = tmp_.filePath(QStringLiteral("2026-12-05-12-46-16.dmp"));
        QProcessEnvironment env;
        env.insert(QString::fromLatin1(kPathEnv), report);
        QScopedPointer<QProcess> p(StartChild(nullptr, "segv", env));
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitStatus(), QProcess::CrashExit);
        QCOMPARE(p->exitCode(), int(SIGSEGV));
        const QString text = ReadAll(report);
        QVERIFY2(text.contains(QStringLiteral("Signal: 11 (SIGSEGV)")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Address: 0x10\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Backtrace:\n")));
        // At least a few frames, one per line.
        QVERIFY2(text.section(QStringLiteral("Backtrace:\n"), 1).count(QLatin1Char('\n')) >= 3,
                 qPrintable(text));

        // A second crash of the same run overwrites the report.
        p.reset(StartChild(nullptr, "segv", env));
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(ReadAll(report).count(QStringLiteral("Crash report")), 1);
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
        return RunChild(child);
    LoggingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logging.moc"
