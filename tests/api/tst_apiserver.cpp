// Every endpoint, the transport's failure mapping, the parallel download and
// the update check against the local platform server over real HTTPS.

#include "tst_apiserver.h"

#include "api/transport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

using namespace ApiCollection;

namespace {

QString UpdatePath()
{
    return QStringLiteral("/api/app/package/version/check");
}

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool WaitForPort(quint16 port, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

// A tinyproxy on a free loopback port with a generated configuration.
class Tinyproxy
{
public:
    explicit Tinyproxy(const QString& basicAuth = QString())
    {
        port_ = FreePort();
        QFile conf(dir_.path() + QStringLiteral("/tinyproxy.conf"));
        conf.open(QIODevice::WriteOnly);
        QByteArray text = "Port " + QByteArray::number(port_) + "\nListen 127.0.0.1\nTimeout 30\nLogFile \"" +
                          dir_.path().toUtf8() +
                          "/tinyproxy.log\"\nLogLevel Info\nMaxClients 20\nAllow 127.0.0.1\n";
        if (!basicAuth.isEmpty())
            text += "BasicAuth " + basicAuth.toUtf8() + "\n";
        conf.write(text);
        conf.close();
        process_.start(QStringLiteral("tinyproxy"),
                       {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()});
        started_ = process_.waitForStarted(3000) && WaitForPort(port_, 5000);
    }
    ~Tinyproxy()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    bool Started() const { return started_; }
    quint16 Port() const { return port_; }
    QByteArray Log() const
    {
        QFile log(dir_.path() + QStringLiteral("/tinyproxy.log"));
        log.open(QIODevice::ReadOnly);
        return log.readAll();
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    bool started_ = false;
};

} // namespace

void ApiServerTest::initTestCase()
{
    QVERIFY(serverDir_.isValid());
    orvsrv::ServerOptions options;
    options.dataDir = serverDir_.path() + QStringLiteral("/server");
    options.seed = QStringLiteral("demo");
    server_ = std::make_unique<orvsrv::PlatformServer>(options);
    QString error;
    QVERIFY2(server_->Start(&error), qPrintable(error));
}

void ApiServerTest::cleanupTestCase()
{
    server_->Stop();
    server_.reset();
}

void ApiServerTest::init()
{
    config_ = std::make_unique<ScopedConfig>();
    PointAtServer();
    server_->ClearFaults();
}

void ApiServerTest::cleanup()
{
    server_->ClearFaults();
    config_.reset();
    SetAccountCredentials(QString(), QString());
}

void ApiServerTest::PointAtServer()
{
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server_->BaseUrl());
    config_->Set(QStringLiteral("Custom"), QStringLiteral("updateUrl"), server_->BaseUrl() + UpdatePath());
    config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), server_->CaFile());
}

bool ApiServerTest::LoginDemo(const char* email)
{
    QByteArray response;
    if (LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(email),
                           QString::fromLatin1(orvsrv::kDemoPassword), response, nullptr) != NoError)
        return false;
    LoginResult result;
    if (ParseLoginClientResponse(response, result) != NoError)
        return false;
    SetAccountCredentials(result.appId, result.appSecret);
    root_ = result.cateId;
    return true;
}

QList<QUrl> ApiServerTest::ThumbnailUrls(int count)
{
    QList<QUrl> urls;
    QByteArray response;
    if (ListVideoRequest(QUuid::createUuid(), root_, QString(), true, 1, 100, CreationTimeDesc, response,
                         nullptr) != NoError)
        return urls;
    ListVideoResult list;
    if (ParseListVideoResponse(response, list) != NoError)
        return urls;
    QStringList vids;
    for (const QJsonValue& v : qAsConst(list.contents))
        vids << v.toObject().value(QStringLiteral("vid")).toString();
    if (vids.isEmpty() || GetVideoInfoRequest(QUuid::createUuid(), vids, Basic, response, nullptr) != NoError)
        return urls;
    VideoInfosResult infos;
    if (ParseGetVideoInfoResponse(response, infos) != NoError)
        return urls;
    QList<QUrl> distinct;
    for (const VideoInfo& info : qAsConst(infos.infos)) {
        if (info.thumbnailURL.isValid() && !info.thumbnailURL.isEmpty())
            distinct << info.thumbnailURL;
    }
    for (int i = 0; !distinct.isEmpty() && urls.size() < count; ++i)
        urls << distinct.at(i % distinct.size());
    return urls;
}

