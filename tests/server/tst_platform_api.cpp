// The platform server's REST API over real HTTPS: signing, envelopes, login,
// categories, video listing and editing, covers, files and the update service.

#include "httpclient.h"
#include "serverfixture.h"
#include "testsupport.h"

#include "orvane/shared_constants.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QThread>
#include <QtEndian>
#include <QtTest>

using namespace orvtest;

namespace {

const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);
const QString kMain = QString::fromLatin1(orvsrv::kDemoMainEmail);
const QString kSub = QString::fromLatin1(orvsrv::kDemoSubEmail);

int ErrCode(const HttpReply& r)
{
    return r.Json().value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt();
}

QJsonValue Data(const HttpReply& r)
{
    return r.Json().value(QStringLiteral("data"));
}

QSet<QString> KeySet(const QJsonObject& o)
{
    const QStringList keys = o.keys();
    return QSet<QString>(keys.begin(), keys.end());
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
    void initTestCase();
    void cleanupTestCase();
    void signatures();
    void envelopes();
    void loginAndSecret();
    void loginCountdownAndLock();
    void categoryRules();
    void categoryMoveAndTree();
    void subAccountPermissions();
    void listingTotalsSortAndFilter();
    void videoInfoAndUpdate();
    void coverChangeAndUpload();
    void filesAndInstaller();
    void updateService();

private:
    std::unique_ptr<ServerFixture> m_server;
    std::unique_ptr<HttpClient> m_http;
    std::unique_ptr<ApiSession> m_main;
};

void TestPlatformApi::initTestCase()
{
    orvsrv::ServerOptions o = ServerFixture::DemoOptions();
    o.lockoutSeconds = 1;
    m_server = std::make_unique<ServerFixture>(o);
    QVERIFY2(m_server->Start(), qPrintable(m_server->Error()));
    QVERIFY(m_server->BaseUrl().startsWith(QLatin1String("https://127.0.0.1:")));
    m_http = std::make_unique<HttpClient>(m_server->BaseUrl(), m_server->CaFile());
    m_main = std::make_unique<ApiSession>(*m_http);
    const HttpReply r = m_main->Login(kMain, kPassword);
    QCOMPARE(r.status, 200L);
    QVERIFY(!m_main->secret.isEmpty());
}

void TestPlatformApi::cleanupTestCase()
{
    m_server.reset();
}

void TestPlatformApi::signatures()
{
    const ParamMap tree{{QStringLiteral("cateId"), QString::number(m_main->topCateId)}};
    QCOMPARE(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree)
                 .Json()
                 .value(QStringLiteral("code"))
                 .toInt(),
             200);

    // A sign made with another secret, or over changed parameters, is refused.
    ParamMap p = m_main->Signed(tree);
    p[QStringLiteral("sign")] = SignParams(m_main->secret + QLatin1Char('x'), p);
    QCOMPARE(ErrCode(m_http->Get(QStringLiteral("/v3/category/get-cate-tree?") +
                                 QString::fromLatin1(FormEncode(p)))),
             104);
    p = m_main->Signed(tree);
    p[QStringLiteral("cateId")] = QStringLiteral("1");
    QCOMPARE(ErrCode(m_http->Get(QStringLiteral("/v3/category/get-cate-tree?") +
                                 QString::fromLatin1(FormEncode(p)))),
             104);
    p.remove(QStringLiteral("sign"));
    QCOMPARE(ErrCode(m_http->Get(QStringLiteral("/v3/category/get-cate-tree?") +
                                 QString::fromLatin1(FormEncode(p)))),
             104);

    // The timestamp window is five minutes either way.
    QCOMPARE(ErrCode(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree, -6 * 60 * 1000)), 100);
    QCOMPARE(ErrCode(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree, 6 * 60 * 1000)), 100);
    QCOMPARE(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree, -4 * 60 * 1000).status, 200L);

    // Unknown and missing appId.
    ApiSession stranger(*m_http);
    stranger.appId = QStringLiteral("NOSUCHAPP0");
    stranger.secret = m_main->secret;
    QCOMPARE(ErrCode(stranger.Get(QStringLiteral("/v3/category/get-cate-tree"), tree)), 101);
    QCOMPARE(ErrCode(m_http->Get(QStringLiteral("/v3/category/get-cate-tree?cateId=1"))), 107);

    // Empty values take no part in the signature but are still sent: an
    // empty tag is accepted and clears the tags.
    const QJsonArray list = Data(m_main->Get(QStringLiteral("/v3/video/list-video"),
                                             {{QStringLiteral("cateId"), QString::number(m_main->topCateId)},
                                              {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                              {QStringLiteral("page"), QStringLiteral("1")},
                                              {QStringLiteral("pageSize"), QStringLiteral("1")}}))
                                .toObject()
                                .value(QStringLiteral("contents"))
                                .toArray();
    QCOMPARE(list.size(), 1);
    const QString vid = list[0].toObject().value(QStringLiteral("vid")).toString();
    const HttpReply upd = m_main->Post(QStringLiteral("/v3/video/update-info"),
                                       {{QStringLiteral("vid"), vid},
                                        {QStringLiteral("title"), QStringLiteral("A & B = C")},
                                        {QStringLiteral("tag"), QString()}});
    QCOMPARE(upd.status, 200L);
}

