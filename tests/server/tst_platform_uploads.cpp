// The platform side of the upload endpoint: authentication, the permission
// and space checks before an upload, the second-pass lookup and the video
// that a completed upload creates.

#include "api.h"
#include "errorcodes.h"
#include "seed.h"
#include "storage.h"
#include "uploadhooks.h"

#include "httpclient.h"
#include "orvsrv/platform_server.h"
#include "serverfixture.h"

#include <QJsonArray>

#include <QCryptographicHash>
#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

using namespace orvsrv;

namespace {

// CRC-64/XZ, as the upload endpoint checks whole files.
quint64 Crc64(const QByteArray& data)
{
    quint64 crc = ~0ULL;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xC96C5795D7870F42ULL & (0ULL - (crc & 1ULL)));
    }
    return ~crc;
}

QByteArray Meta(const QMap<QString, QString>& m)
{
    QByteArrayList items;
    for (auto it = m.cbegin(); it != m.cend(); ++it)
        items << it.key().toUtf8() + ' ' + it.value().toUtf8().toBase64();
    return items.join(',');
}

} // namespace

class TestPlatformUploads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QString error;
        QVERIFY2(m_storage.Open(m_dir.filePath(QStringLiteral("p.db")), &error), qPrintable(error));
        QVERIFY(SeedDemoData(m_storage));
        ApiConfig cfg;
        cfg.filesDir = m_dir.filePath(QStringLiteral("files"));
        m_api = std::make_unique<Api>(m_storage, cfg);
        m_api->SetBaseUrl(QStringLiteral("https://127.0.0.1:1"));
        m_hooks = std::make_unique<UploadHooks>(m_storage, *m_api);
        QVERIFY(m_storage.AccountByEmail(QString::fromLatin1(kDemoMainEmail), &m_main));
        QVERIFY(m_storage.AccountByEmail(QString::fromLatin1(kDemoSubEmail), &m_sub));

        // A sub-account without the upload switch.
        m_noUpload = m_sub;
        m_noUpload.id = 0;
        m_noUpload.email = QStringLiteral("viewer@orvane.test");
        m_noUpload.appId = QStringLiteral("VIEWERAPP1");
        m_noUpload.permissions = PermAll & ~PermVideoUpload;
        QVERIFY(m_storage.InsertAccount(m_noUpload));
    }

    void authenticate()
    {
        TusAccount a;
        TusError e;
        QVERIFY(m_hooks->Authenticate(SignedFor(m_main), &a, &e));
        QCOMPARE(a.appId, m_main.appId);
        QCOMPARE(a.userId, m_main.userId);
        // A sub-account uploads into its main account's library.
        QVERIFY(m_hooks->Authenticate(SignedFor(m_sub), &a, &e));
        QCOMPARE(a.userId, m_main.userId);
        QCOMPARE(a.appId, m_sub.appId);

        QMap<QString, QString> bad = SignedFor(m_main);
        bad[QStringLiteral("sign")] = QStringLiteral("00000000000000000000000000000000");
        QVERIFY(!m_hooks->Authenticate(bad, &a, &e));
        QCOMPARE(e.platformCode, int(err::INVALID_SIGN));
        QCOMPARE(e.httpStatus, 401);
        QVERIFY(!m_hooks->Authenticate(SignedFor(m_main, -10 * 60 * 1000), &a, &e));
        QCOMPARE(e.platformCode, int(err::INVALID_TIMESTAMP_PERIOD));
    }

    void usedSpaceIsWhatIsStored()
    {
        VideoQuery all;
        all.ownerId = m_main.id;
        all.pageSize = 1000;
        qint64 total = 0;
        qint64 stored = 0;
        for (const Video& v : m_storage.ListVideos(all, &total))
            stored += v.size;
        QCOMPARE(total, qint64(60));
        Account owner;
        QVERIFY(m_storage.AccountById(m_main.id, &owner));
        QVERIFY(stored > 0);
        QCOMPARE(owner.space - owner.remainBytes, stored);
    }

    void checkCreate()
    {
        TusError e;
        QVERIFY(m_hooks->CheckCreate(LoggedIn(m_main), 1000, 0, &e));
        QVERIFY(m_hooks->CheckCreate(LoggedIn(m_sub), 1000, m_main.topCateId, &e));

        QVERIFY(!m_hooks->CheckCreate(LoggedIn(m_noUpload), 1000, 0, &e));
        QCOMPARE(e.platformCode, int(err::UPLOAD_PERMISSION_LIMITED));

        Account owner;
        QVERIFY(m_storage.AccountById(m_main.id, &owner));
        QVERIFY(m_hooks->CheckCreate(LoggedIn(m_main), owner.remainBytes, 0, &e));
        QVERIFY(!m_hooks->CheckCreate(LoggedIn(m_main), owner.remainBytes + 1, 0, &e));
        QCOMPARE(e.desc, QStringLiteral("CapacityOverLimit"));

        QVERIFY(!m_hooks->CheckCreate(LoggedIn(m_main), 10, 424242, &e));
        QCOMPARE(e.platformCode, int(err::CATEGORY_NOT_EXIST));
    }

    void completeUploadCreatesVideo()
    {
        const QString path = m_dir.filePath(QStringLiteral("upload.bin"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray content(123457, 'v');
        f.write(content);
        f.close();

        const QVector<Category> cats = m_storage.CategoriesOfOwner(m_main.id);
        const qint64 cate = cats.last().id;
        Account before;
        QVERIFY(m_storage.AccountById(m_main.id, &before));

        TusUploadInfo info;
        info.account = LoggedIn(m_sub);
        info.vid = NewVid();
        info.fileName = QStringLiteral("holiday clip.mp4");
        info.description = QStringLiteral("from the beach");
        info.tags = QStringLiteral("sea,sun");
        info.cateId = cate;
        info.size = content.size();
        info.crc64 = 0x1234567890abcdefULL;
        info.storedFilePath = path;
        TusError e;
        QVERIFY(!m_hooks->IsAlreadyStored(info.account, info.vid, 0, info.size));
        QVERIFY(m_hooks->CompleteUpload(info, &e));

        Video v;
        QVERIFY(m_storage.VideoByVid(info.vid, &v));
        QCOMPARE(v.title, QStringLiteral("holiday clip")); // from the file name when no title is given
        QCOMPARE(v.cateId, cate);
        QCOMPARE(v.tags, info.tags);
        QCOMPARE(v.uploader, m_sub.childName);
        QCOMPARE(v.size, info.size);
        QCOMPARE(v.md5,
                 QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
        QCOMPARE(v.EffectiveStatus(QDateTime::currentMSecsSinceEpoch()), 10);

        Account after;
        QVERIFY(m_storage.AccountById(m_main.id, &after));
        QCOMPARE(after.remainBytes, before.remainBytes - info.size);

        // The second pass finds it by vid (with or without the checksum) or by checksum and size.
        QVERIFY(m_hooks->IsAlreadyStored(info.account, info.vid, 0, info.size));
        QVERIFY(m_hooks->IsAlreadyStored(info.account, info.vid, info.crc64, info.size));
        QVERIFY(!m_hooks->IsAlreadyStored(info.account, info.vid, info.crc64 + 1, info.size));
        QVERIFY(m_hooks->IsAlreadyStored(info.account, QString(), info.crc64, info.size));
        QVERIFY(!m_hooks->IsAlreadyStored(info.account, QString(), 0, info.size));

        // A repeated completion neither duplicates the video nor charges twice.
        QVERIFY(m_hooks->CompleteUpload(info, &e));
        QVERIFY(m_storage.AccountById(m_main.id, &after));
        QCOMPARE(after.remainBytes, before.remainBytes - info.size);

        // Completing beyond the remaining space is refused and stores nothing.
        TusUploadInfo huge = info;
        huge.vid = NewVid();
        huge.size = after.remainBytes + 1;
        QVERIFY(!m_hooks->CompleteUpload(huge, &e));
        QCOMPARE(e.desc, QStringLiteral("CapacityOverLimit"));
        QVERIFY(!m_storage.VideoByVid(huge.vid, &v));

        // The uploaded file stays for the web player.
        QByteArray png;
        QString mime;
        const QString files = m_main.userId + '/' + info.vid;
        QVERIFY(m_api->ResolveFile(files + "/source", &png, &mime));
        QCOMPARE(png, content);

        // The new video's pictures are generated on request.
        QVERIFY(m_api->ResolveFile(files + "/snap4_b.png", &png, &mime));
        QCOMPARE(mime, QStringLiteral("image/png"));
        QVERIFY(png.startsWith("\x89PNG"));
        QVERIFY(!m_api->ResolveFile(files + "/snap7_b.png", &png, &mime));
        QVERIFY(!m_api->ResolveFile("someone/" + info.vid + "/thumb.png", &png, &mime));
    }

    void statusProgression()
    {
        Video v;
        v.status = 60;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        v.processStartMs = now;
        QCOMPARE(v.EffectiveStatus(now + 500), 10);
        QCOMPARE(v.EffectiveStatus(now + 3000), 20);
        QCOMPARE(v.EffectiveStatus(now + 6000), 60);
        v.processStartMs = 0;
        v.status = 53;
        QCOMPARE(v.EffectiveStatus(now), 53);
    }

    // The whole path through the server: signed tus requests, completion with the
    // file checksum and the new video in the library. The second pass and the
    // corrupting fault switch are covered through the upload library
    // (uploader/tests).
    void uploadOverHttps()
    {
        orvtest::ServerFixture server;
        QVERIFY2(server.Start(), qPrintable(server.Error()));
        orvtest::HttpClient http(server.BaseUrl(), server.CaFile());
        orvtest::ApiSession api(http);
        QCOMPARE(api.Login(QString::fromLatin1(kDemoSubEmail), QString::fromLatin1(kDemoPassword)).status,
                 200L);
        const double remainBefore = api.loginData.value("remainBytes").toDouble();
        QByteArray content(300000, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((i * 131) ^ (i >> 7));

        const QString vid = NewVid();
        const qint64 receivedBefore = server->UploadBytesReceived();
        QList<QByteArray> h = api.TusHeaders();
        h << "Upload-Length: " + QByteArray::number(content.size())
          << "Upload-Metadata: " +
                 Meta({{"vid", vid}, {"filename", "trip.mp4"}, {"title", "Uploaded trip"}, {"cateId", "1"}});
        const orvtest::HttpReply created = http.Send("POST", "/tus/files/", h);
        QCOMPARE(created.status, 201L);
        const QString location = QString::fromUtf8(created.headers.value("location"));
        QCOMPARE(http.Send("PATCH", location, api.TusHeaders() << "Upload-Offset: 0", content).status, 204L);
        h = api.TusHeaders();
        h << "Upload-Offset: " + QByteArray::number(content.size())
          << "Orv-File-Crc64: " + QByteArray::number(Crc64(content), 16);
        const orvtest::HttpReply done = http.Send("PATCH", location, h);
        QVERIFY2(done.status == 204, done.body.constData());
        QCOMPARE(server->UploadBytesReceived() - receivedBefore, qint64(content.size()));
        const orvtest::HttpReply info =
            api.Get("/v3/video/get-video-info", {{"vids", vid}, {"filter", "basicInfo"}});
        QCOMPARE(info.At("data").toArray().size(), 1);
        const QJsonObject basic = info.At("data.0.basicInfo").toObject();
        QCOMPARE(basic.value("title").toString(), QStringLiteral("Uploaded trip"));
        QCOMPARE(basic.value("status").toInt(), 10);
        QCOMPARE(basic.value("uploader").toString(), QStringLiteral("editor"));
        QCOMPARE(quint64(basic.value("cateId").toDouble()), api.topCateId);
        QCOMPARE(qint64(basic.value("size").toDouble()), qint64(content.size()));
        orvtest::ApiSession again(http);
        again.Login(QString::fromLatin1(kDemoMainEmail), QString::fromLatin1(kDemoPassword));
        QCOMPARE(again.loginData.value("remainBytes").toDouble(), remainBefore - content.size());
    }

private:
    QMap<QString, QString> SignedFor(const Account& acc, qint64 shiftMs = 0) const
    {
        QMap<QString, QString> p{
            {"appId", acc.appId},
            {"timestamp", QString::number(QDateTime::currentMSecsSinceEpoch() + shiftMs)}};
        p.insert("sign", orvtest::SignParams(acc.appSecret, p));
        return p;
    }

    TusAccount LoggedIn(const Account& acc)
    {
        TusAccount a;
        TusError e;
        m_hooks->Authenticate(SignedFor(acc), &a, &e);
        return a;
    }

    QTemporaryDir m_dir;
    Storage m_storage;
    std::unique_ptr<Api> m_api;
    std::unique_ptr<UploadHooks> m_hooks;
    Account m_main, m_sub, m_noUpload;
};

QTEST_GUILESS_MAIN(TestPlatformUploads)
#include "tst_platform_uploads.moc"
