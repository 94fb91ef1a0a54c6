// Fault injection of the platform server, and its robustness against
// malformed input: every fault mode as the client sees it over HTTPS, and a
// burst of bad requests after which the server still answers normally.

#include "httpclient.h"
#include "serverfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QtTest>

#include <curl/curl.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace orvtest;

namespace {

const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);

int ErrCode(const HttpReply& r)
{
    return r.Json().value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt();
}

} // namespace

class TestPlatformFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void latency();
    void failNextWithAndWithoutEnvelope();
    void htmlErrorPage();
    void dropResponse();
    void dropRequest();
    void slowBody();
    void malformedBurst();
    void plainHttpServer();

private:
    QString ThumbUrl();
    std::unique_ptr<ServerFixture> m_server;
    std::unique_ptr<HttpClient> m_http;
    std::unique_ptr<ApiSession> m_api;
    ParamMap m_tree;
};

void TestPlatformFaults::initTestCase()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY2(m_server->Start(), qPrintable(m_server->Error()));
    m_http = std::make_unique<HttpClient>(m_server->BaseUrl(), m_server->CaFile());
    m_api = std::make_unique<ApiSession>(*m_http);
    QCOMPARE(m_api->Login(QString::fromLatin1(orvsrv::kDemoMainEmail), kPassword).status, 200L);
    m_tree = {{QStringLiteral("cateId"), QString::number(m_api->topCateId)}};
}

void TestPlatformFaults::cleanup()
{
    m_server->Server().ClearFaults();
}

QString TestPlatformFaults::ThumbUrl()
{
    const QJsonObject o = m_api
                              ->Get(QStringLiteral("/v3/video/list-video"),
                                    {{QStringLiteral("cateId"), QString::number(m_api->topCateId)},
                                     {QStringLiteral("containSubCate"), QStringLiteral("Y")}})
                              .Json();
    return o.value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("contents"))
        .toArray()
        .at(0)
        .toObject()
        .value(QStringLiteral("basicInfo"))
        .toObject()
        .value(QStringLiteral("thumbnailURL"))
        .toString();
}

void TestPlatformFaults::latency()
{
    orvsrv::FaultRule r;
    r.pathPattern = QStringLiteral("^/v3/category/");
    r.latencyMs = 400;
    r.latencyJitterMs = 100;
    m_server->Server().AddFault(r);
    const HttpReply slow = m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree);
    QCOMPARE(slow.status, 200L);
    QVERIFY2(slow.seconds >= 0.4, qPrintable(QString::number(slow.seconds)));
    // Other paths are not delayed by the rule; an answer within the latency proves it.
    const HttpReply other = m_http->Get(QStringLiteral("/files/none/none.png"));
    QCOMPARE(other.status, 404L);
}

void TestPlatformFaults::failNextWithAndWithoutEnvelope()
{
    orvsrv::FaultRule r;
    r.pathPattern = QStringLiteral("list-video");
    r.failNextN = 2;
    r.httpStatus = 503;
    m_server->Server().AddFault(r);
    for (int i = 0; i < 2; ++i) {
        const HttpReply f = m_api->Get(QStringLiteral("/v3/video/list-video"), m_tree);
        QCOMPARE(f.status, 503L);
        QCOMPARE(f.Json().value(QStringLiteral("status")).toString(), QStringLiteral("error"));
        QCOMPARE(f.Json().value(QStringLiteral("code")).toInt(), 503);
        QVERIFY(f.Json().value(QStringLiteral("error")).isObject());
    }
    QCOMPARE(m_api->Get(QStringLiteral("/v3/video/list-video"), m_tree).status, 200L);
    // Other paths are untouched while the rule is armed.
    m_server->Server().AddFault(r);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);
    m_server->Server().ClearFaults();
    QCOMPARE(m_api->Get(QStringLiteral("/v3/video/list-video"), m_tree).status, 200L);

    orvsrv::FaultRule bare;
    bare.failNextN = 1;
    bare.httpStatus = 500;
    bare.jsonEnvelope = false;
    m_server->Server().AddFault(bare);
    const HttpReply b = m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree);
    QCOMPARE(b.status, 500L);
    QVERIFY(!b.body.contains('{'));
    QVERIFY(b.contentType.startsWith(QLatin1String("text/plain")));
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);
}

void TestPlatformFaults::htmlErrorPage()
{
    orvsrv::FaultRule r;
    r.htmlPage = true;
    r.httpStatus = 502;
    const int id = m_server->Server().AddFault(r); // no count: stays until removed
    for (int i = 0; i < 3; ++i) {
        const HttpReply h = m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree);
        QCOMPARE(h.status, 502L);
        QVERIFY(h.contentType.startsWith(QLatin1String("text/html")));
        QVERIFY(h.body.startsWith("<html>"));
        QJsonParseError pe;
        QJsonDocument::fromJson(h.body, &pe);
        QVERIFY(pe.error != QJsonParseError::NoError);
    }
    m_server->Server().RemoveFault(id);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);

    r.failNextN = 1;
    r.httpStatus = 404;
    m_server->Server().AddFault(r);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 404L);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);
}