void TestPlatformApi::envelopes()
{
    const ParamMap tree{{QStringLiteral("cateId"), QString::number(m_main->topCateId)}};
    const HttpReply a = m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree);
    const HttpReply b = m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), tree);
    const QJsonObject oa = a.Json();
    QCOMPARE(KeySet(oa),
             (QSet<QString>{QStringLiteral("requestId"), QStringLiteral("code"), QStringLiteral("status"),
                            QStringLiteral("error"), QStringLiteral("data")}));
    QCOMPARE(oa.value(QStringLiteral("code")).toInt(), 200);
    QCOMPARE(oa.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    QVERIFY(oa.value(QStringLiteral("error")).isNull());
    QVERIFY(oa.value(QStringLiteral("data")).isObject());
    QVERIFY(!oa.value(QStringLiteral("requestId")).toString().isEmpty());
    QVERIFY(oa.value(QStringLiteral("requestId")) != b.Json().value(QStringLiteral("requestId")));
    QVERIFY(a.contentType.startsWith(QLatin1String("application/json")));

    // Cutting the request id out leaves identical bytes for an unchanged tree,
    // which the client relies on to skip rebuilding.
    auto cut = [](QByteArray body) {
        const int at = body.indexOf("requestId\":");
        return at < 0 ? body : body.remove(at, 51);
    };
    QCOMPARE(cut(a.body), cut(b.body));

    // Failures of each kind: refused sign, missing thing, bad parameter.
    for (const HttpReply& r :
         {m_http->Get(QStringLiteral("/v3/category/get-cate-tree?cateId=1&appId=x&timestamp=1&sign=y")),
          m_main->Get(QStringLiteral("/v3/category/get-cate-tree"),
                      {{QStringLiteral("cateId"), QStringLiteral("42")}}),
          m_main->Get(QStringLiteral("/v3/video/list-video"),
                      {{QStringLiteral("cateId"), QStringLiteral("abc")}}),
          m_main->Post(QStringLiteral("/v3/video/delete-video"),
                       {{QStringLiteral("vid"), QStringLiteral("nope")}})}) {
        const QJsonObject o = r.Json();
        QVERIFY2(r.status >= 400 && r.status < 600, r.body.constData());
        QCOMPARE(o.value(QStringLiteral("code")).toInt(), int(r.status));
        QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("error"));
        QVERIFY(o.value(QStringLiteral("error")).isObject());
        QVERIFY(o.value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt() > 0);
        QVERIFY(
            !o.value(QStringLiteral("error")).toObject().value(QStringLiteral("desc")).toString().isEmpty());
    }
    QCOMPARE(ErrCode(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"),
                                 {{QStringLiteral("cateId"), QStringLiteral("42")}})),
             3001);
    QCOMPARE(ErrCode(m_main->Post(QStringLiteral("/v3/video/delete-video"),
                                  {{QStringLiteral("vid"), QStringLiteral("nope")}})),
             4000);
}

void TestPlatformApi::loginAndSecret()
{
    ApiSession s(*m_http);
    const HttpReply r = s.Login(kMain, kPassword);
    QCOMPARE(r.status, 200L);
    const QJsonObject d = s.loginData;
    for (const char* key : {"userId", "expired", "remainBytes", "space", "packageType", "leftDay",
                            "expirationTime", "email", "childUserName", "childUserId", "childVideoOnly",
                            "userLevel", "cateId", "uploadType", "appId", "appSecret", "nonce", "permission"})
        QVERIFY2(d.contains(QLatin1String(key)), key);
    QCOMPARE(d.value(QStringLiteral("expired")).toString(), QStringLiteral("N"));
    QCOMPARE(
        d.value(QStringLiteral("permission")).toObject().value(QStringLiteral("childAccountType")).toInt(),
        -1);
    QCOMPARE(d.value(QStringLiteral("permission")).toObject().size(), 15);
    // The independently decrypted secret is the signing secret (the API accepts it),
    // and each login uses a fresh nonce.
    QCOMPARE(s.secret, m_main->secret);
    QVERIFY(s.loginData.value(QStringLiteral("nonce")) != m_main->loginData.value(QStringLiteral("nonce")));
    QVERIFY(s.loginData.value(QStringLiteral("appSecret")) !=
            m_main->loginData.value(QStringLiteral("appSecret")));

    ApiSession sub(*m_http);
    QCOMPARE(sub.Login(kSub, kPassword).status, 200L);
    QCOMPARE(sub.loginData.value(QStringLiteral("permission"))
                 .toObject()
                 .value(QStringLiteral("childAccountType"))
                 .toInt(),
             0);
    QCOMPARE(sub.loginData.value(QStringLiteral("permission"))
                 .toObject()
                 .value(QStringLiteral("videoDelete"))
                 .toInt(),
             0);
    QCOMPARE(sub.loginData.value(QStringLiteral("userId")), s.loginData.value(QStringLiteral("userId")));

    ApiSession x(*m_http);
    QCOMPARE(ErrCode(x.Login(QStringLiteral("nobody@orvane.test"), kPassword)), 22);
    QCOMPARE(ErrCode(x.Login(QString::fromLatin1(orvsrv::kDemoExpiredSubEmail), kPassword)), 26);
    QCOMPARE(ErrCode(x.Login(QString(), kPassword)), 20);
    QCOMPARE(
        ErrCode(m_http->Post(QStringLiteral("/v3/front/login-client"), "email=demo%40orvane.test&password=")),
        21);
    // The password travels only as its digest; the plain text is refused.
    QCOMPARE(ErrCode(m_http->Post(QStringLiteral("/v3/front/login-client"),
                                  "email=" + QUrl::toPercentEncoding(kMain) +
                                      "&password=" + QUrl::toPercentEncoding(kPassword))),
             23);
}