void ApiServerTest::login()
{
    QByteArray response;
    LogCapture log;
    QCOMPARE(LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(orvsrv::kDemoMainEmail),
                                QString::fromLatin1(orvsrv::kDemoPassword), response, nullptr),
             NoError);
    LoginResult main;
    QCOMPARE(ParseLoginClientResponse(response, main), NoError);
    QVERIFY(!main.appId.isEmpty());
    QVERIFY(!main.appSecret.isEmpty());
    QVERIFY(!main.userId.isEmpty());
    QCOMPARE(main.childAccountType, int(None));
    QCOMPARE(main.email, QString::fromLatin1(orvsrv::kDemoMainEmail));
    QVERIFY(main.cateId > 0);
    root_ = main.cateId;

    QCOMPARE(LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(orvsrv::kDemoSubEmail),
                                QString::fromLatin1(orvsrv::kDemoPassword), response, nullptr),
             NoError);
    LoginResult sub;
    QCOMPARE(ParseLoginClientResponse(response, sub), NoError);
    QVERIFY(sub.childAccountType != int(None));
    QVERIFY(!sub.appSecret.isEmpty());

    // The decrypted secret signs calls the server accepts.
    SetAccountCredentials(main.appId, main.appSecret);
    QCOMPARE(GetCateTreeRequest(QUuid::createUuid(), root_, response, nullptr), NoError);
    CateTreeResult tree;
    QCOMPARE(ParseGetCateTreeResponse(response, tree), NoError);

    // A wrong password is refused with the remaining attempts.
    QCOMPARE(LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(orvsrv::kDemoSubEmail),
                                QStringLiteral("wrong password"), response, nullptr),
             NoError);
    LoginResult refused;
    QCOMPARE(ParseLoginClientResponse(response, refused), ApiReturnFailed);
    QVERIFY2(refused.errorCode >= 11 && refused.errorCode <= 33,
             qPrintable(QString::number(refused.errorCode)));
    QVERIFY(refused.remainLoginChange >= 0);
    QVERIFY(!ErrorMessage(ApiReturnFailed, refused).isEmpty());
}

