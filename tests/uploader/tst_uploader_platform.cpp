// The upload library through its C interface against the local platform
// server: real HTTPS with the server's own CA, a real login for the account's
// credentials, the server's storage and its fault switches.

#include "orv_uploader.h"
#include "serverfixture.h"
#include "testsupport.h"
#include "uploadkit.h"

#include <orvane/shared_constants.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <httplib.h>
#include <openssl/evp.h>

#include <memory>

using orvtest::Handle;

namespace {

QString DecryptSecret(const QString& base64, const QString& appId, const QString& nonce)
{
    const QByteArray material =
        QByteArray::fromStdString(orvane::AppSecretKeyMaterial()) + appId.toUtf8() + nonce.toUtf8();
    const QByteArray hex = QCryptographicHash::hash(material, QCryptographicHash::Md5).toHex();
    const QByteArray key = hex.left(16), iv = hex.mid(16, 16);
    const QByteArray cipher = QByteArray::fromBase64(base64.toLatin1());
    QByteArray out(cipher.size() + 32, '\0');
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    int n1 = 0, n2 = 0;
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()),
                           reinterpret_cast<const unsigned char*>(iv.constData())) != 1 ||
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                          reinterpret_cast<const unsigned char*>(cipher.constData()), cipher.size()) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
        return QString();
    out.truncate(n1 + n2);
    return QString::fromUtf8(out);
}

} // namespace

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

private slots:
    void initTestCase()
    {
        QVERIFY2(server_.Start(), qPrintable(server_.Error()));
        // Log in like the client does to learn the account's credentials; the
        // password travels as the first 20 digits of its SHA-1.
        const QString digest = QString::fromLatin1(
            QCryptographicHash::hash(QByteArray(orvsrv::kDemoPassword), QCryptographicHash::Sha1)
                .toHex()
                .toUpper()
                .left(20));
        httplib::SSLClient login("127.0.0.1", server_->Port());
        login.set_ca_cert_path(server_.CaFile().toUtf8().constData());
        login.enable_server_certificate_verification(true);
        const auto res =
            login.Post("/v3/front/login-client",
                       QStringLiteral("email=%1&password=%2")
                           .arg(QString::fromLatin1(QUrl::toPercentEncoding(orvsrv::kDemoMainEmail)), digest)
                           .toStdString(),
                       "application/x-www-form-urlencoded");
        QVERIFY(res);
        QVERIFY2(res->status == 200, res->body.c_str());
        const QJsonObject data =
            QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object().value("data").toObject();
        userId_ = data.value("userId").toString();
        appId_ = data.value("appId").toString();
        cateId_ = static_cast<qint64>(data.value("cateId").toDouble());
        appSecret_ =
            DecryptSecret(data.value("appSecret").toString(), appId_, data.value("nonce").toString());
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
        Handle a;
        QCOMPARE(a.Start(path, "platform test", cateId_), 0);
        QCOMPARE(a.rec.WaitResult(), 0);
        Handle b;
        QCOMPARE(b.Start(path, "platform test", cateId_), 0);
        QCOMPARE(b.rec.WaitResult(), static_cast<int>(ORV_OK_ALREADY_STORED));
    }

    void flippedByteGives19()
    {
        const QString path = NewFile(3 * 1024 * 1024);
        server_->FlipByteOfNextCompletedUpload();
        Handle a;
        QCOMPARE(a.Start(path, "platform test", cateId_), 0);
        QCOMPARE(a.rec.WaitResult(), static_cast<int>(ORV_ERR_CRC64_MISMATCH));
        QVERIFY(!QFile::exists(tmp_.filePath("cache/" + a.Vid() + ".orvup")));
        // Nothing was stored: the next attempt uploads again and succeeds.
        Handle b;
        QCOMPARE(b.Start(path, "platform test", cateId_), 0);
        QCOMPARE(b.rec.WaitResult(), 0);
    }

    void droppedPatchAndServerErrorsAreRetried()
    {
        orvsrv::FaultRule drop;
        drop.pathPattern = QStringLiteral("^/tus/files/[0-9a-f]{32}$");
        drop.dropRequestAfterBytes = 3 * 1024 * 1024;
        drop.dropCount = 2;
        server_->AddFault(drop);
        const QString path = NewFile(16 * 1024 * 1024);
        Handle a;
        QCOMPARE(a.Start(path, "platform test", cateId_), 0);
        QCOMPARE(a.rec.WaitResult(), 0);

        server_->ClearFaults();
        orvsrv::FaultRule busy;
        busy.pathPattern = QStringLiteral("^/tus/files/[0-9a-f]{32}$");
        busy.failNextN = 2;
        busy.httpStatus = 503;
        busy.jsonEnvelope = false;
        server_->AddFault(busy);
        const QString other = NewFile(1024 * 1024);
        Handle b;
        QCOMPARE(b.Start(other, "platform test", cateId_), 0);
        QCOMPARE(b.rec.WaitResult(), 0);
    }

    void pauseResumeAndDelete()
    {
        const QString path = NewFile(12 * 1024 * 1024);
        ORVSetSdkTrafficLimit(4 * 1024, 0);
        Handle a;
        QCOMPARE(a.Start(path, "platform test", cateId_), 0);
        QTRY_VERIFY_WITH_TIMEOUT(a.rec.LastUploaded() > 1024 * 1024, 20000);
        QCOMPARE(ORVUploaderPause(a.h), 0);
        QCOMPARE(a.rec.WaitResult(5000), static_cast<int>(ORV_ERR_PAUSED));
        ORVSetSdkTrafficLimit(0, 0);
        QCOMPARE(ORVUploaderStart(a.h), 0);
        QCOMPARE(a.rec.WaitResult(), 0);

        const QString other = NewFile(12 * 1024 * 1024);
        ORVSetSdkTrafficLimit(2 * 1024, 0);
        Handle d;
        QCOMPARE(d.Start(other, "platform test", cateId_), 0);
        QTRY_VERIFY_WITH_TIMEOUT(d.rec.LastUploaded() > 512 * 1024, 20000);
        QCOMPARE(ORVUploaderDelete(d.h), 0);
        QCOMPARE(d.rec.WaitDelete(), 0);
    }
};

QTEST_GUILESS_MAIN(UploaderPlatformTest)
#include "tst_uploader_platform.moc"