void TestPlatformApi::loginCountdownAndLock()
{
    ApiSession s(*m_http);
    // The sub-account counts its own attempts; the main account stays usable.
    for (int expected = 4; expected >= 0; --expected) {
        const HttpReply r = s.Login(kSub, QStringLiteral("wrong"));
        QCOMPARE(ErrCode(r), 24);
        QCOMPARE(Data(r).toObject().value(QStringLiteral("remainLoginChange")).toInt(), expected);
    }
    const HttpReply locked = s.Login(kSub, kPassword);
    QCOMPARE(ErrCode(locked), 31);
    QCOMPARE(Data(locked).toObject().value(QStringLiteral("remainLoginChange")).toInt(), 0);
    QCOMPARE(ApiSession(*m_http).Login(kMain, kPassword).status, 200L);
    // The lock lasts the configured time (1 s here), then the count starts afresh.
    QThread::msleep(1200);
    QCOMPARE(s.Login(kSub, kPassword).status, 200L);
    const HttpReply again = s.Login(kSub, QStringLiteral("wrong"));
    QCOMPARE(Data(again).toObject().value(QStringLiteral("remainLoginChange")).toInt(), 4);
    QCOMPARE(s.Login(kSub, kPassword).status, 200L);
}

void TestPlatformApi::categoryRules()
{
    const QString top = QString::number(m_main->topCateId);
    auto add = [&](const QString& parent, const QString& name) {
        return m_main->Post(QStringLiteral("/v3/category/add"),
                            {{QStringLiteral("parentId"), parent}, {QStringLiteral("name"), name}});
    };
    const HttpReply ok = add(top, QStringLiteral("Rules & Tests 规则"));
    QCOMPARE(ok.status, 200L);
    const QString id = QString::number(quint64(Data(ok).toDouble()));
    QVERIFY(Data(ok).toDouble() > 1e12);
    QCOMPARE(ErrCode(add(top, QStringLiteral("Rules & Tests 规则"))), 3003);
    QCOMPARE(add(id, QStringLiteral("Rules & Tests 规则")).status, 200L); // same name, other parent
    QCOMPARE(ErrCode(add(top, QString(41, QLatin1Char('n')))), 3010);
    QCOMPARE(add(top, QString(40, QChar(0x4e2d))).status, 200L);
    QCOMPARE(ErrCode(add(top, QStringLiteral("emoji \U0001F600"))), 1100);
    QCOMPARE(ErrCode(add(top, QStringLiteral("   "))), 3000);
    QCOMPARE(ErrCode(add(QStringLiteral("99"), QStringLiteral("orphan"))), 3001);

    auto rename = [&](const QString& cate, const QString& name) {
        return m_main->Post(QStringLiteral("/v3/category/update-info"),
                            {{QStringLiteral("cateId"), cate}, {QStringLiteral("cateName"), name}});
    };
    QCOMPARE(ErrCode(rename(id, QStringLiteral("Movies"))), 3003);
    QCOMPARE(ErrCode(rename(id, QString(41, QLatin1Char('r')))), 3010);
    QCOMPARE(ErrCode(rename(id, QStringLiteral("\U0001F600"))), 1100);
    QCOMPARE(rename(id, QStringLiteral("Renamed rules")).status, 200L);
    QCOMPARE(rename(id, QStringLiteral("Renamed rules")).status, 200L); // its own name is no duplicate
}

void TestPlatformApi::categoryMoveAndTree()
{
    const QString top = QString::number(m_main->topCateId);
    auto add = [&](const QString& parent, const QString& name) {
        return QString::number(
            quint64(Data(m_main->Post(QStringLiteral("/v3/category/add"),
                                      {{QStringLiteral("parentId"), parent}, {QStringLiteral("name"), name}}))
                        .toDouble()));
    };
    auto move = [&](const QString& cate, const QString& dest) {
        return m_main->Post(QStringLiteral("/v3/category/update-cate"),
                            {{QStringLiteral("cateId"), cate}, {QStringLiteral("destCateId"), dest}});
    };
    const QString a = add(top, QStringLiteral("Move A"));
    const QString b = add(a, QStringLiteral("Move B"));
    const QString c = add(b, QStringLiteral("Move C"));
    const QString other = add(top, QStringLiteral("Move Other"));
    QCOMPARE(ErrCode(move(a, c)), 3005); // into its own subtree
    QCOMPARE(ErrCode(move(a, a)), 3005);
    QCOMPARE(ErrCode(move(top, other)), 3005);
    QCOMPARE(move(b, other).status, 200L);

    const QJsonObject tree =
        Data(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), {{QStringLiteral("cateId"), other}}))
            .toObject();
    QCOMPARE(tree.value(QStringLiteral("cateName")).toString(), QStringLiteral("Move Other"));
    const QJsonObject bNode = tree.value(QStringLiteral("children")).toArray().at(0).toObject();
    QCOMPARE(QString::number(quint64(bNode.value(QStringLiteral("cateId")).toDouble())), b);
    QCOMPARE(QString::number(quint64(bNode.value(QStringLiteral("parentId")).toDouble())), other);
    QCOMPARE(bNode.value(QStringLiteral("cateTree")).toString(),
             top + QLatin1Char(',') + other + QLatin1Char(',') + b);
    const QJsonObject cNode = bNode.value(QStringLiteral("children")).toArray().at(0).toObject();
    QCOMPARE(cNode.value(QStringLiteral("cateTree")).toString(),
             top + QLatin1Char(',') + other + QLatin1Char(',') + b + QLatin1Char(',') + c);
    QCOMPARE(cNode.value(QStringLiteral("videoCount")).toInt(), 0);

    // A sibling of the same name at the destination blocks the move.
    add(a, QStringLiteral("Move B"));
    QCOMPARE(ErrCode(move(b, a)), 3003);

    // The demo tree is three levels deep below the top and counts its videos.
    const QJsonObject whole =
        Data(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), {{QStringLiteral("cateId"), top}}))
            .toObject();
    int total = 0, depth = 0;
    std::function<void(const QJsonObject&, int)> walk = [&](const QJsonObject& n, int level) {
        total += n.value(QStringLiteral("videoCount")).toInt();
        depth = qMax(depth, level);
        for (const QJsonValue& k : n.value(QStringLiteral("children")).toArray())
            walk(k.toObject(), level + 1);
    };
    walk(whole, 0);
    QCOMPARE(total, 60);
    QVERIFY(depth >= 3);
}