void ApiServerTest::categories()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    QByteArray response;
    const QString name =
        QStringLiteral("Tom & Jerry \u4E2D %1").arg(QUuid::createUuid().toString().mid(1, 8));

    QCOMPARE(AddCategoryRequest(QUuid::createUuid(), root_, name, response, nullptr), NoError);
    AddCategoryResult added;
    QCOMPARE(ParseAddCategoryResponse(response, added), NoError);
    QVERIFY(added.cateId > root_);

    QCOMPARE(GetCateTreeRequest(QUuid::createUuid(), root_, response, nullptr), NoError);
    CateTreeResult tree;
    QCOMPARE(ParseGetCateTreeResponse(response, tree), NoError);
    QVERIFY(!tree.data.isEmpty());
    // The name with "&" arrived intact (signed in plain, escaped on the wire).
    QVERIFY(QJsonDocument(tree.data).toJson().contains(name.toUtf8()));

    // Refusal: the same name again under the same parent.
    QCOMPARE(AddCategoryRequest(QUuid::createUuid(), root_, name, response, nullptr), NoError);
    AddCategoryResult duplicate;
    QCOMPARE(ParseAddCategoryResponse(response, duplicate), ApiReturnFailed);
    QCOMPARE(duplicate.errorCode, int(CATANAME_ALREADY_EXIST));
    QCOMPARE(duplicate.cateId, quint64(0));

    QCOMPARE(
        AddCategoryRequest(QUuid::createUuid(), root_, name + QStringLiteral(" target"), response, nullptr),
        NoError);
    AddCategoryResult target;
    QCOMPARE(ParseAddCategoryResponse(response, target), NoError);

    QCOMPARE(RenameCategoryRequest(QUuid::createUuid(), added.cateId, name + QStringLiteral(" renamed"),
                                   response, nullptr),
             NoError);
    ApiResult renamed;
    QCOMPARE(ParseRenameCategoryResponse(response, renamed), NoError);
    QCOMPARE(RenameCategoryRequest(QUuid::createUuid(), added.cateId, QString(), response, nullptr), NoError);
    ApiResult blank;
    QCOMPARE(ParseRenameCategoryResponse(response, blank), ApiReturnFailed);
    QVERIFY(blank.errorCode != 0);

    QCOMPARE(MoveCategoryRequest(QUuid::createUuid(), added.cateId, target.cateId, response, nullptr),
             NoError);
    ApiResult moved;
    QCOMPARE(ParseMoveCategoryResponse(response, moved), NoError);
    QCOMPARE(MoveCategoryRequest(QUuid::createUuid(), added.cateId, 987654321987ULL, response, nullptr),
             NoError);
    ApiResult badMove;
    QCOMPARE(ParseMoveCategoryResponse(response, badMove), ApiReturnFailed);
    QVERIFY(badMove.errorCode != 0);

    // A wrong secret is refused as a bad signature.
    SetAccountCredentials(AccountAppId(), QStringLiteral("not the secret"));
    QCOMPARE(GetCateTreeRequest(QUuid::createUuid(), root_, response, nullptr), NoError);
    CateTreeResult unsigned_;
    QCOMPARE(ParseGetCateTreeResponse(response, unsigned_), ApiReturnFailed);
    QCOMPARE(unsigned_.errorCode, int(INVALID_SIGN));
    QVERIFY(unsigned_.data.isEmpty());
}

