// The web API client and the upload library against a platform server that
// answers garbage or presents a broken certificate.

#include "apitestutil.h"

#include "api/transport.h"
#include "orv_uploader.h"

#include <orvsrv/platform_server.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include <condition_variable>
#include <mutex>

using namespace ApiCollection;

namespace {

// One upload of a small file through the library; its result code and text.
struct UploadRun
{
    std::mutex mutex;
    std::condition_variable cv;
    int code = -1;
    QString desc;

    static void OnResult(int code, const char* desc, void* user)
    {
        auto* r = static_cast<UploadRun*>(user);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->code = code;
        r->desc = QString::fromUtf8(desc ? desc : "");
        r->cv.notify_all();
    }

    bool Run(const QString& dir, const QString& baseUrl, const QString& caFile, const LoginResult& account)
    {
        const QString path = dir + QStringLiteral("/clip.bin");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(96 * 1024, 'v')) <= 0)
            return false;
        f.close();
        ORVSetSdkCachePath((dir + QStringLiteral("/sdk-cache")).toUtf8().constData());
        ORVSetSdkServiceUrl(baseUrl.toUtf8().constData());
        ORVInitSdkLibrary(account.userId.toUtf8().constData(), account.appId.toUtf8().constData(),
                          account.appSecret.toUtf8().constData());
        ORVSetSdkCacertFile(caFile.toUtf8().constData());
        ORVUploaderHandle h = ORVUploaderCreate();
        const QByteArray file = path.toUtf8();
        ORVUploaderParam p{};
        p.filePath = file.constData();
        p.title = "hostile";
        ORVUploaderSetParam(h, &p);
        ORVUploaderSetResultHandler(h, &UploadRun::OnResult, this);
        ORVUploaderStart(h);
        std::unique_lock<std::mutex> lock(mutex);
        const bool ended = cv.wait_for(lock, std::chrono::seconds(30), [this] { return code >= 0; });
        lock.unlock();
        ORVUploaderDestroy(h);
        return ended;
    }
};

// A call's outcome: its code, the size of the body kept, the transport's text.
struct Outcome
{
    RequestError code;
    qint64 size;
    QString message;
};

template <typename T> Outcome Call(const Result<QByteArray>& body, Result<T> (*parse)(const QByteArray&))
{
    return {Parsed(body, parse).code(), body.valueOr({}).size(), body.message()};
}

Result<LoginResult> Login()
{
    return Parsed(LoginClientRequest(Id(), QString::fromLatin1(orvsrv::kDemoMainEmail),
                                     QString::fromLatin1(orvsrv::kDemoPassword), nullptr),
                  ParseLoginClientResponse);
}

void PointAt(ScopedConfig& config, const orvsrv::PlatformServer& server)
{
    config.Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server.BaseUrl());
    config.Set(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
               server.BaseUrl() + QStringLiteral("/api/app/package/version/check"));
    config.Set(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), server.CaFile());
}

} // namespace

class ApiHostileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<orvsrv::PlatformServer> server_;
    std::unique_ptr<ScopedConfig> config_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        orvsrv::ServerOptions options;
        options.dataDir = dir_.filePath(QStringLiteral("server"));
        options.seed = QStringLiteral("demo");
        server_ = std::make_unique<orvsrv::PlatformServer>(options);
        QString error;
        QVERIFY2(server_->Start(&error), qPrintable(error));
        config_ = std::make_unique<ScopedConfig>();
        PointAt(*config_, *server_);
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("sdk-cache"))));
    }

    void cleanupTestCase()
    {
        ORVReleaseSdkLibrary();
        config_.reset();
        server_.reset();
        SetAccountCredentials(QString(), QString());
    }

    void cleanup() { server_->ClearFaults(); }

    // Every call ends with an error and goes on: no crash, no answer kept
    // above the size limit, no log line longer than a few KB; uploads the
    // server does not hold never end as done.
    void garbageAnswers_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : orvsrv::GarbageKinds())
            QTest::newRow(qPrintable(kind)) << kind;
    }

    void garbageAnswers()
    {
        QFETCH(QString, kind);
        const Result<LoginResult> account = Login();
        QCOMPARE(account.code(), NoError);
        SetAccountCredentials(account->appId, account->appSecret);
        orvsrv::FaultRule rule;
        rule.garbage = kind;
        server_->AddFault(rule);

        LogCapture log;
        const QUuid id = Id();
        const quint64 root = account->cateId;
        const Outcome outcomes[] = {
            Call(LoginClientRequest(id, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                    QString::fromLatin1(orvsrv::kDemoPassword), nullptr),
                 ParseLoginClientResponse),
            Call(GetCateTreeRequest(id, root, nullptr), ParseGetCateTreeResponse),
            Call(ListVideoRequest(id, root, QString(), true, 1, 20, CreationTimeDesc, nullptr),
                 ParseListVideoResponse),
            Call(CheckClientUpdateRequest(id, nullptr), ParseCheckClientUpdateResponse),
        };
        const bool jsonGarbage =
            !kind.contains(QLatin1String("location")) && !kind.contains(QLatin1String("offset"));
        for (const Outcome& outcome : outcomes) {
            if (jsonGarbage)
                QVERIFY(outcome.code != NoError);
            QVERIFY(outcome.size <= kMaxApiAnswerBytes);
        }
        if (kind == QLatin1String("huge-body"))
            QVERIFY2(outcomes[3].message.contains(QLatin1String("larger than")),
                     qPrintable(outcomes[3].message));
        for (const QString& line : log.Lines())
            QVERIFY2(line.size() < 8192, qPrintable(line.left(200)));

        if (jsonGarbage)
            return;
        // The upload library: an error result, never "done" for a file the
        // server does not hold.
        UploadRun upload;
        QVERIFY(upload.Run(dir_.path(), server_->BaseUrl(), server_->CaFile(), account.value()));
        QVERIFY2(upload.code != 0 && upload.code != ORV_OK_ALREADY_STORED, qPrintable(upload.desc));
    }

    void tlsRefusals_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong host") << "wrong-host"
                                    << "subject name";
        QTest::newRow("expired") << "expired"
                                 << "expired";
        QTest::newRow("unknown CA") << "unknown-ca"
                                    << "certificate";
    }

    // A certificate that does not hold is refused by both clients at once,
    // and the error says why.
    void tlsRefusals()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        orvsrv::ServerOptions options;
        options.dataDir = dir_.filePath(fault);
        options.seed = QStringLiteral("demo");
        options.tlsFault = fault;
        orvsrv::PlatformServer broken(options);
        QString error;
        QVERIFY2(broken.Start(&error), qPrintable(error));
        ScopedConfig config;
        PointAt(config, broken);

        LogCapture log;
        const Result<LoginResult> refused = Login();
        QCOMPARE(refused.code(), CurlPerformFailed);
        QVERIFY2(refused.message().contains(reason, Qt::CaseInsensitive), qPrintable(refused.message()));
        QVERIFY(refused.message().contains(QStringLiteral("curl failed detail: ")));
        QVERIFY(log.Contains(QStringLiteral("curl_easy_perform() failed(60)")));

        LoginResult account;
        account.userId = account.appId = account.appSecret = QStringLiteral("x");
        UploadRun upload;
        QVERIFY(upload.Run(dir_.path(), broken.BaseUrl(), broken.CaFile(), account));
        QCOMPARE(upload.code, int(ORV_ERR_CONNECTION));
        QVERIFY2(upload.desc.contains(reason, Qt::CaseInsensitive), qPrintable(upload.desc));
    }
};

REGISTER_API_TEST(ApiHostileTest);
#include "tst_apihostile.moc"