void TestPlatformApi::subAccountPermissions()
{
    ApiSession sub(*m_http);
    QCOMPARE(sub.Login(kSub, kPassword).status, 200L);
    const QString top = QString::number(sub.topCateId);
    const QString cate =
        QString::number(quint64(Data(sub.Post(QStringLiteral("/v3/category/add"),
                                              {{QStringLiteral("parentId"), top},
                                               {QStringLiteral("name"), QStringLiteral("Sub made")}}))
                                    .toDouble()));
    QCOMPARE(ErrCode(sub.Post(QStringLiteral("/v3/category/update-cate"),
                              {{QStringLiteral("cateId"), cate}, {QStringLiteral("destCateId"), top}})),
             3002);
    const QJsonArray list = Data(sub.Get(QStringLiteral("/v3/video/list-video"),
                                         {{QStringLiteral("cateId"), top},
                                          {QStringLiteral("containSubCate"), QStringLiteral("Y")}}))
                                .toObject()
                                .value(QStringLiteral("contents"))
                                .toArray();
    QVERIFY(!list.isEmpty());
    const QString vid = list[0].toObject().value(QStringLiteral("vid")).toString();
    QCOMPARE(ErrCode(sub.Post(QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), vid}})),
             105);
    QCOMPARE(ErrCode(sub.Post(QStringLiteral("/v3/video/update-category"),
                              {{QStringLiteral("vids"), vid}, {QStringLiteral("cateId"), cate}})),
             105);
    QCOMPARE(sub.Post(QStringLiteral("/v3/video/update-info"),
                      {{QStringLiteral("vid"), vid}, {QStringLiteral("title"), QStringLiteral("By editor")}})
                 .status,
             200L);
}