void ApiServerTest::videos()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    QByteArray response;

    QCOMPARE(ListVideoRequest(QUuid::createUuid(), root_, QString(), true, 1, 20, CreationTimeDesc, response,
                              nullptr),
             NoError);
    ListVideoResult list;
    QCOMPARE(ParseListVideoResponse(response, list), NoError);
    QVERIFY(list.contents.size() >= 2);
    QVERIFY(list.totalItems >= quint64(list.contents.size()));
    const QString vid = list.contents.at(0).toObject().value(QStringLiteral("vid")).toString();
    const QString other = list.contents.at(1).toObject().value(QStringLiteral("vid")).toString();
    QVERIFY(!vid.isEmpty());

    // Refusal: a page of a category that does not exist.
    QCOMPARE(ListVideoRequest(QUuid::createUuid(), 987654321987ULL, QString(), false, 1, 20, NoSort, response,
                              nullptr),
             NoError);
    ListVideoResult noCategory;
    QCOMPARE(ParseListVideoResponse(response, noCategory), ApiReturnFailed);
    QVERIFY(noCategory.contents.isEmpty());

    QCOMPARE(GetVideoInfoRequest(QUuid::createUuid(), {vid, other}, Basic | Snapshot | Transcode | Metadata,
                                 response, nullptr),
             NoError);
    VideoInfosResult infos;
    QCOMPARE(ParseGetVideoInfoResponse(response, infos), NoError);
    QCOMPARE(infos.infos.size(), 2);
    QVERIFY(infos.sections & Basic);
    QCOMPARE(infos.infos.at(0).vid, vid);
    QCOMPARE(GetVideoInfoRequest(QUuid::createUuid(), {vid}, Basic, response, nullptr), NoError);
    VideoInfosResult basicOnly;
    QCOMPARE(ParseGetVideoInfoResponse(response, basicOnly), NoError);
    QCOMPARE(basicOnly.sections, int(Basic));

    QCOMPARE(UpdateVideoInfoRequest(QUuid::createUuid(), vid, QStringLiteral("New & title"),
                                    QStringLiteral("a,b"), QString(), response, nullptr),
             NoError);
    ApiResult updated;
    QCOMPARE(ParseUpdateVideoInfoResponse(response, updated), NoError);
    QCOMPARE(GetVideoInfoRequest(QUuid::createUuid(), {vid}, Basic, response, nullptr), NoError);
    VideoInfosResult after;
    QCOMPARE(ParseGetVideoInfoResponse(response, after), NoError);
    QCOMPARE(after.infos.value(0).title, QStringLiteral("New & title"));
    QCOMPARE(
        UpdateVideoInfoRequest(QUuid::createUuid(), vid, QString(), QString(), QString(), response, nullptr),
        NoError);
    ApiResult noTitle;
    QCOMPARE(ParseUpdateVideoInfoResponse(response, noTitle), ApiReturnFailed);
    QCOMPARE(noTitle.errorCode, int(TITLE_CAN_NOT_BE_EMPTY));

    QCOMPARE(AddCategoryRequest(QUuid::createUuid(), root_,
                                QStringLiteral("moved %1").arg(QUuid::createUuid().toString().mid(1, 8)),
                                response, nullptr),
             NoError);
    AddCategoryResult dest;
    QCOMPARE(ParseAddCategoryResponse(response, dest), NoError);
    QCOMPARE(MoveVideoRequest(QUuid::createUuid(), {vid}, dest.cateId, response, nullptr), NoError);
    ApiResult moved;
    QCOMPARE(ParseMoveVideoResponse(response, moved), NoError);
    QCOMPARE(MoveVideoRequest(QUuid::createUuid(), {vid}, 987654321987ULL, response, nullptr), NoError);
    ApiResult badMove;
    QCOMPARE(ParseMoveVideoResponse(response, badMove), ApiReturnFailed);
    QVERIFY(badMove.errorCode != 0);

    const QUrl image = infos.infos.at(0).thumbnailURL;
    QVERIFY(image.toString().startsWith(server_->BaseUrl()));
    QCOMPARE(ChangeVideoCoverRequest(QUuid::createUuid(), vid, image, response, nullptr), NoError);
    CoverResult changed;
    QCOMPARE(ParseChangeVideoCoverResponse(response, changed), NoError);
    QVERIFY(!changed.imageUrlBig.isEmpty());
    QCOMPARE(
        ChangeVideoCoverRequest(QUuid::createUuid(), QStringLiteral("nope-vid"), image, response, nullptr),
        NoError);
    CoverResult changeRefused;
    QCOMPARE(ParseChangeVideoCoverResponse(response, changeRefused), ApiReturnFailed);
    QVERIFY(changeRefused.imageUrlBig.isEmpty());

    QCOMPARE(DeleteVideoRequest(QUuid::createUuid(), other, response, nullptr), NoError);
    ApiResult deleted;
    QCOMPARE(ParseDeleteVideoResponse(response, deleted), NoError);
    QCOMPARE(DeleteVideoRequest(QUuid::createUuid(), other, response, nullptr), NoError);
    ApiResult again;
    QCOMPARE(ParseDeleteVideoResponse(response, again), ApiReturnFailed);
    QCOMPARE(again.errorCode, int(VIDEO_NOT_EXIST));
}

