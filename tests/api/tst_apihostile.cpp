// The web API client and the upload library against a platform server that
// answers garbage or presents a broken certificate.

#include "apitestutil.h"

#include "api/transport.h"
#include "serverfixture.h"
#include "testsupport.h"
#include "uploadkit.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace ApiCollection;

namespace {

// One upload of a small file through the library: its result code (-1 when
// none came) and text.
std::pair<int, QString> UploadOnce(const QString& dir, const orvtest::ServerFixture& server,
                                   const LoginResult& account)
{
    const QString path = orvtest::WriteRandomFile(dir + QStringLiteral("/clip.bin"), 96 * 1024, 7);
    ORVSetSdkCachePath((dir + QStringLiteral("/sdk-cache")).toUtf8().constData());
    ORVSetSdkServiceUrl(server.BaseUrl().toUtf8().constData());
    ORVInitSdkLibrary(account.userId.toUtf8().constData(), account.appId.toUtf8().constData(),
                      account.appSecret.toUtf8().constData());
    ORVSetSdkCacertFile(server.CaFile().toUtf8().constData());
    orvtest::Handle h;
    const int code = h.Start(path) == 0 ? h.rec.WaitResult(30000) : -1;
    std::lock_guard<std::mutex> lock(h.rec.mutex);
    return {code, h.rec.resultDescs.empty() ? QString() : h.rec.resultDescs.back()};
}

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

} // namespace

class ApiHostileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    orvtest::ServerFixture server_;
    std::unique_ptr<ScopedConfig> config_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(server_.Start(), qPrintable(server_.Error()));
        config_ = std::make_unique<ScopedConfig>();
        config_->PointAt(server_.BaseUrl(), server_.CaFile());
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("sdk-cache"))));
    }

    void cleanupTestCase()
    {
        ORVReleaseSdkLibrary();
        config_.reset();
        server_.Stop();
        SetAccountCredentials(QString(), QString());
    }

    void cleanup() { server_->ClearFaults(); }

    // Every call ends with an error and goes on: no crash, no answer kept
    // above the size limit, no log line longer than a few KB; uploads the
    // server does not hold never end as done.
    void garbageAnswers_data()
    {
        QTest::addColumn<QString>("kind");
        // A stuck offset only ends at the upload library's give-up window: its own tests cover it.
        for (const QString& kind : orvsrv::GarbageKinds().filter(QRegularExpression("^(?!stuck)")))
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
        const auto [code, desc] = UploadOnce(dir_.path(), server_, account.value());
        QVERIFY2(code > 0 && code != ORV_OK_ALREADY_STORED, qPrintable(desc));
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
        orvsrv::ServerOptions options = orvtest::ServerFixture::DemoOptions();
        options.tlsFault = fault;
        orvtest::ServerFixture broken(options);
        QVERIFY2(broken.Start(), qPrintable(broken.Error()));
        ScopedConfig config;
        config.PointAt(broken.BaseUrl(), broken.CaFile());

        LogCapture log;
        const Result<LoginResult> refused = Login();
        QCOMPARE(refused.code(), CurlPerformFailed);
        QVERIFY2(refused.message().contains(reason, Qt::CaseInsensitive), qPrintable(refused.message()));
        QVERIFY(refused.message().contains(QStringLiteral("curl failed detail: ")));
        QVERIFY(log.Contains(QStringLiteral("curl_easy_perform() failed(60)")));

        LoginResult account;
        account.userId = account.appId = account.appSecret = QStringLiteral("x");
        const auto [code, desc] = UploadOnce(dir_.path(), broken, account);
        QCOMPARE(code, int(ORV_ERR_CONNECTION));
        QVERIFY2(desc.contains(reason, Qt::CaseInsensitive), qPrintable(desc));
    }
};

REGISTER_API_TEST(ApiHostileTest);
#include "tst_apihostile.moc"