void TestPlatformApi::listingTotalsSortAndFilter()
{
    const QString top = QString::number(m_main->topCateId);
    auto list = [&](ParamMap p) {
        return Data(m_main->Get(QStringLiteral("/v3/video/list-video"), p)).toObject();
    };
    const QJsonObject all = list({{QStringLiteral("cateId"), top},
                                  {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                  {QStringLiteral("page"), QStringLiteral("1")},
                                  {QStringLiteral("pageSize"), QStringLiteral("7")},
                                  {QStringLiteral("sort"), QStringLiteral("creationTimeDesc")}});
    const int total = all.value(QStringLiteral("totalItems")).toInt();
    QVERIFY(total >= 59); // the demo's 60, less what other cases deleted
    QCOMPARE(all.value(QStringLiteral("totalPages")).toInt(), (total + 6) / 7);
    QCOMPARE(all.value(QStringLiteral("pageSize")).toInt(), 7);

    // Walking every page yields each video once, newest first.
    QStringList seen;
    QString previous;
    for (int page = 1; page <= all.value(QStringLiteral("totalPages")).toInt(); ++page) {
        const QJsonObject o = list({{QStringLiteral("cateId"), top},
                                    {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                    {QStringLiteral("page"), QString::number(page)},
                                    {QStringLiteral("pageSize"), QStringLiteral("7")},
                                    {QStringLiteral("sort"), QStringLiteral("creationTimeDesc")}});
        QCOMPARE(o.value(QStringLiteral("pageNumber")).toInt(), page);
        for (const QJsonValue& v : o.value(QStringLiteral("contents")).toArray()) {
            const QJsonObject basic = v.toObject().value(QStringLiteral("basicInfo")).toObject();
            const QString created = basic.value(QStringLiteral("creationTime")).toString();
            QVERIFY(previous.isEmpty() || created <= previous);
            previous = created;
            seen << v.toObject().value(QStringLiteral("vid")).toString();
        }
    }
    QCOMPARE(seen.size(), total);
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), total);
    const QJsonObject beyond = list({{QStringLiteral("cateId"), top},
                                     {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                     {QStringLiteral("page"), QStringLiteral("99")},
                                     {QStringLiteral("pageSize"), QStringLiteral("7")}});
    QCOMPARE(beyond.value(QStringLiteral("contents")).toArray().size(), 0);
    QCOMPARE(beyond.value(QStringLiteral("totalItems")).toInt(), total);

    // Title sorts, both ways.
    for (const QString& sort :
         {QStringLiteral("titleAsc"), QStringLiteral("titleDesc"), QStringLiteral("creationTimeAsc")}) {
        const QJsonArray c = list({{QStringLiteral("cateId"), top},
                                   {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                   {QStringLiteral("pageSize"), QStringLiteral("100")},
                                   {QStringLiteral("sort"), sort}})
                                 .value(QStringLiteral("contents"))
                                 .toArray();
        const char* key = sort.startsWith(QLatin1String("title")) ? "title" : "creationTime";
        for (int i = 1; i < c.size(); ++i) {
            const QString x = c[i - 1]
                                  .toObject()
                                  .value(QStringLiteral("basicInfo"))
                                  .toObject()
                                  .value(QLatin1String(key))
                                  .toString();
            const QString y = c[i].toObject()
                                  .value(QStringLiteral("basicInfo"))
                                  .toObject()
                                  .value(QLatin1String(key))
                                  .toString();
            const int cmp = QString::compare(x, y, Qt::CaseInsensitive);
            QVERIFY2(sort == QLatin1String("titleDesc") ? cmp >= 0 : cmp <= 0,
                     qPrintable(sort + QLatin1Char(' ') + x + QLatin1Char('/') + y));
        }
    }

    // Only the category itself without containSubCate; the direct counts add up.
    const QJsonObject tree =
        Data(m_main->Get(QStringLiteral("/v3/category/get-cate-tree"), {{QStringLiteral("cateId"), top}}))
            .toObject();
    const QJsonObject own =
        list({{QStringLiteral("cateId"), top}, {QStringLiteral("containSubCate"), QStringLiteral("N")}});
    QCOMPARE(own.value(QStringLiteral("totalItems")).toInt(),
             tree.value(QStringLiteral("videoCount")).toInt());
    QVERIFY(own.value(QStringLiteral("totalItems")).toInt() < total);

    // Title filter: case-insensitive substring, totals follow the filter.
    int expected = 0;
    for (const QJsonValue& v : list({{QStringLiteral("cateId"), top},
                                     {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                     {QStringLiteral("pageSize"), QStringLiteral("1000")}})
                                   .value(QStringLiteral("contents"))
                                   .toArray())
        expected += v.toObject()
                        .value(QStringLiteral("basicInfo"))
                        .toObject()
                        .value(QStringLiteral("title"))
                        .toString()
                        .contains(QLatin1String("sunrise"), Qt::CaseInsensitive);
    QVERIFY(expected >= 4);
    const QJsonObject sunrise = list({{QStringLiteral("cateId"), top},
                                      {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                      {QStringLiteral("title"), QStringLiteral("sunRISE")},
                                      {QStringLiteral("pageSize"), QStringLiteral("2")}});
    QCOMPARE(sunrise.value(QStringLiteral("totalItems")).toInt(), expected);
    QCOMPARE(sunrise.value(QStringLiteral("totalPages")).toInt(), (expected + 1) / 2);
    for (const QJsonValue& v : sunrise.value(QStringLiteral("contents")).toArray())
        QVERIFY(v.toObject()
                    .value(QStringLiteral("basicInfo"))
                    .toObject()
                    .value(QStringLiteral("title"))
                    .toString()
                    .contains(QLatin1String("Sunrise")));

    // Parameter checks.
    QCOMPARE(ErrCode(m_main->Get(
                 QStringLiteral("/v3/video/list-video"),
                 {{QStringLiteral("cateId"), top}, {QStringLiteral("pageSize"), QStringLiteral("0")}})),
             1114);
    QCOMPARE(ErrCode(m_main->Get(QStringLiteral("/v3/video/list-video"),
                                 {{QStringLiteral("cateId"), top},
                                  {QStringLiteral("containSubCate"), QStringLiteral("yes")}})),
             1122);
    QCOMPARE(ErrCode(m_main->Get(
                 QStringLiteral("/v3/video/list-video"),
                 {{QStringLiteral("cateId"), top}, {QStringLiteral("sort"), QStringLiteral("random")}})),
             1100);
    QCOMPARE(ErrCode(m_main->Get(QStringLiteral("/v3/video/list-video"), {})), 1110);
}

void TestPlatformApi::videoInfoAndUpdate()
{
    const QString top = QString::number(m_main->topCateId);
    const QJsonArray c = Data(m_main->Get(QStringLiteral("/v3/video/list-video"),
                                          {{QStringLiteral("cateId"), top},
                                           {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                           {QStringLiteral("pageSize"), QStringLiteral("3")},
                                           {QStringLiteral("sort"), QStringLiteral("titleAsc")}}))
                             .toObject()
                             .value(QStringLiteral("contents"))
                             .toArray();
    const QString vid = c[1].toObject().value(QStringLiteral("vid")).toString();
    const QString other = c[2].toObject().value(QStringLiteral("vid")).toString();
    auto info = [&](const QString& filter, const QString& vids) {
        return m_main->Get(QStringLiteral("/v3/video/get-video-info"),
                           {{QStringLiteral("vids"), vids}, {QStringLiteral("filter"), filter}});
    };
    const QJsonArray both = Data(info(QStringLiteral("snapshotInfo,basicInfo,transcodeInfo,metaData"),
                                      vid + QStringLiteral(",nosuch,") + other))
                                .toArray();
    QCOMPARE(both.size(), 2); // unknown vids are left out
    const QJsonObject full = both[0].toObject();
    QCOMPARE(full.value(QStringLiteral("vid")).toString(), vid);
    QCOMPARE(full.value(QStringLiteral("snapshotInfo"))
                 .toObject()
                 .value(QStringLiteral("bigImageUrl"))
                 .toArray()
                 .size(),
             6);
    QCOMPARE(full.value(QStringLiteral("snapshotInfo"))
                 .toObject()
                 .value(QStringLiteral("imageUrl"))
                 .toArray()
                 .size(),
             6);
    QVERIFY(full.value(QStringLiteral("transcodeInfos")).isArray());
    QVERIFY(full.value(QStringLiteral("metaData")).toObject().value(QStringLiteral("width")).toInt() > 0);
    for (const char* key :
         {"title", "description", "duration", "thumbnailURL", "coverURL", "creationTime", "updateTime",
          "size", "status", "cateId", "cateName", "tags", "uploader", "playTimes", "md5Checksum"})
        QVERIFY2(full.value(QStringLiteral("basicInfo")).toObject().contains(QLatin1String(key)), key);

    const QJsonObject onlyMeta = Data(info(QStringLiteral("metaData"), vid)).toArray().at(0).toObject();
    QCOMPARE(KeySet(onlyMeta), (QSet<QString>{QStringLiteral("vid"), QStringLiteral("metaData")}));
    QCOMPARE(ErrCode(info(QStringLiteral("basicInfo,everything"), vid)), 4001);

    // Absent tag/describ leave the fields; empty ones clear them.
    auto basic = [&] {
        return Data(info(QStringLiteral("basicInfo"), vid))
            .toArray()
            .at(0)
            .toObject()
            .value(QStringLiteral("basicInfo"))
            .toObject();
    };
    QCOMPARE(m_main
                 ->Post(QStringLiteral("/v3/video/update-info"),
                        {{QStringLiteral("vid"), vid},
                         {QStringLiteral("title"), QStringLiteral("T1")},
                         {QStringLiteral("tag"), QStringLiteral("a,b")},
                         {QStringLiteral("describ"), QStringLiteral("D1")}})
                 .status,
             200L);
    QCOMPARE(m_main
                 ->Post(QStringLiteral("/v3/video/update-info"),
                        {{QStringLiteral("vid"), vid}, {QStringLiteral("title"), QStringLiteral("T2")}})
                 .status,
             200L);
    QJsonObject b = basic();
    QCOMPARE(b.value(QStringLiteral("title")).toString(), QStringLiteral("T2"));
    QCOMPARE(b.value(QStringLiteral("tags")).toString(), QStringLiteral("a,b"));
    QCOMPARE(b.value(QStringLiteral("description")).toString(), QStringLiteral("D1"));
    QCOMPARE(
        m_main
            ->Post(QStringLiteral("/v3/video/update-info"), {{QStringLiteral("vid"), vid},
                                                             {QStringLiteral("title"), QStringLiteral("T3")},
                                                             {QStringLiteral("describ"), QString()}})
            .status,
        200L);
    b = basic();
    QCOMPARE(b.value(QStringLiteral("tags")).toString(), QStringLiteral("a,b"));
    QCOMPARE(b.value(QStringLiteral("description")).toString(), QString());
    // A long description (well beyond 8 KB encoded) is accepted.
    const QString longDesc(1000, QChar(0x6587));
    QCOMPARE(
        m_main
            ->Post(QStringLiteral("/v3/video/update-info"), {{QStringLiteral("vid"), vid},
                                                             {QStringLiteral("title"), QStringLiteral("T4")},
                                                             {QStringLiteral("describ"), longDesc}})
            .status,
        200L);
    QCOMPARE(basic().value(QStringLiteral("description")).toString(), longDesc);
    QCOMPARE(ErrCode(m_main->Post(
                 QStringLiteral("/v3/video/update-info"),
                 {{QStringLiteral("vid"), vid}, {QStringLiteral("title"), QStringLiteral("  ")}})),
             402);
    QCOMPARE(ErrCode(m_main->Post(QStringLiteral("/v3/video/update-info"),
                                  {{QStringLiteral("vid"), QStringLiteral("gone")},
                                   {QStringLiteral("title"), QStringLiteral("x")}})),
             4000);

    // Moving: all or nothing.
    const QString cate =
        QString::number(quint64(Data(m_main->Post(QStringLiteral("/v3/category/add"),
                                                  {{QStringLiteral("parentId"), top},
                                                   {QStringLiteral("name"), QStringLiteral("Moved videos")}}))
                                    .toDouble()));
    QCOMPARE(ErrCode(m_main->Post(QStringLiteral("/v3/video/update-category"),
                                  {{QStringLiteral("vids"), vid + QStringLiteral(",gone")},
                                   {QStringLiteral("cateId"), cate}})),
             4000);
    QCOMPARE(basic().value(QStringLiteral("cateId")).toDouble() == cate.toDouble(), false);
    QCOMPARE(m_main
                 ->Post(QStringLiteral("/v3/video/update-category"),
                        {{QStringLiteral("vids"), vid + QLatin1Char(',') + other},
                         {QStringLiteral("cateId"), cate}})
                 .status,
             200L);
    QCOMPARE(basic().value(QStringLiteral("cateName")).toString(), QStringLiteral("Moved videos"));

    // Deleting refunds the space and removes the video.
    ApiSession probe(*m_http);
    probe.Login(kMain, kPassword);
    const double before = probe.loginData.value(QStringLiteral("remainBytes")).toDouble();
    const double size = basic().value(QStringLiteral("size")).toDouble();
    QCOMPARE(m_main->Post(QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), other}}).status,
             200L);
    QCOMPARE(
        ErrCode(m_main->Post(QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), other}})),
        4000);
    probe.Login(kMain, kPassword);
    const double after = probe.loginData.value(QStringLiteral("remainBytes")).toDouble();
    QVERIFY(after > before ||
            qFuzzyCompare(before, probe.loginData.value(QStringLiteral("space")).toDouble()));
    Q_UNUSED(size);
}