void ApiServerTest::coverUploadHasNoStall()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    QByteArray response;
    QCOMPARE(ListVideoRequest(QUuid::createUuid(), root_, QString(), true, 1, 5, NoSort, response, nullptr),
             NoError);
    ListVideoResult list;
    QCOMPARE(ParseListVideoResponse(response, list), NoError);
    QVERIFY(!list.contents.isEmpty());
    const QString vid = list.contents.at(0).toObject().value(QStringLiteral("vid")).toString();

    // A real PNG large enough (over 1 MiB) that libcurl would ask for "100 Continue".
    const QString path = config_->Dir() + QStringLiteral("/\u5C01\u9762 cover.png");
    // Noise does not compress, so the file stays large.
    QImage image(800, 800, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
    }
    QVERIFY(image.save(path, "PNG", 0));
    QVERIFY(QFileInfo(path).size() > 1024 * 1024);

    // A "100 Continue" wait costs a whole second on every attempt; a loopback
    // upload takes far less. The best of three rides out a busy machine.
    qint64 best = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(UploadVideoCoverRequest(QUuid::createUuid(), {vid}, path, response, nullptr), NoError);
        const qint64 elapsed = timer.elapsed();
        best = best < 0 ? elapsed : std::min(best, elapsed);
        CoverResult cover;
        QCOMPARE(ParseUploadVideoCoverResponse(response, cover), NoError);
        QVERIFY(!cover.imageUrlBig.isEmpty());
    }
    qInfo("cover upload round trip (best of 3): %lld ms", static_cast<long long>(best));
    QVERIFY2(best < 1000, qPrintable(QString::number(best)));

    QCOMPARE(
        UploadVideoCoverRequest(QUuid::createUuid(), {QStringLiteral("nope-vid")}, path, response, nullptr),
        NoError);
    CoverResult refused;
    QCOMPARE(ParseUploadVideoCoverResponse(response, refused), ApiReturnFailed);
    QVERIFY(refused.errorCode != 0);
}

void ApiServerTest::transportStatusAndFaults()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    QByteArray response;

    for (int status : {404, 500}) {
        orvsrv::FaultRule rule;
        rule.pathPattern = QStringLiteral("get-cate-tree");
        rule.failNextN = 1;
        rule.httpStatus = status;
        server_->AddFault(rule);
        QCOMPARE(GetCateTreeRequest(QUuid::createUuid(), root_, response, nullptr), NoError);
        CateTreeResult result;
        const RequestError parsed = ParseGetCateTreeResponse(response, result);
        QVERIFY2(parsed == ApiReturnFailed || parsed == ApiError, qPrintable(RequestErrorName(parsed)));
        QCOMPARE(result.code, status);
        server_->ClearFaults();
    }

    orvsrv::FaultRule html;
    html.pathPattern = QStringLiteral("list-video");
    html.failNextN = 1;
    html.httpStatus = 502;
    html.htmlPage = true;
    server_->AddFault(html);
    QCOMPARE(ListVideoRequest(QUuid::createUuid(), root_, QString(), true, 1, 5, NoSort, response, nullptr),
             NoError);
    ListVideoResult list;
    QCOMPARE(ParseListVideoResponse(response, list), ParseJsonFailed);

    // Nobody listens: a failure, not a time-out.
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"),
                 QStringLiteral("https://127.0.0.1:%1").arg(FreePort()));
    QString errorText;
    QCOMPARE(GetCateTreeRequest(QUuid::createUuid(), root_, response, nullptr, &errorText),
             CurlPerformFailed);
    QVERIFY(!errorText.isEmpty());
}

void ApiServerTest::certificateMismatch()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("openssl is not installed");
    const QString key = config_->Dir() + QStringLiteral("/other.key");
    const QString ca = config_->Dir() + QStringLiteral("/other-ca.pem");
    QProcess process;
    process.start(openssl,
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), ca, QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=Unrelated Test CA")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 0);

    config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), ca);
    LogCapture log;
    QByteArray response;
    QString errorText;
    QCOMPARE(LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(orvsrv::kDemoMainEmail),
                                QString::fromLatin1(orvsrv::kDemoPassword), response, nullptr, &errorText),
             CurlPerformFailed);
    QVERIFY(errorText.contains(QStringLiteral("curl failed detail: ")));
    QVERIFY(log.Contains(QStringLiteral("Custom CaPath:")));
    QVERIFY(log.Contains(QStringLiteral("curl_easy_perform() failed(60)")));
}

void ApiServerTest::abortWhileBodyArrives()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    orvsrv::FaultRule slow;
    slow.pathPattern = QStringLiteral("get-cate-tree");
    slow.slowBodyBytesPerSec = 100;
    server_->AddFault(slow);

    AbortFlag abort{false};
    std::thread setter([&abort] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        abort = true;
    });
    LogCapture log;
    QByteArray response;
    QElapsedTimer timer;
    timer.start();
    const RequestError result = GetCateTreeRequest(QUuid::createUuid(), root_, response, &abort);
    setter.join();
    QCOMPARE(result, CurlPerformAbort);
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(log.Contains(QStringLiteral("request abort in writeFunc")));
}

