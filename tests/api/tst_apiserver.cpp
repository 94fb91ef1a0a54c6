// Every endpoint, the transport's failure mapping, the parallel download and
// the update check against the local platform server over real HTTPS.

#include "apitestutil.h"

#include "api/transport.h"

#include "serverfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTest>

#include <mutex>
#include <set>
#include <thread>

using namespace ApiCollection;

namespace {

const char kUpdatePath[] = "/api/app/package/version/check";
const quint64 kNoSuchId = 987654321987ULL;

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

Result<LoginResult> Login(const char* email, const QString& password = QLatin1String(orvsrv::kDemoPassword))
{
    return Parsed(LoginClientRequest(Id(), QString::fromLatin1(email), password, nullptr),
                  ParseLoginClientResponse);
}

// Downloads of the demo account's thumbnails into `dir`.
std::vector<DownloadInfo> Downloads(const QList<QUrl>& urls, const QString& dir)
{
    std::vector<DownloadInfo> items(static_cast<size_t>(urls.size()));
    for (int i = 0; i < urls.size(); ++i) {
        items[static_cast<size_t>(i)].url = urls.at(i);
        items[static_cast<size_t>(i)].file = QFileInfo(dir + QStringLiteral("/sub/t%1.jpg").arg(i));
    }
    return items;
}

QList<DownloadInfo*> Pointers(std::vector<DownloadInfo>& items)
{
    QList<DownloadInfo*> pointers;
    for (DownloadInfo& item : items)
        pointers << &item;
    return pointers;
}

orvsrv::FaultRule Fault(const char* path, int latencyMs = 0)
{
    orvsrv::FaultRule rule;
    rule.pathPattern = QLatin1String(path);
    rule.latencyMs = latencyMs;
    return rule;
}

} // namespace

class ApiServerTest : public QObject
{
    Q_OBJECT

    orvtest::ServerFixture server_;
    std::unique_ptr<ScopedConfig> config_;
    quint64 root_ = 0; // the demo account's top category

    bool LoginDemo()
    {
        const Result<LoginResult> result = Login(orvsrv::kDemoMainEmail);
        if (!result)
            return false;
        SetAccountCredentials(result->appId, result->appSecret);
        root_ = result->cateId;
        return true;
    }

    QStringList Vids(int count)
    {
        const auto list =
            Parsed(ListVideoRequest(Id(), root_, QString(), true, 1, count, CreationTimeDesc, nullptr),
                   ParseListVideoResponse);
        QStringList vids;
        for (const QJsonValue& v : list.valueOr({}).contents)
            vids << v.toObject().value(QStringLiteral("vid")).toString();
        return vids;
    }

    // `count` thumbnail URLs, repeating the account's few as needed.
    QList<QUrl> ThumbnailUrls(int count)
    {
        const auto infos =
            Parsed(GetVideoInfoRequest(Id(), Vids(100), Basic, nullptr), ParseGetVideoInfoResponse);
        QList<QUrl> distinct;
        for (const VideoInfo& info : infos.valueOr({}).infos)
            if (info.thumbnailURL.isValid() && !info.thumbnailURL.isEmpty())
                distinct << info.thumbnailURL;
        QList<QUrl> urls;
        for (int i = 0; !distinct.isEmpty() && urls.size() < count; ++i)
            urls << distinct.at(i % distinct.size());
        return urls;
    }

private slots:
    void initTestCase() { QVERIFY2(server_.Start(), qPrintable(server_.Error())); }

    void init()
    {
        config_ = std::make_unique<ScopedConfig>();
        config_->PointAt(server_.BaseUrl(), server_.CaFile());
        server_->ClearFaults();
    }

    void cleanup()
    {
        server_->ClearFaults();
        config_.reset();
        SetAccountCredentials(QString(), QString());
    }