void TestPlatformApi::coverChangeAndUpload()
{
    const QString top = QString::number(m_main->topCateId);
    const QString vid = Data(m_main->Get(QStringLiteral("/v3/video/list-video"),
                                         {{QStringLiteral("cateId"), top},
                                          {QStringLiteral("containSubCate"), QStringLiteral("Y")}}))
                            .toObject()
                            .value(QStringLiteral("contents"))
                            .toArray()
                            .at(0)
                            .toObject()
                            .value(QStringLiteral("vid"))
                            .toString();
    const QJsonObject snaps = Data(m_main->Get(QStringLiteral("/v3/video/get-video-info"),
                                               {{QStringLiteral("vids"), vid},
                                                {QStringLiteral("filter"), QStringLiteral("snapshotInfo")}}))
                                  .toArray()
                                  .at(0)
                                  .toObject()
                                  .value(QStringLiteral("snapshotInfo"))
                                  .toObject();
    const QString big3 = snaps.value(QStringLiteral("bigImageUrl")).toArray().at(2).toString();
    const HttpReply changed = m_main->Post(QStringLiteral("/v3/video/change-cover-image"),
                                           {{QStringLiteral("vid"), vid}, {QStringLiteral("imgUrl"), big3}});
    QCOMPARE(changed.status, 200L);
    QCOMPARE(Data(changed).toObject().value(QStringLiteral("imageUrlBig")).toString(), big3);
    QCOMPARE(Data(changed).toObject().value(QStringLiteral("imageUrlSmall")).toString(),
             snaps.value(QStringLiteral("imageUrl")).toArray().at(2).toString());
    for (const QString& foreign :
         {QStringLiteral("https://example.com/a.png"),
          m_server->BaseUrl() + QStringLiteral("/files/../../etc/passwd"),
          m_server->BaseUrl() + QStringLiteral("/files/installer/OrvaneUploadClient-Setup.exe"),
          m_server->BaseUrl() + QStringLiteral("/files/nobody/x/snap1_b.png")})
        QCOMPARE(ErrCode(m_main->Post(QStringLiteral("/v3/video/change-cover-image"),
                                      {{QStringLiteral("vid"), vid}, {QStringLiteral("imgUrl"), foreign}})),
                 1100);

    auto upload = [&](const QByteArray& image, const QString& name = QStringLiteral("cover.png")) {
        const ParamMap p = m_main->Signed({{QStringLiteral("vids"), vid}});
        return m_http->PostMultipart(
            QStringLiteral("/v3/video/upload-cover-image"),
            {{QStringLiteral("vids"), p.value(QStringLiteral("vids")).toUtf8(), QString()},
             {QStringLiteral("appId"), p.value(QStringLiteral("appId")).toUtf8(), QString()},
             {QStringLiteral("timestamp"), p.value(QStringLiteral("timestamp")).toUtf8(), QString()},
             {QStringLiteral("sign"), p.value(QStringLiteral("sign")).toUtf8(), QString()},
             {QStringLiteral("imageFile"), image, name}});
    };
    const QByteArray fiveMb = PaddedPng(1920, 1080, 5 * 1024 * 1024);
    QCOMPARE(fiveMb.size(), 5 * 1024 * 1024);
    const HttpReply up = upload(fiveMb);
    QCOMPARE(up.status, 200L);
    const QJsonObject urls = Data(up).toObject();
    const HttpReply bigFile = m_http->Url(urls.value(QStringLiteral("imageUrlBig")).toString());
    QCOMPARE(bigFile.status, 200L);
    QCOMPARE(bigFile.body, fiveMb);
    const HttpReply small = m_http->Url(urls.value(QStringLiteral("imageUrlSmall")).toString());
    QCOMPARE(small.status, 200L);
    QVERIFY(!QImage::fromData(small.body).isNull());

    QCOMPARE(ErrCode(upload(PaddedPng(1920, 1080, 5 * 1024 * 1024 + 1))), 415);
    QCOMPARE(ErrCode(upload(PaddedPng(1921, 1080))), 1100);
    QCOMPARE(ErrCode(upload(PaddedPng(1920, 1081))), 1100);
    QCOMPARE(ErrCode(upload(QByteArray("not an image at all"))), 1100);
    // A tiny file that claims a huge canvas is refused from its header alone.
    QByteArray bomb = PaddedPng(1, 1);
    qToBigEndian(quint32(60000), bomb.data() + 16);
    qToBigEndian(quint32(60000), bomb.data() + 20);
    qToBigEndian(Crc32(bomb.mid(12, 17)), bomb.data() + 29);
    QCOMPARE(ErrCode(upload(bomb)), 1100);
    // The signature covers vids: changing them after signing is refused.
    ParamMap p = m_main->Signed({{QStringLiteral("vids"), vid}});
    const HttpReply forged = m_http->PostMultipart(
        QStringLiteral("/v3/video/upload-cover-image"),
        {{QStringLiteral("vids"), "other", QString()},
         {QStringLiteral("appId"), p.value(QStringLiteral("appId")).toUtf8(), QString()},
         {QStringLiteral("timestamp"), p.value(QStringLiteral("timestamp")).toUtf8(), QString()},
         {QStringLiteral("sign"), p.value(QStringLiteral("sign")).toUtf8(), QString()},
         {QStringLiteral("imageFile"), PaddedPng(10, 10), QStringLiteral("a.png")}});
    QCOMPARE(ErrCode(forged), 104);
}

