// The platform server's REST API over real HTTPS: signing, envelopes, login,
// categories, video listing and editing, covers, files and the update service;
// every fault mode as the client sees it, and a burst of malformed requests
// after which the server still answers normally.

#include "httpclient.h"
#include "serverfixture.h"
#include "testsupport.h"

#include "orvane/shared_constants.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>
#include <QtTest>

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace orvtest;

namespace {

const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);
const QString kMain = QString::fromLatin1(orvsrv::kDemoMainEmail);
const QString kSub = QString::fromLatin1(orvsrv::kDemoSubEmail);
const QString kTree = QStringLiteral("/v3/category/get-cate-tree");
const QString kList = QStringLiteral("/v3/video/list-video");
const QString kVideoInfo = QStringLiteral("/v3/video/get-video-info");
const QString kUpdateInfo = QStringLiteral("/v3/video/update-info");

QSet<QString> KeySet(const QJsonObject& o)
{
    const QStringList keys = o.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

QString AddCategory(const ApiSession& s, const QString& parent, const QString& name)
{
    const HttpReply r = s.Post("/v3/category/add", {{"parentId", parent}, {"name", name}});
    return QString::number(quint64(r.At("data").toDouble()));
}

QString UpdateSign(const QMap<QString, QString>& p)
{
    const QString salt = QString::fromStdString(orvane::UpdateSalt());
    QString text = salt;
    for (auto it = p.cbegin(); it != p.cend(); ++it)
        text += it.key().toLower() + it.value().toLower();
    text += salt;
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

} // namespace

class TestPlatformApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        orvsrv::ServerOptions o = ServerFixture::DemoOptions();
        o.lockoutSeconds = 1;
        m_server = std::make_unique<ServerFixture>(o);
        QVERIFY2(m_server->Start(), qPrintable(m_server->Error()));
        QVERIFY(m_server->BaseUrl().startsWith(QLatin1String("https://127.0.0.1:")));
        m_http = std::make_unique<HttpClient>(m_server->BaseUrl(), m_server->CaFile());
        m_main = std::make_unique<ApiSession>(*m_http);
        QCOMPARE(m_main->Login(kMain, kPassword).status, 200L);
        QVERIFY(!m_main->secret.isEmpty());
        m_top = QString::number(m_main->topCateId);
    }

    void cleanupTestCase() { m_server.reset(); }

    void signatures()
    {
        const ParamMap tree{{"cateId", m_top}};
        QCOMPARE(m_main->Get(kTree, tree).At("code").toInt(), 200);

        // A sign made with another secret, over changed parameters, or none at all is refused.
        auto unsignedGet = [&](const ParamMap& p) {
            return m_http->Get(kTree + '?' + QString::fromLatin1(FormEncode(p))).ErrCode();
        };
        ParamMap p = m_main->Signed(tree);
        p["sign"] = SignParams(m_main->secret + 'x', p);
        QCOMPARE(unsignedGet(p), 104);
        p = m_main->Signed(tree);
        p["cateId"] = "1";
        QCOMPARE(unsignedGet(p), 104);
        p.remove("sign");
        QCOMPARE(unsignedGet(p), 104);

        // The timestamp window is five minutes either way.
        QCOMPARE(m_main->Get(kTree, tree, -6 * 60 * 1000).ErrCode(), 100);
        QCOMPARE(m_main->Get(kTree, tree, 6 * 60 * 1000).ErrCode(), 100);
        QCOMPARE(m_main->Get(kTree, tree, -4 * 60 * 1000).status, 200L);

        // Unknown and missing appId.
        ApiSession stranger(*m_http);
        stranger.appId = "NOSUCHAPP0";
        stranger.secret = m_main->secret;
        QCOMPARE(stranger.Get(kTree, tree).ErrCode(), 101);
        QCOMPARE(m_http->Get(kTree + "?cateId=1").ErrCode(), 107);

        // Empty values take no part in the signature but are still sent: an
        // empty tag is accepted and clears the tags.
        const QJsonArray list = List({{"page", "1"}, {"pageSize", "1"}}).value("contents").toArray();
        QCOMPARE(list.size(), 1);
        const QString vid = JsonAt(list, "0.vid").toString();
        QCOMPARE(m_main->Post(kUpdateInfo, {{"vid", vid}, {"title", "A & B = C"}, {"tag", QString()}}).status,
                 200L);
    }

    void envelopes()
    {
        const HttpReply a = m_main->Get(kTree, {{"cateId", m_top}});
        const HttpReply b = m_main->Get(kTree, {{"cateId", m_top}});
        QCOMPARE(KeySet(a.Json()), (QSet<QString>{"requestId", "code", "status", "error", "data"}));
        QCOMPARE(a.At("code").toInt(), 200);
        QCOMPARE(a.At("status").toString(), QStringLiteral("success"));
        QVERIFY(a.At("error").isNull());
        QVERIFY(a.At("data").isObject());
        QVERIFY(!a.At("requestId").toString().isEmpty());
        QVERIFY(a.At("requestId") != b.At("requestId"));
        QVERIFY(a.contentType.startsWith(QLatin1String("application/json")));

        // Cutting the request id out leaves identical bytes for an unchanged tree,
        // which the client relies on to skip rebuilding.
        auto cut = [](QByteArray body) {
            const int at = body.indexOf("requestId\":");
            return at < 0 ? body : body.remove(at, 51);
        };
        QCOMPARE(cut(a.body), cut(b.body));

        // Failures of each kind: refused sign, missing thing, bad parameter.
        const HttpReply missing = m_main->Get(kTree, {{"cateId", "42"}});
        const HttpReply gone = m_main->Post("/v3/video/delete-video", {{"vid", "nope"}});
        for (const HttpReply& r : {m_http->Get(kTree + "?cateId=1&appId=x&timestamp=1&sign=y"), missing,
                                   m_main->Get(kList, {{"cateId", "abc"}}), gone}) {
            QVERIFY2(r.status >= 400 && r.status < 600, r.body.constData());
            QCOMPARE(r.At("code").toInt(), int(r.status));
            QCOMPARE(r.At("status").toString(), QStringLiteral("error"));
            QVERIFY(r.At("error").isObject());
            QVERIFY(r.ErrCode() > 0);
            QVERIFY(!r.At("error.desc").toString().isEmpty());
        }
        QCOMPARE(missing.ErrCode(), 3001);
        QCOMPARE(gone.ErrCode(), 4000);
    }

    void loginAndSecret()
    {
        ApiSession s(*m_http);
        QCOMPARE(s.Login(kMain, kPassword).status, 200L);
        for (const char* key :
             {"userId", "expired", "remainBytes", "space", "packageType", "leftDay", "expirationTime",
              "email", "childUserName", "childUserId", "childVideoOnly", "userLevel", "cateId", "uploadType",
              "appId", "appSecret", "nonce", "permission"})
            QVERIFY2(s.loginData.contains(QLatin1String(key)), key);
        QCOMPARE(JsonAt(s.loginData, "expired").toString(), QStringLiteral("N"));
        QCOMPARE(JsonAt(s.loginData, "permission.childAccountType").toInt(), -1);
        QCOMPARE(JsonAt(s.loginData, "permission").toObject().size(), 15);
        // The independently decrypted secret is the signing secret (the API accepts it),
        // and each login uses a fresh nonce.
        QCOMPARE(s.secret, m_main->secret);
        QVERIFY(s.loginData.value("nonce") != m_main->loginData.value("nonce"));
        QVERIFY(s.loginData.value("appSecret") != m_main->loginData.value("appSecret"));

        ApiSession sub(*m_http);
        QCOMPARE(sub.Login(kSub, kPassword).status, 200L);
        QCOMPARE(JsonAt(sub.loginData, "permission.childAccountType").toInt(), 0);
        QCOMPARE(JsonAt(sub.loginData, "permission.videoDelete").toInt(), 0);
        QCOMPARE(sub.loginData.value("userId"), s.loginData.value("userId"));

        ApiSession x(*m_http);
        QCOMPARE(x.Login("nobody@orvane.test", kPassword).ErrCode(), 22);
        QCOMPARE(x.Login(QString::fromLatin1(orvsrv::kDemoExpiredSubEmail), kPassword).ErrCode(), 26);
        QCOMPARE(x.Login(QString(), kPassword).ErrCode(), 20);
        QCOMPARE(m_http->Post("/v3/front/login-client", "email=demo%40orvane.test&password=").ErrCode(), 21);
        // The password travels only as its digest; the plain text is refused.
        QCOMPARE(m_http
                     ->Post("/v3/front/login-client", "email=" + QUrl::toPercentEncoding(kMain) +
                                                          "&password=" + QUrl::toPercentEncoding(kPassword))
                     .ErrCode(),
                 23);
    }

    void loginCountdownAndLock()
    {
        ApiSession s(*m_http);
        // The sub-account counts its own attempts; the main account stays usable.
        for (int expected = 4; expected >= 0; --expected) {
            const HttpReply r = s.Login(kSub, "wrong");
            QCOMPARE(r.ErrCode(), 24);
            QCOMPARE(r.At("data.remainLoginChange").toInt(), expected);
        }
        const HttpReply locked = s.Login(kSub, kPassword);
        QCOMPARE(locked.ErrCode(), 31);
        QCOMPARE(locked.At("data.remainLoginChange").toInt(), 0);
        QCOMPARE(ApiSession(*m_http).Login(kMain, kPassword).status, 200L);
        // The lock lasts the configured time (1 s here), then the count starts afresh.
        QThread::msleep(1200);
        QCOMPARE(s.Login(kSub, kPassword).status, 200L);
        QCOMPARE(s.Login(kSub, "wrong").At("data.remainLoginChange").toInt(), 4);
        QCOMPARE(s.Login(kSub, kPassword).status, 200L);
    }

    void categoryRules()
    {
        auto add = [&](const QString& parent, const QString& name) {
            return m_main->Post("/v3/category/add", {{"parentId", parent}, {"name", name}});
        };
        const HttpReply ok = add(m_top, "Rules & Tests 规则");
        QCOMPARE(ok.status, 200L);
        QVERIFY(ok.At("data").toDouble() > 1e12);
        const QString id = QString::number(quint64(ok.At("data").toDouble()));
        QCOMPARE(add(m_top, "Rules & Tests 规则").ErrCode(), 3003);
        QCOMPARE(add(id, "Rules & Tests 规则").status, 200L); // same name, other parent
        QCOMPARE(add(m_top, QString(41, 'n')).ErrCode(), 3010);
        QCOMPARE(add(m_top, QString(40, QChar(0x4e2d))).status, 200L);
        QCOMPARE(add(m_top, "emoji \U0001F600").ErrCode(), 1100);
        QCOMPARE(add(m_top, "   ").ErrCode(), 3000);
        QCOMPARE(add("99", "orphan").ErrCode(), 3001);

        auto rename = [&](const QString& name) {
            return m_main->Post("/v3/category/update-info", {{"cateId", id}, {"cateName", name}});
        };
        QCOMPARE(rename("Movies").ErrCode(), 3003);
        QCOMPARE(rename(QString(41, 'r')).ErrCode(), 3010);
        QCOMPARE(rename("\U0001F600").ErrCode(), 1100);
        QCOMPARE(rename("Renamed rules").status, 200L);
        QCOMPARE(rename("Renamed rules").status, 200L); // its own name is no duplicate
    }

    void categoryMoveAndTree()
    {
        auto move = [&](const QString& cate, const QString& dest) {
            return m_main->Post("/v3/category/update-cate", {{"cateId", cate}, {"destCateId", dest}});
        };
        const QString a = AddCategory(*m_main, m_top, "Move A");
        const QString b = AddCategory(*m_main, a, "Move B");
        const QString c = AddCategory(*m_main, b, "Move C");
        const QString other = AddCategory(*m_main, m_top, "Move Other");
        QCOMPARE(move(a, c).ErrCode(), 3005); // into its own subtree
        QCOMPARE(move(a, a).ErrCode(), 3005);
        QCOMPARE(move(m_top, other).ErrCode(), 3005);
        QCOMPARE(move(b, other).status, 200L);

        const HttpReply tree = m_main->Get(kTree, {{"cateId", other}});
        QCOMPARE(tree.At("data.cateName").toString(), QStringLiteral("Move Other"));
        QCOMPARE(QString::number(quint64(tree.At("data.children.0.cateId").toDouble())), b);
        QCOMPARE(QString::number(quint64(tree.At("data.children.0.parentId").toDouble())), other);
        QCOMPARE(tree.At("data.children.0.cateTree").toString(), QStringList({m_top, other, b}).join(','));
        QCOMPARE(tree.At("data.children.0.children.0.cateTree").toString(),
                 QStringList({m_top, other, b, c}).join(','));
        QCOMPARE(tree.At("data.children.0.children.0.videoCount").toInt(), 0);

        // A sibling of the same name at the destination blocks the move.
        AddCategory(*m_main, a, "Move B");
        QCOMPARE(move(b, a).ErrCode(), 3003);

        // The demo tree is three levels deep below the top and counts its videos.
        int total = 0, depth = 0;
        std::function<void(const QJsonObject&, int)> walk = [&](const QJsonObject& n, int level) {
            total += n.value("videoCount").toInt();
            depth = qMax(depth, level);
            for (const QJsonValue& k : n.value("children").toArray())
                walk(k.toObject(), level + 1);
        };
        walk(m_main->Get(kTree, {{"cateId", m_top}}).At("data").toObject(), 0);
        QCOMPARE(total, 60);
        QVERIFY(depth >= 3);
    }

    void subAccountPermissions()
    {
        ApiSession sub(*m_http);
        QCOMPARE(sub.Login(kSub, kPassword).status, 200L);
        const QString top = QString::number(sub.topCateId);
        const QString cate = AddCategory(sub, top, "Sub made");
        QCOMPARE(sub.Post("/v3/category/update-cate", {{"cateId", cate}, {"destCateId", top}}).ErrCode(),
                 3002);
        const HttpReply list = sub.Get(kList, {{"cateId", top}, {"containSubCate", "Y"}});
        const QString vid = list.At("data.contents.0.vid").toString();
        QVERIFY(!vid.isEmpty());
        QCOMPARE(sub.Post("/v3/video/delete-video", {{"vid", vid}}).ErrCode(), 105);
        QCOMPARE(sub.Post("/v3/video/update-category", {{"vids", vid}, {"cateId", cate}}).ErrCode(), 105);
        QCOMPARE(sub.Post(kUpdateInfo, {{"vid", vid}, {"title", "By editor"}}).status, 200L);
    }

    void listingTotalsSortAndFilter()
    {
        const QJsonObject all = List({{"page", "1"}, {"pageSize", "7"}, {"sort", "creationTimeDesc"}});
        const int total = all.value("totalItems").toInt();
        QVERIFY(total >= 59); // the demo's 60, less what other cases deleted
        QCOMPARE(all.value("totalPages").toInt(), (total + 6) / 7);
        QCOMPARE(all.value("pageSize").toInt(), 7);

        // Walking every page yields each video once, newest first.
        QStringList seen;
        QString previous;
        for (int page = 1; page <= all.value("totalPages").toInt(); ++page) {
            const QJsonObject o =
                List({{"page", QString::number(page)}, {"pageSize", "7"}, {"sort", "creationTimeDesc"}});
            QCOMPARE(o.value("pageNumber").toInt(), page);
            for (const QJsonValue& v : o.value("contents").toArray()) {
                const QString created = JsonAt(v, "basicInfo.creationTime").toString();
                QVERIFY(previous.isEmpty() || created <= previous);
                previous = created;
                seen << JsonAt(v, "vid").toString();
            }
        }
        QCOMPARE(seen.size(), total);
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), total);
        const QJsonObject beyond = List({{"page", "99"}, {"pageSize", "7"}});
        QCOMPARE(beyond.value("contents").toArray().size(), 0);
        QCOMPARE(beyond.value("totalItems").toInt(), total);

        // Title and time sorts, both ways.
        for (const QString& sort : QStringList{"titleAsc", "titleDesc", "creationTimeAsc"}) {
            const QJsonArray c = List({{"pageSize", "100"}, {"sort", sort}}).value("contents").toArray();
            const QString key = sort.startsWith("title") ? "basicInfo.title" : "basicInfo.creationTime";
            for (int i = 1; i < c.size(); ++i) {
                const QString x = JsonAt(c[i - 1], key).toString();
                const QString y = JsonAt(c[i], key).toString();
                const int cmp = QString::compare(x, y, Qt::CaseInsensitive);
                QVERIFY2(sort == "titleDesc" ? cmp >= 0 : cmp <= 0, qPrintable(sort + ' ' + x + '/' + y));
            }
        }

        // Only the category itself without containSubCate; the direct counts add up.
        const int own = List({{"containSubCate", "N"}}).value("totalItems").toInt();
        QCOMPARE(own, m_main->Get(kTree, {{"cateId", m_top}}).At("data.videoCount").toInt());
        QVERIFY(own < total);

        // Title filter: case-insensitive substring, totals follow the filter.
        int expected = 0;
        for (const QJsonValue& v : List({{"pageSize", "1000"}}).value("contents").toArray())
            expected += JsonAt(v, "basicInfo.title").toString().contains("sunrise", Qt::CaseInsensitive);
        QVERIFY(expected >= 4);
        const QJsonObject sunrise = List({{"title", "sunRISE"}, {"pageSize", "2"}});
        QCOMPARE(sunrise.value("totalItems").toInt(), expected);
        QCOMPARE(sunrise.value("totalPages").toInt(), (expected + 1) / 2);
        for (const QJsonValue& v : sunrise.value("contents").toArray())
            QVERIFY(JsonAt(v, "basicInfo.title").toString().contains("Sunrise"));

        // Parameter checks.
        QCOMPARE(m_main->Get(kList, {{"cateId", m_top}, {"pageSize", "0"}}).ErrCode(), 1114);
        QCOMPARE(m_main->Get(kList, {{"cateId", m_top}, {"containSubCate", "yes"}}).ErrCode(), 1122);
        QCOMPARE(m_main->Get(kList, {{"cateId", m_top}, {"sort", "random"}}).ErrCode(), 1100);
        QCOMPARE(m_main->Get(kList, {}).ErrCode(), 1110);
    }

    void videoInfoAndUpdate()
    {
        const QJsonArray c = List({{"pageSize", "3"}, {"sort", "titleAsc"}}).value("contents").toArray();
        const QString vid = JsonAt(c, "1.vid").toString();
        const QString other = JsonAt(c, "2.vid").toString();
        auto info = [&](const QString& filter, const QString& vids) {
            return m_main->Get(kVideoInfo, {{"vids", vids}, {"filter", filter}});
        };
        const HttpReply both =
            info("snapshotInfo,basicInfo,transcodeInfo,metaData", vid + ",nosuch," + other);
        QCOMPARE(both.At("data").toArray().size(), 2); // unknown vids are left out
        QCOMPARE(both.At("data.0.vid").toString(), vid);
        QCOMPARE(both.At("data.0.snapshotInfo.bigImageUrl").toArray().size(), 6);
        QCOMPARE(both.At("data.0.snapshotInfo.imageUrl").toArray().size(), 6);
        QVERIFY(both.At("data.0.transcodeInfos").isArray());
        QVERIFY(both.At("data.0.metaData.width").toInt() > 0);
        for (const char* key :
             {"title", "description", "duration", "thumbnailURL", "coverURL", "creationTime", "updateTime",
              "size", "status", "cateId", "cateName", "tags", "uploader", "playTimes", "md5Checksum"})
            QVERIFY2(both.At("data.0.basicInfo").toObject().contains(QLatin1String(key)), key);
        QCOMPARE(KeySet(info("metaData", vid).At("data.0").toObject()), (QSet<QString>{"vid", "metaData"}));
        QCOMPARE(info("basicInfo,everything", vid).ErrCode(), 4001);

        // Absent tag/describ leave the fields; empty ones clear them.
        auto basic = [&] { return info("basicInfo", vid).At("data.0.basicInfo").toObject(); };
        auto update = [&](const ParamMap& p) { return m_main->Post(kUpdateInfo, p).status; };
        QCOMPARE(update({{"vid", vid}, {"title", "T1"}, {"tag", "a,b"}, {"describ", "D1"}}), 200L);
        QCOMPARE(update({{"vid", vid}, {"title", "T2"}}), 200L);
        QJsonObject b = basic();
        QCOMPARE(b.value("title").toString(), QStringLiteral("T2"));
        QCOMPARE(b.value("tags").toString(), QStringLiteral("a,b"));
        QCOMPARE(b.value("description").toString(), QStringLiteral("D1"));
        QCOMPARE(update({{"vid", vid}, {"title", "T3"}, {"describ", QString()}}), 200L);
        b = basic();
        QCOMPARE(b.value("tags").toString(), QStringLiteral("a,b"));
        QCOMPARE(b.value("description").toString(), QString());
        // A long description (well beyond 8 KB encoded) is accepted.
        const QString longDesc(1000, QChar(0x6587));
        QCOMPARE(update({{"vid", vid}, {"title", "T4"}, {"describ", longDesc}}), 200L);
        QCOMPARE(basic().value("description").toString(), longDesc);
        QCOMPARE(m_main->Post(kUpdateInfo, {{"vid", vid}, {"title", "  "}}).ErrCode(), 402);
        QCOMPARE(m_main->Post(kUpdateInfo, {{"vid", "gone"}, {"title", "x"}}).ErrCode(), 4000);

        // Moving: all or nothing.
        const QString cate = AddCategory(*m_main, m_top, "Moved videos");
        auto moveTo = [&](const QString& vids) {
            return m_main->Post("/v3/video/update-category", {{"vids", vids}, {"cateId", cate}});
        };
        QCOMPARE(moveTo(vid + ",gone").ErrCode(), 4000);
        QVERIFY(basic().value("cateId").toDouble() != cate.toDouble());
        QCOMPARE(moveTo(vid + ',' + other).status, 200L);
        QCOMPARE(basic().value("cateName").toString(), QStringLiteral("Moved videos"));

        // Deleting refunds the space and removes the video.
        ApiSession probe(*m_http);
        probe.Login(kMain, kPassword);
        const double before = probe.loginData.value("remainBytes").toDouble();
        QCOMPARE(m_main->Post("/v3/video/delete-video", {{"vid", other}}).status, 200L);
        QCOMPARE(m_main->Post("/v3/video/delete-video", {{"vid", other}}).ErrCode(), 4000);
        probe.Login(kMain, kPassword);
        QVERIFY(probe.loginData.value("remainBytes").toDouble() > before ||
                qFuzzyCompare(before, probe.loginData.value("space").toDouble()));
    }

    void coverChangeAndUpload()
    {
        const QString vid = List({}).value("contents").toArray().at(0).toObject().value("vid").toString();
        const QJsonObject snaps = m_main->Get(kVideoInfo, {{"vids", vid}, {"filter", "snapshotInfo"}})
                                      .At("data.0.snapshotInfo")
                                      .toObject();
        const QString big3 = JsonAt(snaps, "bigImageUrl.2").toString();
        const HttpReply changed =
            m_main->Post("/v3/video/change-cover-image", {{"vid", vid}, {"imgUrl", big3}});
        QCOMPARE(changed.status, 200L);
        QCOMPARE(changed.At("data.imageUrlBig").toString(), big3);
        QCOMPARE(changed.At("data.imageUrlSmall").toString(), JsonAt(snaps, "imageUrl.2").toString());
        const QString files = m_server->BaseUrl() + "/files/";
        for (const QString& foreign :
             {QString("https://example.com/a.png"), files + "../../etc/passwd",
              files + "installer/OrvaneUploadClient-Setup.exe", files + "nobody/x/snap1_b.png"})
            QCOMPARE(
                m_main->Post("/v3/video/change-cover-image", {{"vid", vid}, {"imgUrl", foreign}}).ErrCode(),
                1100);

        // The signature covers vids: changing them after signing is refused.
        auto upload = [&](const QByteArray& image, const QByteArray& vids = QByteArray()) {
            const ParamMap p = m_main->Signed({{"vids", vid}});
            return m_http->PostMultipart("/v3/video/upload-cover-image",
                                         {{"vids", vids.isEmpty() ? vid.toUtf8() : vids, QString()},
                                          {"appId", p.value("appId").toUtf8(), QString()},
                                          {"timestamp", p.value("timestamp").toUtf8(), QString()},
                                          {"sign", p.value("sign").toUtf8(), QString()},
                                          {"imageFile", image, "cover.png"}});
        };
        const QByteArray fiveMb = PaddedPng(1920, 1080, 5 * 1024 * 1024);
        QCOMPARE(fiveMb.size(), 5 * 1024 * 1024);
        const HttpReply up = upload(fiveMb);
        QCOMPARE(up.status, 200L);
        const HttpReply bigFile = m_http->Get(up.At("data.imageUrlBig").toString());
        QCOMPARE(bigFile.status, 200L);
        QCOMPARE(bigFile.body, fiveMb);
        const HttpReply small = m_http->Get(up.At("data.imageUrlSmall").toString());
        QCOMPARE(small.status, 200L);
        QVERIFY(!QImage::fromData(small.body).isNull());

        QCOMPARE(upload(PaddedPng(1920, 1080, 5 * 1024 * 1024 + 1)).ErrCode(), 415);
        QCOMPARE(upload(PaddedPng(1921, 1080)).ErrCode(), 1100);
        QCOMPARE(upload(PaddedPng(1920, 1081)).ErrCode(), 1100);
        QCOMPARE(upload("not an image at all").ErrCode(), 1100);
        // A tiny file that claims a huge canvas is refused from its header alone.
        QByteArray bomb = PaddedPng(1, 1);
        qToBigEndian(quint32(60000), bomb.data() + 16);
        qToBigEndian(quint32(60000), bomb.data() + 20);
        qToBigEndian(Crc32(bomb.mid(12, 17)), bomb.data() + 29);
        QCOMPARE(upload(bomb).ErrCode(), 1100);
        QCOMPARE(upload(PaddedPng(10, 10), "other").ErrCode(), 104);
    }

    void filesAndInstaller()
    {
        const QString thumbUrl = JsonAt(List({}), "contents.3.basicInfo.thumbnailURL").toString();
        const HttpReply thumb = m_http->Get(thumbUrl);
        QCOMPARE(thumb.status, 200L);
        QCOMPARE(thumb.contentLength, qint64(thumb.body.size()));
        QCOMPARE(thumb.contentType, QStringLiteral("image/png"));
        QVERIFY(!QImage::fromData(thumb.body).isNull());
        // Second request serves the cached file unchanged.
        QCOMPARE(m_http->Get(thumbUrl).body, thumb.body);

        // The web player script; an unknown video has nothing to play.
        const HttpReply player = m_http->Get("/script/player.js");
        QCOMPARE(player.status, 200L);
        QVERIFY(player.body.contains("window.orvanePlayer = function (options)"));
        QCOMPARE(m_http->Get("/play/nosuchvideo_0/source").status, 404L);

        for (const QString& path : QStringList{
                 "/files/nothing/here.png", "/files/../platform.db", "/files/%2e%2e/platform.db",
                 "/files/..%2fplatform.db", "/files/installer/../../platform.db",
                 "/files/installer/other.exe", "/files/x/y/z/w/v", "/files/.hidden/a", "/platform.db"}) {
            const HttpReply r = m_http->Get(path);
            QVERIFY2(r.status == 404 || r.status == 400, qPrintable(path));
            QVERIFY(!r.body.contains("SQLite"));
        }
    }

    void updateService()
    {
        const QMap<QString, QString> p{{"user_id", "b7e40c9f15"},
                                       {"appId", QString()},
                                       {"project_name", "orvaneUploadClient"},
                                       {"project_type", "pc"},
                                       {"timestamp", QString::number(QDateTime::currentMSecsSinceEpoch())}};
        auto check = [&](QMap<QString, QString> m, bool sign) {
            if (sign)
                m.insert("sign", UpdateSign(m));
            QStringList pairs;
            for (auto it = m.cbegin(); it != m.cend(); ++it)
                pairs << QStringLiteral("\"%1\":\"%2\"").arg(it.key(), it.value());
            const QByteArray body = '{' + pairs.join(',').toUtf8() + '}';
            return m_http->Post("/api/app/package/version/check", body, "application/json");
        };
        const HttpReply ok = check(p, true);
        QCOMPARE(ok.At("code"), QJsonValue(200));
        QCOMPARE(ok.At("message").toString(), QStringLiteral("success"));
        QCOMPARE(ok.At("status").toString(), QStringLiteral("success"));
        QCOMPARE(ok.At("project_version").toString(), QStringLiteral("2.4.3"));
        QVERIFY(ok.At("force_install").isBool());
        QVERIFY(ok.At("silence_install").isBool());
        QVERIFY(!ok.At("project_description").toString().isEmpty());
        const HttpReply installer = m_http->Get(ok.At("project_download").toString());
        QCOMPARE(installer.status, 200L);
        QVERIFY(installer.body.size() > 100000);
        QCOMPARE(installer.contentLength, qint64(installer.body.size()));

        // The salt is case-insensitive over values, but any change of a value breaks it.
        QMap<QString, QString> tampered = p;
        tampered.insert("sign", UpdateSign(p));
        tampered["project_type"] = "mac";
        const HttpReply bad = check(tampered, false);
        QCOMPARE(bad.At("status").toString(), QStringLiteral("failed"));
        QVERIFY(bad.At("code").toInt() != 200);
        QMap<QString, QString> quoted = p;
        quoted["user_id"] = "a\"b";
        QCOMPARE(check(quoted, true).At("status").toString(), QStringLiteral("failed"));
    }

    // Fault injection, as the client sees it, and robustness against malformed input.
    void cleanup() { m_server->Server().ClearFaults(); }

    void failureRules_data()
    {
        QTest::addColumn<int>("failNext"); // 0: until removed
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("envelope");
        QTest::addColumn<bool>("html");
        QTest::addColumn<int>("drops"); // answers cut after 0 bytes instead
        QTest::newRow("envelope") << 2 << 503 << true << false << 0;
        QTest::newRow("bare") << 1 << 500 << false << false << 0;
        QTest::newRow("html-until-removed") << 0 << 502 << true << true << 0;
        QTest::newRow("html-once") << 1 << 404 << true << true << 0;
        QTest::newRow("cut-answer") << 0 << 500 << true << false << 2;
    }

    void failureRules()
    {
        QFETCH(int, failNext);
        QFETCH(int, status);
        QFETCH(bool, envelope);
        QFETCH(bool, html);
        QFETCH(int, drops);
        orvsrv::FaultRule r;
        r.pathPattern = "get-cate-tree";
        r.failNextN = failNext;
        r.httpStatus = status;
        r.jsonEnvelope = envelope;
        r.htmlPage = html;
        if (drops) {
            r.dropResponseAfterBytes = 0;
            r.dropCount = drops;
        }
        const int id = m_server->Server().AddFault(r);
        // Other paths are untouched while the rule is armed.
        QCOMPARE(m_main->Get(kList, {{"cateId", m_top}}).status, 200L);
        for (int i = 0; i < (failNext ? failNext : drops ? drops : 3); ++i) {
            const HttpReply f = m_main->Get(kTree, {{"cateId", m_top}});
            if (drops) {
                QVERIFY(f.curlCode != CURLE_OK);
                continue;
            }
            QCOMPARE(f.status, long(status));
            if (html) {
                QVERIFY(f.contentType.startsWith(QLatin1String("text/html")));
                QVERIFY(f.body.startsWith("<html>"));
                QJsonParseError pe;
                QJsonDocument::fromJson(f.body, &pe);
                QVERIFY(pe.error != QJsonParseError::NoError);
            } else if (envelope) {
                QCOMPARE(f.At("status").toString(), QStringLiteral("error"));
                QCOMPARE(f.At("code").toInt(), status);
                QVERIFY(f.At("error").isObject());
            } else {
                QVERIFY(!f.body.contains('{'));
                QVERIFY(f.contentType.startsWith(QLatin1String("text/plain")));
            }
        }
        if (!failNext && !drops)
            m_server->Server().RemoveFault(id);
        QCOMPARE(m_main->Get(kTree, {{"cateId", m_top}}).status, 200L);
    }

    void dropResponse()
    {
        orvsrv::FaultRule r;
        r.pathPattern = "^/files/installer/";
        r.dropResponseAfterBytes = 1000;
        m_server->Server().AddFault(r);
        const QString url = m_server->BaseUrl() + "/files/installer/OrvaneUploadClient-Setup.exe";
        const HttpReply cut = m_http->Get(url);
        QVERIFY2(cut.curlCode != CURLE_OK, qPrintable(QString::number(cut.curlCode)));
        QVERIFY(cut.body.size() <= 1000);
        QVERIFY(cut.contentLength > 1000);        // the header announced the whole file
        const HttpReply whole = m_http->Get(url); // the rule hit one request only
        QCOMPARE(whole.curlCode, int(CURLE_OK));
        QCOMPARE(whole.body.left(1000), cut.body.left(1000));
    }

    void dropRequest()
    {
        orvsrv::FaultRule r;
        r.pathPattern = "^/v3/category/add$";
        r.dropRequestAfterBytes = 2000;
        m_server->Server().AddFault(r);
        ParamMap p = m_main->Signed({{"parentId", m_top}, {"name", "Never stored"}});
        QByteArray body = FormEncode(p) + "&padding=" + QByteArray(300000, 'p');
        const HttpReply dropped = m_http->Post("/v3/category/add", body);
        QVERIFY2(dropped.curlCode != CURLE_OK || dropped.status == 0,
                 qPrintable(QString::number(dropped.status)));
        // A request without a body is cut at once.
        orvsrv::FaultRule get;
        get.pathPattern = "get-cate-tree";
        get.dropRequestAfterBytes = 100;
        m_server->Server().AddFault(get);
        QVERIFY(m_main->Get(kTree, {{"cateId", m_top}}).curlCode != CURLE_OK);
        QCOMPARE(m_main->Get(kTree, {{"cateId", m_top}}).status, 200L);

        // Nothing was stored: the same name can be added afterwards.
        const HttpReply again =
            m_main->Post("/v3/category/add", {{"parentId", m_top}, {"name", "Never stored"}});
        QCOMPARE(again.status, 200L);
    }

    void slowBody()
    {
        // The installer is large enough (over 100 KB) for the pace to show over the first chunk.
        const QString url = m_server->BaseUrl() + "/files/installer/OrvaneUploadClient-Setup.exe";
        const HttpReply normal = m_http->Get(url);
        QCOMPARE(normal.status, 200L);
        const qint64 bps = qMax<qint64>(2000, normal.body.size()); // about one second
        orvsrv::FaultRule r;
        r.pathPattern = "^/files/installer/";
        r.slowBodyBytesPerSec = bps;
        m_server->Server().AddFault(r);
        const HttpReply slow = m_http->Get(url);
        QCOMPARE(slow.status, 200L);
        QCOMPARE(slow.body, normal.body);
        QVERIFY2(slow.seconds >= 0.8 * double(normal.body.size()) / double(bps),
                 qPrintable(QString("%1 s for %2 bytes").arg(slow.seconds).arg(normal.body.size())));
    }

    void malformedBurst()
    {
        const QString base = m_server->BaseUrl();
        QVector<QPair<QString, QByteArray>> posts{
            {"/v3/category/add", "%%%&&==&=%ZZ"},
            {"/v3/category/add", QByteArray("\x00\xff\xfe binary", 10)},
            {"/v3/category/update-cate", "cateId=abc&destCateId=-1&appId=&sign="},
            {"/v3/video/update-info", "vid=&title="},
            {"/v3/video/update-category", "vids=,,,,&cateId=99999999999999999999999"},
            {"/v3/video/delete-video", ""},
            {"/v3/front/login-client", "email=%FF%FE&password=%00"},
            {"/v3/front/login-client", QByteArray(2 * 1024 * 1024, 'a')},
            {"/api/app/package/version/check", "{\"sign\": 5, \"x\": [1,2"},
            {"/api/app/package/version/check", "[]"},
            {"/v3/video/upload-cover-image", "vids=1"},
        };
        for (const auto& [path, body] : posts) {
            const HttpReply r = m_http->Post(path, body);
            QVERIFY2(r.Ok(), qPrintable(path));
            QVERIFY2(r.status >= 400 && r.status < 500, qPrintable(path + ' ' + QString::number(r.status)));
        }
        // Oversized form body: refused with 413 and an envelope.
        const HttpReply big = m_http->Post("/v3/category/add", QByteArray(2 * 1024 * 1024, 'x'));
        QCOMPARE(big.status, 413L);
        // Broken multipart bodies.
        for (const QByteArray& type :
             {QByteArray("multipart/form-data; boundary=zz"), QByteArray("multipart/form-data"),
              QByteArray("multipart/form-data; boundary=\"")}) {
            const HttpReply r = m_http->Post("/v3/video/upload-cover-image",
                                             "--zz\r\nContent-Disposition: form-data\r\n\r\nx", type);
            QVERIFY2(r.status >= 400 && r.status < 500, type.constData());
        }
        // Missing parameters on every signed GET, odd queries and traversal.
        for (const QString& q :
             QStringList{kTree, "/v3/video/list-video?page=x&&&=&", "/v3/video/get-video-info?vids=%00%01",
                         "/v3/../../etc/passwd", "/files/%2e%2e/%2e%2e/etc/passwd", "/v3/nothing"}) {
            const HttpReply r = m_http->Get(q);
            QVERIFY2(r.Ok() && r.status >= 400 && r.status < 500, qPrintable(q));
        }
        // Valid signatures with wrong types.
        QCOMPARE(m_main->Get("/v3/video/list-video", {{"cateId", "-5"}}).ErrCode(), 1111);
        QCOMPARE(m_main->Get("/v3/video/list-video", {{"cateId", m_top}, {"page", "1e9"}}).ErrCode(), 1111);
        QCOMPARE(m_main->Get("/v3/video/get-video-info", {}).ErrCode(), 401);

        // Raw garbage straight onto the TLS port, from several threads at once.
        std::vector<std::thread> threads;
        std::atomic<int> answered{0};
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&, t] {
                QTcpSocket s;
                s.connectToHost("127.0.0.1", m_server->Server().Port());
                if (s.waitForConnected(3000)) {
                    s.write(t % 2 ? QByteArray("GET / HTTP/1.1\r\n\r\n") : QByteArray(5000, char(0x16)));
                    s.waitForBytesWritten(1000);
                    s.waitForReadyRead(1000);
                    s.close();
                }
                HttpClient c(base, m_server->CaFile());
                if (c.Post("/v3/category/add", "name=%G0").status == 401)
                    ++answered;
            });
        }
        for (auto& th : threads)
            th.join();
        QCOMPARE(answered.load(), 6);

        // Still answering normally.
        ApiSession fresh(*m_http);
        QCOMPARE(fresh.Login(kMain, kPassword).status, 200L);
        QCOMPARE(fresh.Get(kTree, {{"cateId", m_top}}).status, 200L);
    }

    void plainHttpServer()
    {
        orvsrv::ServerOptions o = ServerFixture::DemoOptions();
        o.https = false;
        ServerFixture plain(o);
        QVERIFY2(plain.Start(), qPrintable(plain.Error()));
        QVERIFY(plain.BaseUrl().startsWith(QLatin1String("http://127.0.0.1:")));
        HttpClient http(plain.BaseUrl(), QString());
        ApiSession s(http);
        QCOMPARE(s.Login(kSub, kPassword).status, 200L);
        QCOMPARE(s.Get(kTree, {{"cateId", QString::number(s.topCateId)}}).status, 200L);
        // Stopping and starting again on the same data keeps the data.
        plain.Stop();
        QVERIFY(plain.Start());
        HttpClient again(plain.BaseUrl(), QString());
        QCOMPARE(ApiSession(again).Login(kSub, kPassword).status, 200L);
    }

private:
    // The list-video data below the top category, sub-categories included unless p says otherwise.
    QJsonObject List(ParamMap p) const
    {
        p.insert("cateId", m_top);
        if (!p.contains("containSubCate"))
            p.insert("containSubCate", "Y");
        return m_main->Get(kList, p).At("data").toObject();
    }

    std::unique_ptr<ServerFixture> m_server;
    std::unique_ptr<HttpClient> m_http;
    std::unique_ptr<ApiSession> m_main;
    QString m_top;
};

QTEST_MAIN(TestPlatformApi)
#include "tst_platform_api.moc"