    void login()
    {
        const Result<LoginResult> main = Login(orvsrv::kDemoMainEmail);
        QCOMPARE(main.code(), NoError);
        QVERIFY(!main->appId.isEmpty() && !main->appSecret.isEmpty() && !main->userId.isEmpty());
        QCOMPARE(main->childAccountType, int(None));
        QCOMPARE(main->email, QString::fromLatin1(orvsrv::kDemoMainEmail));
        QVERIFY(main->cateId > 0);

        const Result<LoginResult> sub = Login(orvsrv::kDemoSubEmail);
        QCOMPARE(sub.code(), NoError);
        QVERIFY(sub->childAccountType != int(None));
        QVERIFY(!sub->appSecret.isEmpty());

        // The decrypted secret signs calls the server accepts.
        SetAccountCredentials(main->appId, main->appSecret);
        QCOMPARE(Parsed(GetCateTreeRequest(Id(), main->cateId, nullptr), ParseGetCateTreeResponse).code(),
                 NoError);

        // A wrong password is refused with the remaining attempts.
        const Result<LoginResult> refused = Login(orvsrv::kDemoSubEmail, QStringLiteral("wrong password"));
        QVERIFY2(Refusal(refused) >= 11 && Refusal(refused) <= 33,
                 qPrintable(QString::number(Refusal(refused))));
        QVERIFY(refused.error().remainLoginChange >= 0);
        QVERIFY(!ErrorMessage(refused.error()).isEmpty());
    }

    void categories()
    {
        QVERIFY(LoginDemo());
        const QString name = QStringLiteral("Tom & Jerry \u4E2D %1").arg(Id().toString().mid(1, 8));
        auto add = [this](const QString& text) {
            return Parsed(AddCategoryRequest(Id(), root_, text, nullptr), ParseAddCategoryResponse);
        };
        const Result<AddCategoryResult> added = add(name);
        QCOMPARE(added.code(), NoError);
        QVERIFY(added->cateId > root_);
        const Result<CateTreeResult> tree =
            Parsed(GetCateTreeRequest(Id(), root_, nullptr), ParseGetCateTreeResponse);
        QCOMPARE(tree.code(), NoError);
        // The name with "&" arrived intact (signed in plain, escaped on the wire).
        QVERIFY(QJsonDocument(tree->data).toJson().contains(name.toUtf8()));

        const Result<AddCategoryResult> target = add(name + QStringLiteral(" target"));
        QCOMPARE(target.code(), NoError);
        const quint64 id = added->cateId;
        auto rename = [id](const QString& text) {
            return Parsed(RenameCategoryRequest(Id(), id, text, nullptr), ParseRenameCategoryResponse);
        };
        auto move = [id](quint64 to) {
            return Parsed(MoveCategoryRequest(Id(), id, to, nullptr), ParseMoveCategoryResponse);
        };
        QCOMPARE(rename(name + QStringLiteral(" renamed")).code(), NoError);
        QVERIFY(Refusal(rename(QString())) > 0);
        QCOMPARE(move(target->cateId).code(), NoError);
        QVERIFY(Refusal(move(kNoSuchId)) > 0);

        // A wrong secret is refused as a bad signature.
        SetAccountCredentials(AccountAppId(), QStringLiteral("not the secret"));
        QCOMPARE(Refusal(Parsed(GetCateTreeRequest(Id(), root_, nullptr), ParseGetCateTreeResponse)),
                 int(INVALID_SIGN));
    }