void TestPlatformApi::filesAndInstaller()
{
    const QString top = QString::number(m_main->topCateId);
    const QJsonObject basic = Data(m_main->Get(QStringLiteral("/v3/video/list-video"),
                                               {{QStringLiteral("cateId"), top},
                                                {QStringLiteral("containSubCate"), QStringLiteral("Y")}}))
                                  .toObject()
                                  .value(QStringLiteral("contents"))
                                  .toArray()
                                  .at(3)
                                  .toObject()
                                  .value(QStringLiteral("basicInfo"))
                                  .toObject();
    const HttpReply thumb = m_http->Url(basic.value(QStringLiteral("thumbnailURL")).toString());
    QCOMPARE(thumb.status, 200L);
    QCOMPARE(thumb.contentLength, qint64(thumb.body.size()));
    QCOMPARE(thumb.contentType, QStringLiteral("image/png"));
    QVERIFY(!QImage::fromData(thumb.body).isNull());
    // Second request serves the cached file unchanged.
    QCOMPARE(m_http->Url(basic.value(QStringLiteral("thumbnailURL")).toString()).body, thumb.body);

    // The web player script; an unknown video has nothing to play.
    const HttpReply player = m_http->Get(QStringLiteral("/script/player.js"));
    QCOMPARE(player.status, 200L);
    QVERIFY(player.body.contains("window.orvanePlayer = function (options)"));
    QCOMPARE(m_http->Get(QStringLiteral("/play/nosuchvideo_0/source")).status, 404L);

    for (const QString& path :
         {QStringLiteral("/files/nothing/here.png"), QStringLiteral("/files/../platform.db"),
          QStringLiteral("/files/%2e%2e/platform.db"), QStringLiteral("/files/..%2fplatform.db"),
          QStringLiteral("/files/installer/../../platform.db"), QStringLiteral("/files/installer/other.exe"),
          QStringLiteral("/files/x/y/z/w/v"), QStringLiteral("/files/.hidden/a"),
          QStringLiteral("/platform.db")}) {
        const HttpReply r = m_http->Get(path);
        QVERIFY2(r.status == 404 || r.status == 400, qPrintable(path));
        QVERIFY(!r.body.contains("SQLite"));
    }
}