void ApiServerTest::multiDownloadBatch()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    const QList<QUrl> urls = ThumbnailUrls(25);
    QCOMPARE(urls.size(), 25);

    orvsrv::FaultRule latency;
    latency.pathPattern = QStringLiteral("^/files/");
    latency.latencyMs = 300;
    server_->AddFault(latency);

    QTemporaryDir target;
    std::vector<DownloadInfo> items(25);
    QList<DownloadInfo*> pointers;
    std::mutex mutex;
    std::set<DownloadInfo*> active;
    size_t maxActive = 0;
    int startedBeforeFirstEnd = -1;
    std::set<DownloadInfo*> everStarted;
    for (int i = 0; i < 25; ++i) {
        DownloadInfo& item = items[static_cast<size_t>(i)];
        item.url = urls.at(i);
        item.file = QFileInfo(target.path() + QStringLiteral("/sub/dir/thumb%1.jpg").arg(i));
        DownloadInfo* self = &item;
        item.progress = [&, self](qint64, qint64, qint64, qint64) {
            std::lock_guard<std::mutex> lock(mutex);
            if (everStarted.insert(self).second) {
                active.insert(self);
                maxActive = std::max(maxActive, active.size());
            }
        };
        pointers << &item;
    }
    QList<DownloadInfo*> succeeded;
    const RequestError result = MultiDownload(
        QUuid::createUuid(), pointers,
        [&](DownloadInfo* item, bool ok) {
            std::lock_guard<std::mutex> lock(mutex);
            if (startedBeforeFirstEnd < 0)
                startedBeforeFirstEnd = static_cast<int>(everStarted.size());
            active.erase(item);
            if (ok)
                succeeded << item;
        },
        nullptr);
    QCOMPARE(result, NoError);
    QCOMPARE(succeeded.size(), 25);
    QCOMPARE(maxActive, size_t(10));
    QCOMPARE(startedBeforeFirstEnd, 10);
    for (const DownloadInfo& item : items) {
        QVERIFY(item.file.exists());
        QVERIFY(QFileInfo(item.file.absoluteFilePath()).size() > 0);
    }
    // No temporary files of the atomic writes are left behind.
    QCOMPARE(QDir(target.path() + QStringLiteral("/sub/dir")).entryList(QDir::Files).size(), 25);
}

void ApiServerTest::multiDownloadFailuresAndSkips()
{
    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    const QList<QUrl> urls = ThumbnailUrls(3);
    QCOMPARE(urls.size(), 3);
    QTemporaryDir target;

    DownloadInfo good;
    good.url = urls.at(0);
    good.file = QFileInfo(target.path() + QStringLiteral("/good.jpg"));
    DownloadInfo missing;
    missing.url = QUrl(server_->BaseUrl() + QStringLiteral("/no/such/thumbnail.jpg"));
    missing.file = QFileInfo(target.path() + QStringLiteral("/missing.jpg"));
    DownloadInfo directory;
    directory.url = urls.at(1);
    QVERIFY(QDir(target.path()).mkdir(QStringLiteral("adir")));
    directory.file = QFileInfo(target.path() + QStringLiteral("/adir"));
    // An earlier file of the same name survives a failed download untouched.
    DownloadInfo keeps;
    keeps.url = QUrl(server_->BaseUrl() + QStringLiteral("/no/such/other.jpg"));
    keeps.file = QFileInfo(target.path() + QStringLiteral("/keeps.jpg"));
    {
        QFile old(keeps.file.absoluteFilePath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }

    LogCapture log;
    QMap<DownloadInfo*, bool> calls;
    const RequestError result = MultiDownload(
        QUuid::createUuid(), {&good, &missing, &directory, &keeps},
        [&](DownloadInfo* item, bool ok) { calls.insert(item, ok); }, nullptr);
    QCOMPARE(result, DownloadOccurSomeError);
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls.value(&good), true);
    QCOMPARE(calls.value(&missing, true), false);
    QVERIFY(!calls.contains(&directory));
    QVERIFY(good.file.exists());
    QVERIFY(!QFileInfo::exists(missing.file.absoluteFilePath()));
    QFile kept(keeps.file.absoluteFilePath());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old content"));
    QVERIFY(log.Contains(QStringLiteral("http code is not 200.")));
    QVERIFY(log.Contains(QStringLiteral("download path is dir:")));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 2);
}