    void videos()
    {
        QVERIFY(LoginDemo());
        const auto list =
            Parsed(ListVideoRequest(Id(), root_, QString(), true, 1, 20, CreationTimeDesc, nullptr),
                   ParseListVideoResponse);
        QCOMPARE(list.code(), NoError);
        QVERIFY(list->contents.size() >= 2);
        QVERIFY(list->totalItems >= quint64(list->contents.size()));
        const QString vid = list->contents.at(0).toObject().value(QStringLiteral("vid")).toString();
        const QString other = list->contents.at(1).toObject().value(QStringLiteral("vid")).toString();
        QVERIFY(!vid.isEmpty());
        // A page of a category that does not exist is refused.
        QVERIFY(Refusal(Parsed(ListVideoRequest(Id(), kNoSuchId, QString(), false, 1, 20, NoSort, nullptr),
                               ParseListVideoResponse)) > 0);

        auto info = [](const QStringList& vids, int sections) {
            return Parsed(GetVideoInfoRequest(Id(), vids, sections, nullptr), ParseGetVideoInfoResponse);
        };
        const Result<VideoInfosResult> infos = info({vid, other}, Basic | Snapshot | Transcode | Metadata);
        QCOMPARE(infos.code(), NoError);
        QCOMPARE(infos->infos.size(), 2);
        QVERIFY(infos->sections & Basic);
        QCOMPARE(infos->infos.at(0).vid, vid);
        QCOMPARE(info({vid}, Basic)->sections, int(Basic));

        QCOMPARE(Parsed(UpdateVideoInfoRequest(Id(), vid, QStringLiteral("New & title"),
                                               QStringLiteral("a,b"), QString(), nullptr),
                        ParseUpdateVideoInfoResponse)
                     .code(),
                 NoError);
        QCOMPARE(info({vid}, Basic)->infos.value(0).title, QStringLiteral("New & title"));

        const auto dest =
            Parsed(AddCategoryRequest(Id(), root_, QStringLiteral("moved %1").arg(Id().toString().mid(1, 8)),
                                      nullptr),
                   ParseAddCategoryResponse);
        QCOMPARE(dest.code(), NoError);
        auto move = [&vid](quint64 to) {
            return Parsed(MoveVideoRequest(Id(), {vid}, to, nullptr), ParseMoveVideoResponse);
        };
        QCOMPARE(move(dest->cateId).code(), NoError);
        QVERIFY(Refusal(move(kNoSuchId)) > 0);

        const QUrl image = infos->infos.at(0).thumbnailURL;
        QVERIFY(image.toString().startsWith(server_.BaseUrl()));
        auto change = [&image](const QString& target) {
            return Parsed(ChangeVideoCoverRequest(Id(), target, image, nullptr),
                          ParseChangeVideoCoverResponse);
        };
        QVERIFY(!change(vid)->imageUrlBig.isEmpty());
        QVERIFY(Refusal(change(QStringLiteral("nope-vid"))) > 0);

        // A real image as the cover (its bytes on the wire: ApiClientTest).
        const QString path = config_->Dir() + QStringLiteral("/\u5C01\u9762 cover.png");
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(path, "PNG"));
        auto upload = [&path](const QString& target) {
            return Parsed(UploadVideoCoverRequest(Id(), {target}, path, nullptr),
                          ParseUploadVideoCoverResponse);
        };
        QVERIFY(!upload(vid)->imageUrlBig.isEmpty());
        QVERIFY(Refusal(upload(QStringLiteral("nope-vid"))) > 0);