void TestPlatformFaults::dropResponse()
{
    orvsrv::FaultRule r;
    r.pathPattern = QStringLiteral("^/files/installer/");
    r.dropResponseAfterBytes = 1000;
    m_server->Server().AddFault(r);
    const QString url = m_server->BaseUrl() + QStringLiteral("/files/installer/OrvaneUploadClient-Setup.exe");
    const HttpReply cut = m_http->Url(url);
    QVERIFY2(cut.curlCode != CURLE_OK, qPrintable(QString::number(cut.curlCode)));
    QVERIFY(cut.body.size() <= 1000);
    QVERIFY(cut.contentLength > 1000);        // the header announced the whole file
    const HttpReply whole = m_http->Url(url); // the rule hit one request only
    QCOMPARE(whole.curlCode, int(CURLE_OK));
    QCOMPARE(whole.body.left(1000), cut.body.left(1000));

    // A JSON answer cut after 0 bytes.
    r.pathPattern = QStringLiteral("get-cate-tree");
    r.dropResponseAfterBytes = 0;
    r.dropCount = 2;
    m_server->Server().AddFault(r);
    QVERIFY(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).curlCode != CURLE_OK);
    QVERIFY(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).curlCode != CURLE_OK);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);
}

void TestPlatformFaults::dropRequest()
{
    const QString top = QString::number(m_api->topCateId);
    orvsrv::FaultRule r;
    r.pathPattern = QStringLiteral("^/v3/category/add$");
    r.dropRequestAfterBytes = 2000;
    m_server->Server().AddFault(r);
    ParamMap p = m_api->Signed(
        {{QStringLiteral("parentId"), top}, {QStringLiteral("name"), QStringLiteral("Never stored")}});
    QByteArray body = FormEncode(p) + "&padding=" + QByteArray(300000, 'p');
    const HttpReply dropped = m_http->Post(QStringLiteral("/v3/category/add"), body);
    QVERIFY2(dropped.curlCode != CURLE_OK || dropped.status == 0,
             qPrintable(QString::number(dropped.status)));
    // A request without a body is cut at once.
    orvsrv::FaultRule get;
    get.pathPattern = QStringLiteral("get-cate-tree");
    get.dropRequestAfterBytes = 100;
    m_server->Server().AddFault(get);
    QVERIFY(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).curlCode != CURLE_OK);
    QCOMPARE(m_api->Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);

    // Nothing was stored: the same name can be added afterwards.
    const HttpReply again = m_api->Post(
        QStringLiteral("/v3/category/add"),
        {{QStringLiteral("parentId"), top}, {QStringLiteral("name"), QStringLiteral("Never stored")}});
    QCOMPARE(again.status, 200L);
}

void TestPlatformFaults::slowBody()
{
    const QString url = ThumbUrl();
    const HttpReply normal = m_http->Url(url);
    QCOMPARE(normal.status, 200L);
    const qint64 bps = qMax<qint64>(2000, normal.body.size()); // about one second
    orvsrv::FaultRule r;
    r.pathPattern = QStringLiteral("^/files/");
    r.slowBodyBytesPerSec = bps;
    m_server->Server().AddFault(r);
    const HttpReply slow = m_http->Url(url);
    QCOMPARE(slow.status, 200L);
    QCOMPARE(slow.body, normal.body);
    QVERIFY2(slow.seconds >= 0.8 * double(normal.body.size()) / double(bps),
             qPrintable(QStringLiteral("%1 s for %2 bytes").arg(slow.seconds).arg(normal.body.size())));
}

