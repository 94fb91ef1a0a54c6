// The upload library through its C interface against the local platform
// server: real HTTPS with the server's own CA, a real login for the account's
// credentials, the server's storage and its fault switches.

#include "httpclient.h"
#include "orv_uploader.h"
#include "serverfixture.h"
#include "testsupport.h"
#include "uploadkit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using orvtest::Handle;

class UploaderPlatformTest : public QObject
{
    Q_OBJECT

private:
    orvtest::ServerFixture server_;
    QTemporaryDir tmp_;
    QString userId_, appId_, appSecret_;
    qint64 cateId_ = 0;
    quint32 seed_ = 500;

    QString NewFile(qint64 size)
    {
        const QString path = tmp_.filePath(QStringLiteral("f%1.bin").arg(seed_));
        return orvtest::WriteRandomFile(path, size, seed_++);
    }
    // One upload of the file into the account's top category: its result code.
    int Upload(const QString& path, QString* vid = nullptr)
    {
        Handle h;
        const int rc = h.Run(path, 120000, "platform test", cateId_);
        if (vid)
            *vid = h.Vid();
        return rc;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server_.Start(), qPrintable(server_.Error()));
        // Log in like the client does to learn the account's credentials.
        orvtest::HttpClient http(server_.BaseUrl(), server_.CaFile());
        orvtest::ApiSession api(http);
        const orvtest::HttpReply reply = api.Login(orvsrv::kDemoMainEmail, orvsrv::kDemoPassword);
        QVERIFY2(reply.status == 200, reply.body.constData());
        userId_ = api.loginData.value("userId").toString();
        appId_ = api.appId;
        appSecret_ = api.secret;
        cateId_ = static_cast<qint64>(api.topCateId);
        QVERIFY(!userId_.isEmpty() && !appId_.isEmpty() && !appSecret_.isEmpty());

        QCOMPARE(ORVSetSdkLogFile(tmp_.filePath("sdk.log").toUtf8().constData()), 0);
        QCOMPARE(ORVSetSdkLogLevel(2), 0);
        QCOMPARE(ORVSetSdkCachePath(tmp_.filePath("cache").toUtf8().constData()), 0);
        QCOMPARE(ORVSetSdkServiceUrl(server_.BaseUrl().toUtf8().constData()), 0);
        QCOMPARE(ORVInitSdkLibrary(userId_.toUtf8().constData(), appId_.toUtf8().constData(),
                                   appSecret_.toUtf8().constData()),
                 0);
        QCOMPARE(ORVSetSdkHttpRequest(3), 0);
        QCOMPARE(ORVSetSdkCacertFile(server_.CaFile().toUtf8().constData()), 0);
    }

    void cleanup()
    {
        server_->ClearFaults();
        ORVSetSdkTrafficLimit(0, 0);
    }

    void cleanupTestCase()
    {
        ORVReleaseSdkLibrary();
        QFile log(tmp_.filePath("sdk.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(!log.readAll().contains(appSecret_.toUtf8()));
    }

    void uploadThenSecondPass()
    {
        const QString path = NewFile(24 * 1024 * 1024 + 11);
        QCOMPARE(Upload(path), 0);
        QCOMPARE(Upload(path), static_cast<int>(ORV_OK_ALREADY_STORED));
    }

    void flippedByteGives19()
    {
        const QString path = NewFile(3 * 1024 * 1024);
        server_->FlipByteOfNextCompletedUpload();
        QString vid;
        QCOMPARE(Upload(path, &vid), static_cast<int>(ORV_ERR_CRC64_MISMATCH));
        QVERIFY(!QFile::exists(tmp_.filePath("cache/" + vid + ".orvup")));
        // Nothing was stored: the next attempt uploads again and succeeds.
        QCOMPARE(Upload(path), 0);
    }

    void droppedPatchIsRetried()
    {
        orvsrv::FaultRule drop;
        drop.pathPattern = QStringLiteral("^/tus/files/[0-9a-f]{32}$");
        drop.dropRequestAfterBytes = 3 * 1024 * 1024;
        drop.dropCount = 2;
        server_->AddFault(drop);
        QCOMPARE(Upload(NewFile(16 * 1024 * 1024)), 0);
    }
};

QTEST_GUILESS_MAIN(UploaderPlatformTest)
#include "tst_uploader_platform.moc"