void TestPlatformApi::updateService()
{
    QMap<QString, QString> p{
        {QStringLiteral("user_id"), QStringLiteral("b7e40c9f15")},
        {QStringLiteral("appId"), QString()},
        {QStringLiteral("project_name"), QStringLiteral("orvaneUploadClient")},
        {QStringLiteral("project_type"), QStringLiteral("pc")},
        {QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch())}};
    auto body = [](const QMap<QString, QString>& m) {
        QStringList pairs;
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            pairs << QStringLiteral("\"%1\":\"%2\"").arg(it.key(), it.value());
        return QStringLiteral("{%1}").arg(pairs.join(QLatin1Char(','))).toUtf8();
    };
    QMap<QString, QString> signedParams = p;
    signedParams.insert(QStringLiteral("sign"), UpdateSign(p));
    const HttpReply ok = m_http->Post(QStringLiteral("/api/app/package/version/check"), body(signedParams),
                                      "application/json");
    const QJsonObject o = ok.Json();
    QCOMPARE(o.value(QStringLiteral("code")), QJsonValue(200));
    QCOMPARE(o.value(QStringLiteral("message")).toString(), QStringLiteral("success"));
    QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    QCOMPARE(o.value(QStringLiteral("project_version")).toString(), QStringLiteral("2.4.3"));
    QVERIFY(o.value(QStringLiteral("force_install")).isBool());
    QVERIFY(o.value(QStringLiteral("silence_install")).isBool());
    QVERIFY(!o.value(QStringLiteral("project_description")).toString().isEmpty());
    const HttpReply installer = m_http->Url(o.value(QStringLiteral("project_download")).toString());
    QCOMPARE(installer.status, 200L);
    QVERIFY(installer.body.size() > 100000);
    QCOMPARE(installer.contentLength, qint64(installer.body.size()));

    // The salt is case-insensitive over values, but any change of a value breaks it.
    QMap<QString, QString> tampered = signedParams;
    tampered[QStringLiteral("project_type")] = QStringLiteral("mac");
    const QJsonObject bad =
        m_http->Post(QStringLiteral("/api/app/package/version/check"), body(tampered), "application/json")
            .Json();
    QCOMPARE(bad.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QVERIFY(bad.value(QStringLiteral("code")).toInt() != 200);
    QMap<QString, QString> quoted = p;
    quoted[QStringLiteral("user_id")] = QStringLiteral("a\"b");
    quoted.insert(QStringLiteral("sign"), UpdateSign(quoted));
    const HttpReply broken =
        m_http->Post(QStringLiteral("/api/app/package/version/check"), body(quoted), "application/json");
    QCOMPARE(broken.Json().value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
}

QTEST_MAIN(TestPlatformApi)
#include "tst_platform_api.moc"
