// A whole session with every log at its most verbose level, then a search of
// every file the client, the upload library and the server wrote for the
// secrets the session handled.

#include "testenv.h"

#include "api/apicollection.h"
#include "base/logging.h"
#include "orv_uploader.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr const char* kProxyUser = "proxy-user";
constexpr const char* kProxyPassword = "Pr0xy-Pa55word7";

// Files that hold a secret on purpose: the settings keep the proxy password
// in plain text; the server's own database keeps the account's secrets.
bool StoredOnPurpose(const QString& path, const QByteArray& secret)
{
    if (path.endsWith(QLatin1String("global.ini")))
        return secret == kProxyPassword;
    return path.contains(QLatin1String("/server/platform.db"));
}

} // namespace

class TestSecrets : public QObject
{
    Q_OBJECT
private slots:
    void sessionLeavesNoSecretInFiles()
    {
        const QString tinyproxy = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"));
        if (tinyproxy.isEmpty())
            QSKIP("tinyproxy is not installed");
        orvtest::ClientEnv env;
        QString error;
        QVERIFY2(env.Start(&error), qPrintable(error));
        QVERIFY(OpenLogFile(LogBasePath() + QStringLiteral("_client.log"), &error));
        const QtMessageHandler previous = qInstallMessageHandler(&MessageHandler);
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));

        // A proxy that wants a user and a password, for the REST client and the library.
        quint16 port = 0;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        QFile conf(env.path(QStringLiteral("tinyproxy.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n"
                                  "LogFile \"%2\"\nBasicAuth %3 %4\n")
                       .arg(port)
                       .arg(env.path(QStringLiteral("tinyproxy.log")), QLatin1String(kProxyUser),
                            QLatin1String(kProxyPassword))
                       .toUtf8());
        conf.close();
        QProcess proxy;
        proxy.start(tinyproxy, {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()});
        QVERIFY(proxy.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [port] {
                QTcpSocket socket;
                socket.connectToHost(QHostAddress::LocalHost, port);
                return socket.waitForConnected(200);
            },
            10000));
        Config& config = env.config();
        const QString net = QStringLiteral("NetWorkManager");
        config.setValue(net, QStringLiteral("proxyType"), 1);
        config.setValue(net, QStringLiteral("proxyHostName"), QStringLiteral("127.0.0.1"));
        config.setValue(net, QStringLiteral("proxyPort"), port);
        config.setValue(net, QStringLiteral("proxyUser"), QLatin1String(kProxyUser));
        config.setValue(net, QStringLiteral("proxyPassword"), QLatin1String(kProxyPassword));
        config.setValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                        env.server().BaseUrl() + QStringLiteral("/api/app/package/version/check"));

        // A failed login, then a login with a remembered password.
        const QString email = QString::fromLatin1(orvsrv::kDemoMainEmail);
        const QString password = QString::fromLatin1(orvsrv::kDemoPassword);
        AccountManager account;
        bool ok = true;
        orvtest::LoginAndWait(account, email, QStringLiteral("Wrong#Pass1"), true, &ok);
        QVERIFY(!ok);
        error = orvtest::LoginAndWait(account, email, password, true, &ok);
        QVERIFY2(ok, qPrintable(error));
        SDKManager* sdk = SDKManager::instance();
        sdk->ApplySettings(config);
        ORVSetSdkLogLevel(3);

        // Two uploads through the proxy.
        sdk->setAutoStart(true);
        for (quint32 i = 0; i < 2; ++i)
            QVERIFY(
                sdk->AddUpload(static_cast<qint64>(account.cateId()),
                               env.MakeFile(QStringLiteral("secret%1.mp4").arg(i), 300 * 1024 + i, 77 + i),
                               QString(), QString(), QString(), QString(), 0, 0));
        QVERIFY(QTest::qWaitFor([&] { return sdk->tasks().isEmpty(); }, 60000));
        QCOMPARE(DBManager::instance()->CountHistories().valueOr(-1), 2);

        QCOMPARE(ApiCollection::Parsed(ApiCollection::CheckClientUpdateRequest(QUuid::createUuid(), nullptr),
                                       ApiCollection::ParseCheckClientUpdateResponse)
                     .code(),
                 ApiCollection::NoError);

        const QByteArray appSecret = account.appSecret().toUtf8();
        const QStringList signs = env.server().ReceivedSigns();
        SDKManager::Destroy();
        proxy.terminate();
        proxy.waitForFinished(3000);
        // Both clients went through the proxy: a tunnel per login, per upload and for the update check.
        QFile proxyLog(env.path(QStringLiteral("tinyproxy.log")));
        QVERIFY(proxyLog.open(QIODevice::ReadOnly));
        QVERIFY(proxyLog.readAll().count("): CONNECT 127.0.0.1:") >= 5);
        qInstallMessageHandler(previous);
        CloseLogFile();
        env.Stop(); // every file written and closed

        const QByteArray digest =
            QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex();
        QList<QByteArray> secrets{
            password.toUtf8(), digest,
            digest.toUpper(),  appSecret,
            kProxyPassword,    QByteArray(kProxyUser).append(':').append(kProxyPassword).toBase64()};
        QVERIFY2(signs.size() >= 5, qPrintable(QString::number(signs.size())));
        for (const QString& sign : signs)
            secrets << sign.toLatin1();

        int files = 0;
        QDirIterator it(env.path(QString()), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QLatin1String("/tinyproxy.")))
                continue; // the proxy's own files
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray text = f.readAll();
            ++files;
            for (const QByteArray& secret : qAsConst(secrets))
                QVERIFY2(!text.contains(secret) || StoredOnPurpose(path, secret),
                         qPrintable(path + QStringLiteral(" holds ") + QString::fromLatin1(secret)));
        }
        QVERIFY(files >= 5);
        QVERIFY(QFileInfo(LogBasePath() + QStringLiteral("_sdk.log")).size() > 0);
        QVERIFY(QFileInfo(LogBasePath() + QStringLiteral("_client.log")).size() > 0);
    }
};

QTEST_GUILESS_MAIN(TestSecrets)
#include "tst_secrets.moc"
