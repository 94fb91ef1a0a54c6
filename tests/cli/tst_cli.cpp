// orvane-upload as a user runs it: a separate process against the platform
// server running in this process, with the same data folder as this test.

#include "testenv.h"

#include "platform/platform.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);
const QString kEmail = QString::fromLatin1(orvsrv::kDemoMainEmail);

// One run of the uploader; its stdout is parsed line by line as JSON events.
class Cli
{
public:
    Cli(orvtest::ClientEnv& env, const QStringList& args, const QByteArray& input = QByteArray())
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        process_.setProcessEnvironment(e);
        process_.start(orvtest::BinDir() + QStringLiteral("/orvane-upload"),
                       args + QStringList{QStringLiteral("--api-url"), env.server().BaseUrl(),
                                          QStringLiteral("--cacert"), env.server().CaFile()});
        process_.waitForStarted();
        process_.write(input);
        process_.closeWriteChannel();
    }
    ~Cli()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    int Finish(int timeoutMs = 120000)
    {
        if (!process_.waitForFinished(timeoutMs))
            return -1;
        Read();
        err_ = QString::fromLocal8Bit(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
    }
    // Waits until an event of that kind (about that file, when given) arrived.
    bool WaitFor(const QString& event, const QString& file = QString(), int timeoutMs = 60000)
    {
        return QTest::qWaitFor([&] { return Read(), Count(event, file) > 0; }, timeoutMs);
    }
    void Interrupt() { platform::InterruptProcess(process_.processId()); }
    int Count(const QString& event, const QString& file = QString()) const
    {
        int n = 0;
        for (const QJsonObject& o : events_)
            if (o.value(QStringLiteral("event")).toString() == event &&
                (file.isEmpty() || o.value(QStringLiteral("file")).toString() == file))
                ++n;
        return n;
    }
    QList<QJsonObject> events_;
    QString err_;
    bool allJson_ = true;

private:
    void Read()
    {
        buffer_ += process_.readAllStandardOutput();
        int nl;
        while ((nl = buffer_.indexOf('\n')) >= 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(buffer_.left(nl));
            allJson_ = allJson_ && doc.isObject() && doc.object().contains(QStringLiteral("event"));
            events_ << doc.object();
            buffer_.remove(0, nl + 1);
        }
    }
    QProcess process_;
    QByteArray buffer_;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
    }

    void login_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("wrong password") << QStringLiteral("Wrong#Secret-4711") << 2;
        QTest::newRow("right password") << kPassword << 0;
    }

    void login()
    {
        QFETCH(QString, password);
        QFETCH(int, exitCode);
        QCOMPARE(Login(password), exitCode);
        // No password in any log (nor anywhere else in plain) of the data folder.
        QDirIterator it(env_.path(QStringLiteral("data")), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(!file.readAll().contains(password.toUtf8()), qPrintable(file.fileName()));
        }
    }

    void uploadThreeFilesAndList()
    {
        QStringList files;
        for (int i = 0; i < 3; ++i)
            files << env_.MakeFile(QStringLiteral("three-%1.mp4").arg(i), 300000 + i * 70000, 30 + i);
        Cli upload(env_,
                   QStringList{QStringLiteral("upload"), QStringLiteral("--tags"), QStringLiteral("cli")} +
                       files);
        QCOMPARE(upload.Finish(), 0);
        QVERIFY(upload.allJson_);
        QCOMPARE(upload.Count(QStringLiteral("completed")), 3);

        Cli list(env_, {QStringLiteral("list")});
        QCOMPARE(list.Finish(), 0);
        QString vid;
        qint64 size = 0;
        quint64 crc = 0;
        for (const QJsonObject& done : upload.events_) {
            if (done.value(QStringLiteral("event")).toString() != QLatin1String("completed"))
                continue;
            vid = done.value(QStringLiteral("vid")).toString();
            QVERIFY(env_.server().StoredVideo(vid, &size, &crc));
            QCOMPARE(size, QFileInfo(done.value(QStringLiteral("file")).toString()).size());
            QCOMPARE(list.Count(QStringLiteral("history"), done.value(QStringLiteral("file")).toString()), 1);
        }

        // A stored video goes; one the platform does not know is a failure.
        Cli remove(env_, {QStringLiteral("delete"), vid, QStringLiteral("0123456789abcdef_0")});
        QCOMPARE(remove.Finish(), 1);
        QCOMPARE(remove.Count(QStringLiteral("deleted")), 1);
        QCOMPARE(remove.Count(QStringLiteral("failed")), 1);
        QVERIFY(!env_.server().StoredVideo(vid, &size, &crc));
    }

    void interruptThenResume()
    {
        const QString file = env_.MakeFile(QStringLiteral("interrupted.mp4"), 24 << 20, 99);
        Cli upload(env_, {QStringLiteral("upload"), QStringLiteral("--limit"), QStringLiteral("2048"), file});
        QVERIFY(upload.WaitFor(QStringLiteral("progress"), file));
        upload.Interrupt();
        QCOMPARE(upload.Finish(), 130);
        QCOMPARE(upload.Count(QStringLiteral("interrupted")), 1);
        QCOMPARE(upload.Count(QStringLiteral("completed")), 0);

        Cli list(env_, {QStringLiteral("list")});
        QCOMPARE(list.Finish(), 0);
        QCOMPARE(list.Count(QStringLiteral("queue"), file), 1);

        const qint64 before = env_.server().UploadBytesReceived();
        Cli resume(env_, {QStringLiteral("resume")});
        QCOMPARE(resume.Finish(), 0);
        QCOMPARE(resume.Count(QStringLiteral("completed"), file), 1);
        // It went on where it stopped rather than from the start.
        QVERIFY(env_.server().UploadBytesReceived() - before < QFileInfo(file).size());
    }

    void refusedWhileTheDesktopClientHoldsTheAccount()
    {
        AccountManager desktop;
        desktop.setExclusive(true);
        bool ok = false;
        QVERIFY(orvtest::LoginAndWait(desktop, kEmail, kPassword, true, &ok).isNull());
        Cli resume(env_, {QStringLiteral("resume")});
        QCOMPARE(resume.Finish(), 2);
        QVERIFY2(resume.err_.contains(QStringLiteral("in use")), qPrintable(resume.err_));
        SDKManager::Destroy();
    }

    void watchUploadsOnceAcrossRestarts()
    {
        const QString dir = env_.path(QStringLiteral("watched"));
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + QStringLiteral("/slow.mp4");
        const QStringList args{QStringLiteral("watch"), dir, QStringLiteral("--settle"), QStringLiteral("1")};
        {
            Cli watch(env_, args);
            QVERIFY(watch.WaitFor(QStringLiteral("watching")));
            // Copied in slowly: four pieces, 400 ms apart.
            QFile source(env_.MakeFile(QStringLiteral("slow-source"), 400000, 5));
            QVERIFY(source.open(QIODevice::ReadOnly));
            const QByteArray data = source.readAll();
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            for (int i = 0; i < 4; ++i) {
                out.write(data.mid(i * 100000, 100000));
                out.flush();
                QTest::qWait(400);
            }
            out.close();
            QVERIFY(watch.WaitFor(QStringLiteral("completed"), file));
            watch.Interrupt();
            QCOMPARE(watch.Finish(), 130);
            QCOMPARE(watch.Count(QStringLiteral("queued"), file), 1);
        }
        for (const bool change : {false, true}) {
            if (change) {
                QFile out(file);
                QVERIFY(out.open(QIODevice::Append));
                out.write("more");
            }
            Cli watch(env_, args);
            QVERIFY(watch.WaitFor(QStringLiteral("watching")));
            if (change)
                QVERIFY(watch.WaitFor(QStringLiteral("changed"), file));
            else
                QTest::qWait(2500);
            watch.Interrupt();
            QCOMPARE(watch.Finish(), 130);
            QCOMPARE(watch.Count(QStringLiteral("queued"), file), 0);
        }
    }

private:
    int Login(const QString& password)
    {
        Cli cli(
            env_,
            {QStringLiteral("login"), QStringLiteral("--email"), kEmail, QStringLiteral("--password-stdin")},
            password.toUtf8() + '\n');
        return cli.Finish();
    }
    orvtest::ClientEnv env_;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