void ApiServerTest::multiDownloadAbortAndEmpty()
{
    QCOMPARE(MultiDownload(QUuid::createUuid(), {}, nullptr, nullptr), NoError);

    QVERIFY(LoginDemo(orvsrv::kDemoMainEmail));
    const QList<QUrl> urls = ThumbnailUrls(25);
    QCOMPARE(urls.size(), 25);
    orvsrv::FaultRule latency;
    latency.pathPattern = QStringLiteral("^/files/");
    latency.latencyMs = 200;
    server_->AddFault(latency);

    QTemporaryDir target;
    std::vector<DownloadInfo> items(25);
    QList<DownloadInfo*> pointers;
    for (int i = 0; i < 25; ++i) {
        items[static_cast<size_t>(i)].url = urls.at(i);
        items[static_cast<size_t>(i)].file = QFileInfo(target.path() + QStringLiteral("/t%1.jpg").arg(i));
        pointers << &items[static_cast<size_t>(i)];
    }
    AbortFlag abort{false};
    int calls = 0;
    const RequestError result = MultiDownload(
        QUuid::createUuid(), pointers,
        [&](DownloadInfo*, bool) {
            ++calls;
            abort = true; // cancel after the first transfer ended
        },
        &abort);
    QCOMPARE(result, DownloadCancel);
    QVERIFY(calls >= 1 && calls <= 10);
    // Items that never started have no file.
    for (int i = 10; i < 25; ++i)
        QVERIFY(!items[static_cast<size_t>(i)].file.exists());

    // A single running download (the installer) cancelled mid-body is reported
    // as cancelled, and leaves no partial file.
    server_->ClearFaults();
    orvsrv::FaultRule slow;
    slow.pathPattern = QStringLiteral("^/files/");
    slow.slowBodyBytesPerSec = 2000;
    server_->AddFault(slow);
    DownloadInfo single;
    single.url = urls.at(0);
    single.file = QFileInfo(target.path() + QStringLiteral("/single.jpg"));
    AbortFlag cancel{false};
    std::thread setter([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        cancel = true;
    });
    bool reported = true;
    const RequestError single_result = MultiDownload(
        QUuid::createUuid(), {&single}, [&](DownloadInfo*, bool ok) { reported = ok; }, &cancel);
    setter.join();
    QCOMPARE(single_result, DownloadCancel);
    QVERIFY(!reported);
    QVERIFY(!single.file.exists());
    QCOMPARE(QDir(target.path()).entryList({QStringLiteral("single*")}, QDir::Files).size(), 0);
}

void ApiServerTest::updateCheck()
{
    QByteArray response;
    QCOMPARE(CheckClientUpdateRequest(QUuid::createUuid(), response, nullptr), NoError);
    ClientUpdateInfo info;
    QCOMPARE(ParseCheckClientUpdateResponse(response, info), NoError);
    QVERIFY(info.status);
    QCOMPARE(info.projectVersion, QStringLiteral("2.4.3"));
    QVERIFY(!info.projectDownload.isEmpty());

    // A user id with a quote still makes a document the service accepts.
    config_->Set(QStringLiteral("Custom"), QStringLiteral("userId"), QStringLiteral("o\"brien"));
    QCOMPARE(CheckClientUpdateRequest(QUuid::createUuid(), response, nullptr), NoError);
    ClientUpdateInfo quoted;
    QCOMPARE(ParseCheckClientUpdateResponse(response, quoted), NoError);

    // The installer downloads through MultiDownload with progress.
    QTemporaryDir target;
    DownloadInfo installer;
    installer.url = QUrl(info.projectDownload);
    installer.file = QFileInfo(target.path() + QStringLiteral("/OrvaneUploadClient-Setup.exe"));
    qint64 lastNow = 0;
    qint64 lastTotal = 0;
    installer.progress = [&](qint64 total, qint64 now, qint64, qint64) {
        lastNow = now;
        lastTotal = total;
    };
    QCOMPARE(MultiDownload(QUuid::createUuid(), {&installer}, nullptr, nullptr), NoError);
    QVERIFY(installer.file.exists());
    QCOMPARE(lastNow, QFileInfo(installer.file.absoluteFilePath()).size());
    QVERIFY(lastTotal == 0 || lastTotal == lastNow);
}