        auto remove = [&other] {
            return Parsed(DeleteVideoRequest(Id(), other, nullptr), ParseDeleteVideoResponse);
        };
        QCOMPARE(remove().code(), NoError);
        QCOMPARE(Refusal(remove()), int(VIDEO_NOT_EXIST));
    }

    void transportStatusAndFaults()
    {
        QVERIFY(LoginDemo());
        for (int status : {404, 500}) {
            orvsrv::FaultRule rule = Fault("get-cate-tree");
            rule.failNextN = 1;
            rule.httpStatus = status;
            server_->AddFault(rule);
            // The transport hands the body on; the envelope judges it.
            const auto tree = Parsed(GetCateTreeRequest(Id(), root_, nullptr), ParseGetCateTreeResponse);
            QVERIFY2(tree.code() == ApiReturnFailed || tree.code() == ApiError,
                     qPrintable(RequestErrorName(tree.code())));
            QCOMPARE(tree.error().envelope.code, status);
        }

        orvsrv::FaultRule html = Fault("list-video");
        html.failNextN = 1;
        html.httpStatus = 502;
        html.htmlPage = true;
        server_->AddFault(html);
        QCOMPARE(Parsed(ListVideoRequest(Id(), root_, QString(), true, 1, 5, NoSort, nullptr),
                        ParseListVideoResponse)
                     .code(),
                 ParseJsonFailed);

        // Nobody listens: a failure, not a time-out.
        config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"),
                     QStringLiteral("https://127.0.0.1:%1").arg(FreePort()));
        const Result<QByteArray> refused = GetCateTreeRequest(Id(), root_, nullptr);
        QCOMPARE(refused.code(), CurlPerformFailed);
        QVERIFY(!refused.message().isEmpty());
    }

    void abortWhileBodyArrives()
    {
        QVERIFY(LoginDemo());
        orvsrv::FaultRule slow = Fault("get-cate-tree");
        slow.slowBodyBytesPerSec = 100;
        server_->AddFault(slow);

        AbortFlag abort{false};
        std::thread setter([&abort] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            abort = true;
        });
        LogCapture log;
        QElapsedTimer timer;
        timer.start();
        const Result<QByteArray> result = GetCateTreeRequest(Id(), root_, &abort);
        setter.join();
        QCOMPARE(result.code(), CurlPerformAbort);
        QVERIFY(!result.message().isEmpty());
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(log.Contains(QStringLiteral("request abort in writeFunc")));
        QVERIFY(log.Contains(QStringLiteral("get-cate-tree:")));
    }

    void multiDownloadBatch()
    {
        QVERIFY(LoginDemo());
        const QList<QUrl> urls = ThumbnailUrls(25);
        QCOMPARE(urls.size(), 25);
        server_->AddFault(Fault("^/files/", 300));

        QTemporaryDir target;
        std::vector<DownloadInfo> items = Downloads(urls, target.path());
        std::mutex mutex;
        std::set<DownloadInfo*> active, everStarted;
        size_t maxActive = 0;
        int startedBeforeFirstEnd = -1;
        for (DownloadInfo& item : items) {
            DownloadInfo* self = &item;
            item.progress = [&, self](qint64, qint64, qint64, qint64) {
                std::lock_guard<std::mutex> lock(mutex);
                if (everStarted.insert(self).second) {
                    active.insert(self);
                    maxActive = std::max(maxActive, active.size());
                }
            };
        }
        int succeeded = 0;
        const RequestError result = MultiDownload(
            Id(), Pointers(items),
            [&](DownloadInfo* item, bool ok) {
                std::lock_guard<std::mutex> lock(mutex);
                if (startedBeforeFirstEnd < 0)
                    startedBeforeFirstEnd = static_cast<int>(everStarted.size());
                active.erase(item);
                succeeded += ok ? 1 : 0;
            },
            nullptr);
        QCOMPARE(result, NoError);
        QCOMPARE(succeeded, 25);
        QCOMPARE(maxActive, size_t(10));
        QCOMPARE(startedBeforeFirstEnd, 10);
        for (const DownloadInfo& item : items)
            QVERIFY(QFileInfo(item.file.absoluteFilePath()).size() > 0);
        // No temporary files of the atomic writes are left behind.
        QCOMPARE(QDir(target.path() + QStringLiteral("/sub")).entryList(QDir::Files).size(), 25);
    }

    void multiDownloadFailuresAndSkips()
    {
        QVERIFY(LoginDemo());
        const QList<QUrl> urls = ThumbnailUrls(2);
        QCOMPARE(urls.size(), 2);
        QTemporaryDir target;
        const QUrl none(server_.BaseUrl() + QStringLiteral("/no/such/thumbnail.jpg"));
        std::vector<DownloadInfo> items = Downloads({urls.at(0), none, urls.at(1), none}, target.path());
        DownloadInfo &good = items[0], &missing = items[1], &directory = items[2], &keeps = items[3];
        QVERIFY(QDir(target.path()).mkpath(QStringLiteral("sub/adir")));
        directory.file = QFileInfo(target.path() + QStringLiteral("/sub/adir"));
        // An earlier file of the same name survives a failed download untouched.
        {
            QFile old(keeps.file.absoluteFilePath());
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }

        LogCapture log;
        QMap<DownloadInfo*, bool> calls;
        const RequestError result = MultiDownload(
            Id(), Pointers(items), [&](DownloadInfo* item, bool ok) { calls.insert(item, ok); }, nullptr);
        QCOMPARE(result, DownloadOccurSomeError);
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls.value(&good), true);
        QCOMPARE(calls.value(&missing, true), false);
        QVERIFY(!calls.contains(&directory));
        QVERIFY(!QFileInfo::exists(missing.file.absoluteFilePath()));
        QFile kept(keeps.file.absoluteFilePath());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old content"));
        QVERIFY(log.Contains(QStringLiteral("http code is not 200.")));
        QVERIFY(log.Contains(QStringLiteral("download path is dir:")));
        QCOMPARE(QDir(target.path() + QStringLiteral("/sub")).entryList(QDir::Files).size(), 2);
    }

    void multiDownloadAbortAndEmpty()
    {
        QCOMPARE(MultiDownload(Id(), {}, nullptr, nullptr), NoError);
        QVERIFY(LoginDemo());
        const QList<QUrl> urls = ThumbnailUrls(25);
        QCOMPARE(urls.size(), 25);
        server_->AddFault(Fault("^/files/", 200));

        QTemporaryDir target;
        std::vector<DownloadInfo> items = Downloads(urls, target.path());
        AbortFlag abort{false};
        int calls = 0;
        const RequestError result = MultiDownload(
            Id(), Pointers(items),
            [&](DownloadInfo*, bool) {
                ++calls;
                abort = true; // cancel after the first transfer ended
            },
            &abort);
        QCOMPARE(result, DownloadCancel);
        QVERIFY(calls >= 1 && calls <= 10);
        // Items that never started have no file.
        for (size_t i = 10; i < items.size(); ++i)
            QVERIFY(!items[i].file.exists());

        // A single running download (the installer) cancelled mid-body is
        // reported as cancelled, and leaves no partial file.
        server_->ClearFaults();
        orvsrv::FaultRule slow = Fault("^/files/");
        slow.slowBodyBytesPerSec = 2000;
        server_->AddFault(slow);
        DownloadInfo single;
        single.url = QUrl(Parsed(CheckClientUpdateRequest(Id(), nullptr), ParseCheckClientUpdateResponse)
                              .valueOr({})
                              .projectDownload);
        single.file = QFileInfo(target.path() + QStringLiteral("/single.jpg"));
        AbortFlag cancel{false};
        std::thread setter([&cancel] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            cancel = true;
        });
        bool reported = true;
        const RequestError cancelled = MultiDownload(
            Id(), {&single}, [&](DownloadInfo*, bool ok) { reported = ok; }, &cancel);
        setter.join();
        QCOMPARE(cancelled, DownloadCancel);
        QVERIFY(!reported);
        QCOMPARE(QDir(target.path()).entryList({QStringLiteral("single*")}, QDir::Files).size(), 0);
    }

    void updateCheck()
    {
        const auto check = [] {
            return Parsed(CheckClientUpdateRequest(Id(), nullptr), ParseCheckClientUpdateResponse);
        };
        const Result<ClientUpdateInfo> info = check();
        QCOMPARE(info.code(), NoError);
        QVERIFY(info->status);
        QCOMPARE(info->projectVersion, QStringLiteral("2.4.3"));
        // A user id with a quote still makes a document the service accepts.
        config_->Set(QStringLiteral("Custom"), QStringLiteral("userId"), QStringLiteral("o\"brien"));
        QCOMPARE(check().code(), NoError);

        // The installer downloads through MultiDownload with progress.
        QTemporaryDir target;
        DownloadInfo installer;
        installer.url = QUrl(info->projectDownload);
        installer.file = QFileInfo(target.path() + QStringLiteral("/OrvaneUploadClient-Setup.exe"));
        qint64 lastNow = 0, lastTotal = 0;
        installer.progress = [&](qint64 total, qint64 now, qint64, qint64) {
            lastNow = now;
            lastTotal = total;
        };
        QCOMPARE(MultiDownload(Id(), {&installer}, nullptr, nullptr), NoError);
        QCOMPARE(lastNow, QFileInfo(installer.file.absoluteFilePath()).size());
        QVERIFY(lastNow > 0 && (lastTotal == 0 || lastTotal == lastNow));

        // The check gives up after 5 seconds.
        server_->AddFault(Fault(kUpdatePath, 6500));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(CheckClientUpdateRequest(Id(), nullptr).code(), CurlPerformTimeout);
        QVERIFY(timer.elapsed() >= 4500 && timer.elapsed() < 6500);
    }
};

REGISTER_API_TEST(ApiServerTest);
#include "tst_apiserver.moc"