void TestPlatformFaults::malformedBurst()
{
    const QString base = m_server->BaseUrl();
    QVector<QPair<QString, QByteArray>> posts{
        {QStringLiteral("/v3/category/add"), "%%%&&==&=%ZZ"},
        {QStringLiteral("/v3/category/add"), QByteArray("\x00\xff\xfe binary", 10)},
        {QStringLiteral("/v3/category/update-cate"), "cateId=abc&destCateId=-1&appId=&sign="},
        {QStringLiteral("/v3/video/update-info"), "vid=&title="},
        {QStringLiteral("/v3/video/update-category"), "vids=,,,,&cateId=99999999999999999999999"},
        {QStringLiteral("/v3/video/delete-video"), ""},
        {QStringLiteral("/v3/front/login-client"), "email=%FF%FE&password=%00"},
        {QStringLiteral("/v3/front/login-client"), QByteArray(2 * 1024 * 1024, 'a')},
        {QStringLiteral("/api/app/package/version/check"), "{\"sign\": 5, \"x\": [1,2"},
        {QStringLiteral("/api/app/package/version/check"), "[]"},
        {QStringLiteral("/v3/video/upload-cover-image"), "vids=1"},
    };
    for (const auto& [path, body] : posts) {
        const HttpReply r = m_http->Post(path, body);
        QVERIFY2(r.Ok(), qPrintable(path));
        QVERIFY2(r.status >= 400 && r.status < 500,
                 qPrintable(path + QLatin1Char(' ') + QString::number(r.status)));
    }
    // Oversized form body: refused with 413 and an envelope.
    const HttpReply big = m_http->Post(QStringLiteral("/v3/category/add"), QByteArray(2 * 1024 * 1024, 'x'));
    QCOMPARE(big.status, 413L);
    // Broken multipart bodies.
    for (const QByteArray& type :
         {QByteArray("multipart/form-data; boundary=zz"), QByteArray("multipart/form-data"),
          QByteArray("multipart/form-data; boundary=\"")}) {
        const HttpReply r = m_http->Post(QStringLiteral("/v3/video/upload-cover-image"),
                                         "--zz\r\nContent-Disposition: form-data\r\n\r\nx", type);
        QVERIFY2(r.status >= 400 && r.status < 500, type.constData());
    }
    // Missing parameters on every signed GET, odd queries and traversal.
    for (const QString& q :
         {QStringLiteral("/v3/category/get-cate-tree"), QStringLiteral("/v3/video/list-video?page=x&&&=&"),
          QStringLiteral("/v3/video/get-video-info?vids=%00%01"), QStringLiteral("/v3/../../etc/passwd"),
          QStringLiteral("/files/%2e%2e/%2e%2e/etc/passwd"), QStringLiteral("/v3/nothing")}) {
        const HttpReply r = m_http->Get(q);
        QVERIFY2(r.Ok() && r.status >= 400 && r.status < 500, qPrintable(q));
    }
    // Valid signatures with wrong types.
    QCOMPARE(ErrCode(m_api->Get(QStringLiteral("/v3/video/list-video"),
                                {{QStringLiteral("cateId"), QStringLiteral("-5")}})),
             1111);
    QCOMPARE(ErrCode(m_api->Get(QStringLiteral("/v3/video/list-video"),
                                {{QStringLiteral("cateId"), QString::number(m_api->topCateId)},
                                 {QStringLiteral("page"), QStringLiteral("1e9")}})),
             1111);
    QCOMPARE(ErrCode(m_api->Get(QStringLiteral("/v3/video/get-video-info"), {})), 401);

    // Raw garbage straight onto the TLS port, from several threads at once.
    std::vector<std::thread> threads;
    std::atomic<int> answered{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            QTcpSocket s;
            s.connectToHost(QStringLiteral("127.0.0.1"), m_server->Server().Port());
            if (s.waitForConnected(3000)) {
                s.write(t % 2 ? QByteArray("GET / HTTP/1.1\r\n\r\n") : QByteArray(5000, char(0x16)));
                s.waitForBytesWritten(1000);
                s.waitForReadyRead(1000);
                s.close();
            }
            HttpClient c(base, m_server->CaFile());
            if (c.Post(QStringLiteral("/v3/category/add"), "name=%G0").status == 401)
                ++answered;
        });
    }
    for (auto& th : threads)
        th.join();
    QCOMPARE(answered.load(), 6);

    // Still answering normally.
    ApiSession fresh(*m_http);
    QCOMPARE(fresh.Login(QString::fromLatin1(orvsrv::kDemoMainEmail), kPassword).status, 200L);
    QCOMPARE(fresh.Get(QStringLiteral("/v3/category/get-cate-tree"), m_tree).status, 200L);
}

void TestPlatformFaults::plainHttpServer()
{
    orvsrv::ServerOptions o = ServerFixture::DemoOptions();
    o.https = false;
    ServerFixture plain(o);
    QVERIFY2(plain.Start(), qPrintable(plain.Error()));
    QVERIFY(plain.BaseUrl().startsWith(QLatin1String("http://127.0.0.1:")));
    HttpClient http(plain.BaseUrl(), QString());
    ApiSession s(http);
    QCOMPARE(s.Login(QString::fromLatin1(orvsrv::kDemoSubEmail), kPassword).status, 200L);
    QCOMPARE(s.Get(QStringLiteral("/v3/category/get-cate-tree"),
                   {{QStringLiteral("cateId"), QString::number(s.topCateId)}})
                 .status,
             200L);
    // Stopping and starting again on the same data keeps the data.
    plain.Stop();
    QVERIFY(plain.Start());
    HttpClient again(plain.BaseUrl(), QString());
    QCOMPARE(ApiSession(again).Login(QString::fromLatin1(orvsrv::kDemoSubEmail), kPassword).status, 200L);
}

QTEST_MAIN(TestPlatformFaults)
#include "tst_platform_faults.moc"