void ApiServerTest::updateCheckTimeout()
{
    orvsrv::FaultRule latency;
    latency.pathPattern = UpdatePath();
    latency.latencyMs = 6500;
    server_->AddFault(latency);
    QElapsedTimer timer;
    timer.start();
    QByteArray response;
    QCOMPARE(CheckClientUpdateRequest(QUuid::createUuid(), response, nullptr), CurlPerformTimeout);
    QVERIFY(timer.elapsed() >= 4500);
    QVERIFY(timer.elapsed() < 6500);
}

void ApiServerTest::proxyTinyproxy()
{
    if (QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty())
        QSKIP("tinyproxy is not installed");

    const QString port = QString::number(server_->Port());
    auto login = [] {
        QByteArray response;
        const RequestError error =
            LoginClientRequest(QUuid::createUuid(), QString::fromLatin1(orvsrv::kDemoMainEmail),
                               QString::fromLatin1(orvsrv::kDemoPassword), response, nullptr);
        LoginResult result;
        return error == NoError ? ParseLoginClientResponse(response, result) : error;
    };
    auto setProxy = [this](const QString& host, const QVariant& proxyPort, const QString& user,
                           const QString& password) {
        config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType"), 1);
        config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyHostName"), host);
        config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyPort"), proxyPort);
        config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyUser"), user);
        config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyPassword"), password);
    };

    {
        Tinyproxy open;
        QVERIFY(open.Started());
        setProxy(QStringLiteral("127.0.0.1"), int(open.Port()), QString(), QString());
        QCOMPARE(login(), NoError);
        QVERIFY2(open.Log().contains(("127.0.0.1:" + port).toLatin1()), open.Log().constData());
    }
    {
        Tinyproxy guarded(QStringLiteral("alice s3cret"));
        QVERIFY(guarded.Started());
        setProxy(QStringLiteral("127.0.0.1"), int(guarded.Port()), QStringLiteral("alice"),
                 QStringLiteral("s3cret"));
        QCOMPARE(login(), NoError);
        setProxy(QStringLiteral("127.0.0.1"), int(guarded.Port()), QStringLiteral("alice"),
                 QStringLiteral("wrong"));
        QCOMPARE(login(), CurlPerformFailed);
        // User only: no password goes out, so the proxy refuses.
        setProxy(QStringLiteral("127.0.0.1"), int(guarded.Port()), QStringLiteral("alice"), QString());
        QCOMPARE(login(), CurlPerformFailed);
    }
    {
        // A port that is no number sets no port: libcurl's default proxy port,
        // where nothing listens here, and a log line without a port part.
        Tinyproxy open;
        QVERIFY(open.Started());
        setProxy(QStringLiteral("127.0.0.1"), QStringLiteral("80a"), QString(), QString());
        LogCapture log;
        QCOMPARE(login(), CurlPerformFailed);
        QVERIFY(log.Contains(QStringLiteral(" use proxy: http://127.0.0.1")));
        QVERIFY(!log.Contains(QStringLiteral(" use proxy: http://127.0.0.1:")));
        QVERIFY(!open.Log().contains(("127.0.0.1:" + port).toLatin1()));
    }
    config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType"), 0);
    QCOMPARE(login(), NoError);
}
