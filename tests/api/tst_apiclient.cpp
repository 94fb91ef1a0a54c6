// Signing, envelopes, AES, the login record and the exact bytes on the wire,
// checked against a raw loopback listener that records what arrives.

#include "tst_apiclient.h"

#include "api/transport.h"
#include "apitestutil.h"
#include "rawhttpserver.h"
#include "storage/aescipher.h"

#include <orvane/shared_constants.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

REGISTER_API_TEST(ApiClientTest);

using namespace ApiCollection;

namespace {

const QByteArray kOk = R"({"code":200,"status":"success","error":null,"requestId":"r1","data":{}})";

// name=value pairs of a form body or query, values percent-decoded.
QMap<QString, QString> DecodeForm(const QByteArray& form)
{
    QMap<QString, QString> out;
    const QList<QByteArray> pairs = form.split('&');
    for (const QByteArray& pair : pairs) {
        const int eq = pair.indexOf('=');
        if (eq < 0)
            continue;
        out.insert(QString::fromUtf8(pair.left(eq)),
                   QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1))));
    }
    return out;
}

QByteArray RequestTarget(const QByteArray& request)
{
    const QByteArray firstLine = request.left(request.indexOf("\r\n"));
    const QList<QByteArray> parts = firstLine.split(' ');
    return parts.size() >= 2 ? parts.at(1) : QByteArray();
}

QByteArray HeaderValue(const QByteArray& request, const QByteArray& name)
{
    const QList<QByteArray> lines = RequestHead(request).split('\n');
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    }
    return QByteArray();
}

bool HasHeader(const QByteArray& request, const QByteArray& name)
{
    return RequestHead(request).toLower().contains("\n" + name.toLower() + ':');
}

// Recomputes the platform's signature over the sent parameters.
QString ExpectedSign(const QMap<QString, QString>& sent, const QString& secret)
{
    QString text = secret;
    for (auto it = sent.cbegin(); it != sent.cend(); ++it) {
        if (it.key() != QLatin1String("sign") && !it.value().isEmpty())
            text += it.key() + it.value();
    }
    return Md5Upper(text + secret);
}

QByteArray LoginBody(const QByteArray& dataMembers)
{
    return R"({"code":200,"status":"success","error":null,"requestId":"L1","data":{)" + dataMembers + "}}";
}

QByteArray GoodLoginData(const QByteArray& extra = QByteArray())
{
    const QByteArray secret =
        EncryptAppSecret("s3cr3t-value", QStringLiteral("app42"), QStringLiteral("n0nce"));
    return R"("userId":"u1","appId":"app42","nonce":"n0nce","appSecret":")" + secret + '"' + extra;
}

} // namespace

void ApiClientTest::init()
{
    config_ = std::make_unique<ScopedConfig>();
    SetAccountCredentials(QStringLiteral("APPID"), QStringLiteral("SECRET"));
}

void ApiClientTest::cleanup()
{
    config_.reset();
    SetAccountCredentials(QString(), QString());
}

std::unique_ptr<RawHttpServer> ApiClientTest::Listener(const QByteArray& reply)
{
    auto raw = std::make_unique<RawHttpServer>();
    raw->SetReply(RawHttpServer::JsonReply(200, reply.isEmpty() ? kOk : reply));
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), QString::fromLatin1(raw->Url()));
    return raw;
}

void ApiClientTest::signingOrderAndEmptyValues()
{
    ParamMap params;
    params.insert(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    params.insert(QStringLiteral("cateId"), QStringLiteral("5"));
    params.insert(QStringLiteral("appId"), QStringLiteral("app1"));
    SignParams(QStringLiteral("sec"), params);
    QCOMPARE(params.value(QStringLiteral("sign")),
             Md5Upper(QStringLiteral("secappIdapp1cateId5timestamp1700000000000sec")));
    QCOMPARE(params.keys(), (QStringList{"appId", "cateId", "sign", "timestamp"}));

    // An empty value is sent but takes no part in the signature.
    ParamMap withEmpty = params;
    withEmpty.remove(QStringLiteral("sign"));
    withEmpty.insert(QStringLiteral("describ"), QString());
    SignParams(QStringLiteral("sec"), withEmpty);
    QCOMPARE(withEmpty.value(QStringLiteral("sign")), params.value(QStringLiteral("sign")));
    QVERIFY(withEmpty.contains(QStringLiteral("describ")));

    // Upper-case names sort before lower-case ones (UTF-16 order).
    ParamMap cased;
    cased.insert(QStringLiteral("b"), QStringLiteral("2"));
    cased.insert(QStringLiteral("Z"), QStringLiteral("1"));
    SignParams(QStringLiteral("k"), cased);
    QCOMPARE(cased.value(QStringLiteral("sign")), Md5Upper(QStringLiteral("kZ1b2k")));
}

void ApiClientTest::queryItemsEscapeValuesOnly()
{
    CurlEasyPtr handle(curl_easy_init());
    ParamMap params;
    params.insert(QStringLiteral("name"), QStringLiteral("a b&c=d\u4E2D"));
    params.insert(QStringLiteral("x_y"), QStringLiteral("plain"));
    QCOMPARE(BuildQueryItems(handle.get(), params).value(),
             (QStringList{"name=a%20b%26c%3Dd%E4%B8%AD", "x_y=plain"}));
    // Embedded zero bytes are escaped too, since the length is passed explicitly.
    QCOMPARE(EscapeParam(handle.get(), QString(QChar(0)) + QStringLiteral("a")).value(),
             QStringLiteral("%00a"));
}

void ApiClientTest::envelopes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("success") << kOk << int(NoError) << 0 << QString();
    QTest::newRow("missing error") << QByteArray(R"({"code":200,"status":"success","data":{}})")
                                   << int(ApiReturnFailed) << 0 << QStringLiteral("ApiReturnFailed");
    QTest::newRow("null error with 400") << QByteArray(R"({"code":400,"status":"error","error":null})")
                                         << int(ApiError) << 9 << QStringLiteral("InternalError");
    QTest::newRow("known code") << QByteArray(
                                       R"({"code":400,"status":"error","error":{"code":3003,"desc":"dup"}})")
                                << int(ApiReturnFailed) << 3003
                                << QStringLiteral("ErrorCodeString.CATANAME_ALREADY_EXIST");
    QTest::newRow("code without key") << QByteArray(R"({"code":400,"status":"error","error":{"code":104}})")
                                      << int(ApiReturnFailed) << 104 << QStringLiteral("ApiReturnFailed");
    QTest::newRow("unknown code") << QByteArray(
                                         R"({"code":400,"status":"error","error":{"code":777,"desc":"?"}})")
                                  << int(ApiReturnFailed) << 777 << QStringLiteral("ApiReturnFailed");
    // Refused before parsing: the toolkit's parser would leak the first value.
    QTest::newRow("duplicate key")
        << QByteArray(R"({"code":200,"status":"success","error":null,"data":{},"data":{}})")
        << int(ParseJsonFailed) << 0 << QStringLiteral("InternalError");
    QTest::newRow("html") << QByteArray("<html><body>502 Bad Gateway</body></html>") << int(ParseJsonFailed)
                          << 0 << QStringLiteral("InternalError");
}

void ApiClientTest::envelopes()
{
    QFETCH(QByteArray, body);
    QFETCH(int, expected);
    QFETCH(int, errorCode);
    QFETCH(QString, message);

    LogCapture log;
    const Result<ApiResult> result = ParseRenameCategoryResponse(body);
    QCOMPARE(int(result.code()), expected);
    QCOMPARE(result ? result->errorCode : result.error().envelope.errorCode, errorCode);
    // No translator is installed, so the message is its key.
    QCOMPARE(result ? QString() : ErrorMessage(result.error()), message);
    if (errorCode == 777)
        QVERIFY(log.Contains(QStringLiteral("Unknown error code(777) type.")));
    if (errorCode == 3003)
        QVERIFY(!log.Contains(QStringLiteral("Unknown error code")));
}

void ApiClientTest::enumNamesForLogs()
{
    QCOMPARE(RequestErrorName(CurlPerformTimeout), QStringLiteral("CurlPerformTimeout"));
    QCOMPARE(ErrorCodeName(3003), QStringLiteral("CATANAME_ALREADY_EXIST"));
    QVERIFY(ErrorCodeName(6000) == QLatin1String("VIEW_PAGE_IS_CLOSE") ||
            ErrorCodeName(6000) == QLatin1String("GROUP_ACCOUNT_NOT_FOUND"));
    QCOMPARE(RequestErrorToString(static_cast<RequestError>(99)), QStringLiteral("Unknown Error"));
    QCOMPARE(RequestErrorToString(NoError), QString());
    QCOMPARE(ErrorCodeToString(REDIRECT), QString());
}

void ApiClientTest::caCertPathAndBaseUrls()
{
    QCOMPARE(CaCertPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/cacert.pem"));
    QCOMPARE(TrustedCaBundle(), QString()); // none shipped beside the tests: the system's store
    LogCapture log;
    config_->Set(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                 QStringLiteral("/x/my ca.pem"));
    QCOMPARE(CaCertPath(), QStringLiteral("/x/my ca.pem"));
    QCOMPARE(TrustedCaBundle(), QStringLiteral("/x/my ca.pem")); // even when missing
    QVERIFY(log.Contains(QStringLiteral("Custom CaPath:")));

    QVERIFY(ApiBaseUrl().startsWith(QStringLiteral("https://")));
    QVERIFY(UpdateCheckUrl().endsWith(QStringLiteral("/api/app/package/version/check")));
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), QStringLiteral("https://h:1/base//"));
    QCOMPARE(ApiBaseUrl(), QStringLiteral("https://h:1/base"));
    config_->Set(QStringLiteral("Custom"), QStringLiteral("updateUrl"), QStringLiteral("https://u:2/check"));
    QCOMPARE(UpdateCheckUrl(), QStringLiteral("https://u:2/check"));
}

void ApiClientTest::aesRoundTripAndPadding()
{
    const QByteArray key("0123456789abcdef");
    const QByteArray iv("fedcba9876543210");

    // A whole block of plaintext gets a whole block of padding (the stored
    // passwords' sizes and round trips: the storage tests).
    const QByteArray sixteen("exactly16bytes!!");
    const QByteArray cipher = AesCbcEncrypt(sixteen, key, iv);
    QCOMPARE(cipher.size(), 32);
    bool ok = false;
    QCOMPARE(AesCbcDecrypt(cipher, key, iv, &ok), sixteen);
    QVERIFY(ok);
    QCOMPARE(AesCbcDecrypt(AesCbcEncrypt(QByteArray(), key, iv), key, iv, &ok), QByteArray());
    QVERIFY(ok);

    // Wrong length, empty input and a wrong key (garbage padding) all fail.
    QCOMPARE(AesCbcDecrypt(cipher.left(31), key, iv, &ok), QByteArray());
    QVERIFY(!ok);
    QCOMPARE(AesCbcDecrypt(QByteArray(), key, iv, &ok), QByteArray());
    QVERIFY(!ok);
    int rejected = 0;
    for (int i = 0; i < 20; ++i) {
        QByteArray otherKey = key;
        otherKey[0] = char('A' + i);
        AesCbcDecrypt(cipher, otherKey, iv, &ok);
        rejected += ok ? 0 : 1;
    }
    QVERIFY(rejected >= 15); // a random last block passes the padding check rarely

    // A forged last byte of 200 must not cut outside the data.
    QByteArray plainBlock(16, char(200));
    const QByteArray forged = AesCbcEncrypt(plainBlock, key, iv).left(16);
    QCOMPARE(AesCbcDecrypt(forged, key, iv, &ok), QByteArray());
    QVERIFY(!ok);
    QCOMPARE(AesCbcEncrypt(sixteen, key.left(8), iv), QByteArray());
}

void ApiClientTest::loginParsing()
{
    const Result<LoginResult> result = ParseLoginClientResponse(LoginBody(GoodLoginData(
        R"(,"expired":"N","cateId":null,"userLevel":3,"remainBytes":"1099511627776",)"
        R"("permission":{"childAccountType":-1,"videoUpload":1,"cataAdd":0,"operaCopycode":2})")));
    QCOMPARE(result.code(), NoError);
    QCOMPARE(result->appSecret, QStringLiteral("s3cr3t-value"));
    QCOMPARE(result->userId, QStringLiteral("u1"));
    QCOMPARE(result->expired, false);
    QCOMPARE(result->cateId, quint64(1));
    QCOMPARE(result->userLevel, 3);
    QCOMPARE(result->remainBytes, qint64(1099511627776));
    QCOMPARE(result->childAccountType, int(None));
    QVERIFY(result->videoUpload && !result->cataAdd && result->operaCopycode);

    const Result<LoginResult> defaults = ParseLoginClientResponse(LoginBody(GoodLoginData()));
    QCOMPARE(defaults->expired, true);      // missing "expired"
    QCOMPARE(defaults->cateId, quint64(0)); // missing "cateId"
    QCOMPARE(defaults->childAccountType, int(Editor));
    QCOMPARE(defaults->userLevel, 4096);
    QCOMPARE(ParseLoginClientResponse(LoginBody(GoodLoginData(R"(,"expired":"Y")")))->expired, true);

    // A refusal carries the remaining attempts.
    const Result<LoginResult> refused = ParseLoginClientResponse(
        R"({"code":400,"status":"error","error":{"code":23,"desc":"bad"},"data":{"remainLoginChange":2}})");
    QCOMPARE(refused.code(), ApiReturnFailed);
    QCOMPARE(refused.error().remainLoginChange, 2);
    QCOMPARE(Refusal(refused), 23);
    QCOMPARE(ErrorMessage(refused.error()), QStringLiteral("ErrorCodeString.MAIN_ACCOUNT_PWD_ERR"));
    const Result<LoginResult> noData =
        ParseLoginClientResponse(R"({"code":400,"status":"error","error":{"code":31}})");
    QCOMPARE(noData.code(), ApiReturnFailed);
    QCOMPARE(noData.error().remainLoginChange, -1);
    QCOMPARE(ParseLoginClientResponse(R"({"code":200,"status":"success","error":null,"data":[]})").code(),
             ApiError);
}

void ApiClientTest::loginBadSecret_data()
{
    QTest::addColumn<QByteArray>("secret");
    QByteArray key;
    QByteArray iv;
    DeriveAppSecretKey(QStringLiteral("a"), QStringLiteral("n"), &key, &iv);
    QTest::newRow("not Base64") << QByteArray("@@not*base64");
    // Valid Base64 of a block that decrypts to broken padding.
    QTest::newRow("bad padding") << AesCbcEncrypt(QByteArray(16, char(77)), key, iv).left(16).toBase64();
    QTest::newRow("not whole blocks") << QByteArray("QUJD");
}

void ApiClientTest::loginBadSecret()
{
    QFETCH(QByteArray, secret);
    QCOMPARE(
        ParseLoginClientResponse(LoginBody(R"("appId":"a","nonce":"n","appSecret":")" + secret + '"')).code(),
        Base64DecodingFailed);
}

// The platform encrypts appSecret with openssl's AES-128-CBC under the key and
// IV taken from MD5(material + appId + nonce); the material is fixed.
void ApiClientTest::loginSecretEncryptedElsewhere()
{
    const QString appId = QStringLiteral("d4f1a6e0c3");
    const QString nonce = QStringLiteral("8c21f0");
    const QByteArray digest =
        QCryptographicHash::hash("A41F07D9C2E35B8061F4D7A92C0E3B58" + appId.toUtf8() + nonce.toUtf8(),
                                 QCryptographicHash::Md5)
            .toHex();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("enc"), QStringLiteral("-aes-128-cbc"), QStringLiteral("-base64"),
                   QStringLiteral("-A"), QStringLiteral("-K"), QString::fromLatin1(digest.left(16).toHex()),
                   QStringLiteral("-iv"), QString::fromLatin1(digest.mid(16, 16).toHex())});
    QVERIFY(openssl.waitForStarted());
    openssl.write("platform-secret-0123456789");
    openssl.closeWriteChannel();
    QVERIFY(openssl.waitForFinished(10000));
    QCOMPARE(openssl.exitCode(), 0);
    const QByteArray secret = openssl.readAllStandardOutput().trimmed();

    const Result<LoginResult> result =
        ParseLoginClientResponse(LoginBody(R"("userId":"u9","appId":")" + appId.toUtf8() + R"(","nonce":")" +
                                           nonce.toUtf8() + R"(","appSecret":")" + secret + '"'));
    QCOMPARE(result.code(), NoError);
    QCOMPARE(result->appSecret, QStringLiteral("platform-secret-0123456789"));
}

void ApiClientTest::videoInfoParsing()
{
    const QByteArray body = R"({"code":200,"status":"success","error":null,"data":[
        {"vid":"v1","basicInfo":{"title":"T","duration":12.5,"size":123456789012,"cateId":"77","status":60,
                                 "thumbnailURL":"https://h/t.jpg"},
         "snapshotInfo":{"imageUrl":["https://h/1.jpg","https://h/2.jpg"],"bigImageUrl":[]},
         "metaData":{"width":1920,"height":1080,"codec":"h264"}},
        {"vid":"v2","transcodeInfos":[{"playUrl":"https://h/p.m3u8","bitrate":800,"encrypt":true}]}
    ]})";
    const Result<VideoInfosResult> result = ParseGetVideoInfoResponse(body);
    QCOMPARE(result.code(), NoError);
    QCOMPARE(result->sections, int(Basic | Snapshot | Metadata | Transcode));
    QCOMPARE(result->infos.size(), 2);
    const VideoInfo& first = result->infos.at(0);
    QCOMPARE(first.title, QStringLiteral("T"));
    QCOMPARE(first.duration, 12.5);
    QCOMPARE(first.size, quint64(123456789012));
    QCOMPARE(first.cateId, quint64(77));
    QCOMPARE(first.imageUrls.size(), 2);
    QCOMPARE(first.metaData.codec, QStringLiteral("h264"));
    QVERIFY(first.transcodeInfos.isEmpty());
    QCOMPARE(result->infos.at(1).transcodeInfos.size(), 1);
    QVERIFY(result->infos.at(1).transcodeInfos.at(0).encrypt);

    const QByteArray head = R"({"code":200,"status":"success","error":null,"data":)";
    // Without "transcodeInfos" flag 4 stays clear.
    QCOMPARE(ParseGetVideoInfoResponse(head + R"([{"vid":"v","basicInfo":{}}]})")->sections, int(Basic));
    // A number among the image URLs, a "data" that is no array, a section of
    // the wrong type: each fails the call.
    for (const QByteArray& data : {QByteArray(R"([{"vid":"ok","basicInfo":{}},
                                       {"vid":"bad","snapshotInfo":{"imageUrl":["u",5],"bigImageUrl":[]}}])"),
                                   QByteArray("{}"), QByteArray(R"([{"vid":"v","basicInfo":"x"}])")})
        QCOMPARE(ParseGetVideoInfoResponse(head + data + '}').code(), ApiError);

    QCOMPARE(ParseListVideoResponse(head + R"({"contents":{}}})").code(), ApiError);
    const Result<ListVideoResult> list = ParseListVideoResponse(
        head +
        R"({"pageNumber":2,"totalPages":"9","pageSize":20,"totalItems":170,"contents":[{"vid":"a"}]}})");
    QCOMPARE(list->totalPages, quint64(9));
    QCOMPARE(list->contents.size(), 1);
    QCOMPARE(ParseAddCategoryResponse(head + R"("123"})")->cateId, quint64(123));
}

void ApiClientTest::updateParsing()
{
    const Result<ClientUpdateInfo> info = ParseCheckClientUpdateResponse(
        R"({"status":"success","code":200,"message":"success","success":true,"project_name":"p",)"
        R"("project_version":"2.4.3","project_download":"https://h/setup.exe","force_install":true})");
    QCOMPARE(info.code(), NoError);
    QVERIFY(info->status);
    QCOMPARE(info->projectVersion, QStringLiteral("2.4.3"));
    QVERIFY(info->forceInstall);
    QVERIFY(!info->silenceInstall);

    const QPair<QByteArray, RequestError> failures[] = {
        {R"({"status":"success","code":"200","message":"success"})", ApiReturnFailed},
        {R"({"status":"failed","code":200,"message":"success"})", ApiReturnFailed},
        {"[1]", ApiError},
        {"<html/>", ParseJsonFailed},
    };
    for (const auto& failure : failures)
        QCOMPARE(ParseCheckClientUpdateResponse(failure.first).code(), failure.second);

    // The update signature lower-cases names and values and keeps empty ones.
    ParamMap params;
    params.insert(QStringLiteral("appId"), QString());
    params.insert(QStringLiteral("user_id"), QStringLiteral("AbC"));
    SignUpdateParams(params);
    const QString salt = QString::fromStdString(orvane::UpdateSalt());
    QCOMPARE(salt.size(), 19);
    QCOMPARE(params.value(QStringLiteral("sign")), Md5Upper(salt + QStringLiteral("appiduser_idabc") + salt));
}

void ApiClientTest::wireFormBodyAndHeaders()
{
    const auto raw = Listener();
    // A trailing slash of the base URL is not doubled.
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), QString::fromLatin1(raw->Url()) + "/");
    const QUuid uuid = Id();
    QCOMPARE(AddCategoryRequest(uuid, 1, QStringLiteral("Tom & Jerry \u4E2D"), nullptr).value(), kOk);
    QCOMPARE(raw->Requests().size(), 1);
    const QByteArray request = raw->Requests().at(0);
    QVERIFY(request.startsWith("POST /v3/category/add HTTP/1.1\r\n"));
    QCOMPARE(HeaderValue(request, "__client_uuid"), uuid.toString().toLatin1());
    QCOMPARE(HeaderValue(request, "User-Agent"), QByteArray("UploadClient/2.4.2.80787540-dev"));
    QCOMPARE(HeaderValue(request, "Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QVERIFY(!HasHeader(request, "Expect"));

    // appId, name, parentId, sign, timestamp in order; the name escaped on the
    // wire and signed in plain.
    const QByteArray body = RequestBody(request);
    QVERIFY(QRegularExpression(QStringLiteral("^appId=APPID&name=Tom%20%26%20Jerry%20%E4%B8%AD&parentId=1&"
                                              "sign=[0-9A-F]{32}&timestamp=[0-9]{13}$"))
                .match(QString::fromLatin1(body))
                .hasMatch());
    const QMap<QString, QString> sent = DecodeForm(body);
    QCOMPARE(sent.value(QStringLiteral("name")), QStringLiteral("Tom & Jerry \u4E2D"));
    QCOMPARE(sent.value(QStringLiteral("sign")), ExpectedSign(sent, QStringLiteral("SECRET")));
}

void ApiClientTest::wireQueriesAndOptionalParams()
{
    const auto raw = Listener();
    QVERIFY(ListVideoRequest(Id(), 7, QString(), false, 2, 20, NoSort, nullptr));
    QVERIFY(GetVideoInfoRequest(Id(), {"v1", "v2"}, Metadata | Basic, nullptr));
    QVERIFY(GetVideoInfoRequest(Id(), {"v1"}, Metadata | Transcode | Basic | Snapshot, nullptr));
    QVERIFY(UpdateVideoInfoRequest(Id(), "v1", "t", QStringLiteral(""), QString(), nullptr));
    QVERIFY(ListVideoRequest(Id(), 7, QStringLiteral("a b"), true, 1, 10, TitleNameAsc, nullptr));

    const QList<QByteArray> requests = raw->Requests();
    QCOMPARE(requests.size(), 5);

    const QByteArray list = RequestTarget(requests.at(0));
    QVERIFY(list.startsWith(
        "/v3/video/list-video?appId=APPID&cateId=7&containSubCate=N&page=2&pageSize=20&sign="));
    QVERIFY(!list.contains("title="));
    QVERIFY(!list.contains("sort="));
    QVERIFY(!HasHeader(requests.at(0), "Content-Type"));
    QCOMPARE(requests.at(0).left(4), QByteArray("GET "));

    const QMap<QString, QString> info =
        DecodeForm(RequestTarget(requests.at(1)).mid(RequestTarget(requests.at(1)).indexOf('?') + 1));
    QCOMPARE(info.value(QStringLiteral("filter")), QStringLiteral("basicInfo,metaData"));
    QCOMPARE(info.value(QStringLiteral("vids")), QStringLiteral("v1,v2"));
    QCOMPARE(info.value(QStringLiteral("sign")), ExpectedSign(info, QStringLiteral("SECRET")));
    QVERIFY(RequestTarget(requests.at(2))
                .contains("filter=snapshotInfo%2CbasicInfo%2CtranscodeInfo%2CmetaData&"));

    // Null description: no "describ"; empty tags: "tag" sent empty and unsigned.
    const QMap<QString, QString> update = DecodeForm(RequestBody(requests.at(3)));
    QVERIFY(update.contains(QStringLiteral("tag")));
    QCOMPARE(update.value(QStringLiteral("tag")), QString());
    QVERIFY(!update.contains(QStringLiteral("describ")));
    QVERIFY(RequestBody(requests.at(3)).contains("&tag=&"));
    QCOMPARE(update.value(QStringLiteral("sign")), ExpectedSign(update, QStringLiteral("SECRET")));

    const QByteArray titled = RequestTarget(requests.at(4));
    QVERIFY(titled.contains("&sort=titleAsc&"));
    QVERIFY(titled.contains("&title=a%20b"));
    QVERIFY(titled.contains("containSubCate=Y"));
}

void ApiClientTest::wireLoginBody()
{
    const auto raw = Listener();
    QVERIFY(LoginClientRequest(Id(), QStringLiteral("a+b@x.com"), QStringLiteral("Demo#2026"), nullptr));
    const QByteArray request = raw->Requests().value(0);
    QVERIFY(request.startsWith("POST /v3/front/login-client HTTP/1.1\r\n"));
    // The password goes as the first 20 upper-case hex digits of its SHA-1.
    const QByteArray digest =
        QCryptographicHash::hash("Demo#2026", QCryptographicHash::Sha1).toHex().toUpper();
    QCOMPARE(RequestBody(request), "email=a%2Bb%40x.com&password=" + digest.left(20));
    QVERIFY(LoginPasswordDigest(QStringLiteral("Demo#2027")) != QLatin1String(digest.left(20)));
}

void ApiClientTest::wireUpdateCheckBody()
{
    const auto raw = Listener(R"({"status":"success","code":200,"message":"success"})");
    config_->Set(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                 QString::fromLatin1(raw->Url()) + "/my/check");
    // Without a "userId" setting the fallback id goes out.
    QVERIFY(CheckClientUpdateRequest(Id(), nullptr));
    config_->Set(QStringLiteral("Custom"), QStringLiteral("userId"), QStringLiteral("he said \"hi\"\\"));
    QVERIFY(CheckClientUpdateRequest(Id(), nullptr));

    const QList<QByteArray> requests = raw->Requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.at(0).startsWith("POST /my/check HTTP/1.1\r\n"));
    QCOMPARE(HeaderValue(requests.at(0), "Content-Type"), QByteArray("application/json"));

    QJsonParseError error;
    const QJsonDocument fallback = QJsonDocument::fromJson(RequestBody(requests.at(0)), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(fallback.object().value(QStringLiteral("user_id")).toString(), QStringLiteral("b7e40c9f15"));
    QVERIFY(RequestBody(requests.at(0))
                .startsWith("{\"appId\":\"\",\"project_name\":\"orvaneUploadClient\","
                            "\"project_type\":\"pc\",\"sign\":\""));

    const QJsonDocument quoted = QJsonDocument::fromJson(RequestBody(requests.at(1)), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject object = quoted.object();
    QCOMPARE(object.value(QStringLiteral("user_id")).toString(), QStringLiteral("he said \"hi\"\\"));
    ParamMap params;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != QLatin1String("sign"))
            params.insert(it.key(), it.value().toString());
    }
    SignUpdateParams(params);
    QCOMPARE(object.value(QStringLiteral("sign")).toString(), params.value(QStringLiteral("sign")));
}

void ApiClientTest::wireCoverUploadMultipart()
{
    const auto raw =
        Listener(R"({"code":200,"status":"success","error":null,)"
                 R"("data":{"imageUrlBig":"https://h/b.jpg","imageUrlSmall":"https://h/s.jpg"}})");
    // A missing file sends nothing.
    QCOMPARE(UploadVideoCoverRequest(Id(), {"v1"}, config_->Dir() + "/none.jpg", nullptr).code(),
             FileIsNotExist);
    QCOMPARE(raw->ConnectionCount(), 0);

    // Large enough that libcurl would ask for "100 Continue".
    const QString path = config_->Dir() + QStringLiteral("/\u5C01\u9762 cover.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray content(2 * 1024 * 1024, 'J');
    file.write(content);
    file.close();

    // This listener never answers "100 Continue": the request must not ask for it.
    const Result<QByteArray> response = UploadVideoCoverRequest(Id(), {"v1", "v2"}, path, nullptr);
    QCOMPARE(response.code(), NoError);
    QCOMPARE(Parsed(response, ParseUploadVideoCoverResponse)->imageUrlBig,
             QUrl(QStringLiteral("https://h/b.jpg")));

    const QByteArray request = raw->Requests().value(0);
    QVERIFY(request.startsWith("POST /v3/video/upload-cover-image HTTP/1.1\r\n"));
    QVERIFY(!HasHeader(request, "Expect"));
    QVERIFY(HeaderValue(request, "Content-Type").startsWith("multipart/form-data"));
    const QByteArray body = RequestBody(request);
    const int vids = body.indexOf("name=\"vids\"");
    const int appId = body.indexOf("name=\"appId\"");
    const int timestamp = body.indexOf("name=\"timestamp\"");
    const int sign = body.indexOf("name=\"sign\"");
    const int image = body.indexOf("name=\"imageFile\"");
    QVERIFY(vids > 0 && vids < appId && appId < timestamp && timestamp < sign && sign < image);
    QVERIFY(body.contains("v1,v2"));
    QVERIFY(body.contains(content));
}

void ApiClientTest::coverPathCopiedForNarrowCurl()
{
    const QString path = config_->Dir() + QStringLiteral("/\u5C01\u9762.png");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("PNGDATA");
    file.close();

    std::unique_ptr<QTemporaryDir> temp;
    QCOMPARE(CoverFilePathForCurl(path, true, false, &temp), path.toUtf8());
    QVERIFY(!temp);
    QCOMPARE(CoverFilePathForCurl(config_->Dir() + "/plain.png", false, false, &temp),
             QString(config_->Dir() + "/plain.png").toLocal8Bit());
    QVERIFY(!temp);

    const QByteArray copy = CoverFilePathForCurl(path, false, false, &temp);
    QVERIFY(temp);
    const QString copyPath = QString::fromLocal8Bit(copy);
    QVERIFY(QRegularExpression(QStringLiteral("upload_cover_[0-9]+\\.png$")).match(copyPath).hasMatch());
    QFile copied(copyPath);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("PNGDATA"));
    copied.close();
    const QString tempPath = temp->path();
    temp.reset();
    QVERIFY(!QDir(tempPath).exists());
}

void ApiClientTest::diagnosticEnvironmentVariables()
{
    const auto raw = Listener();
    auto runChild = [&raw](bool withLogging) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVANE_API_CHILD_URL"),
                   QString::fromLatin1(raw->Url()) + QStringLiteral("/x"));
        env.remove(QStringLiteral("LOG_CURL_TIME_ELAPSED"));
        env.remove(QStringLiteral("LOG_CURL_TRANSFER_SIZE"));
        if (withLogging) {
            env.insert(QStringLiteral("LOG_CURL_TIME_ELAPSED"), QStringLiteral("1"));
            env.insert(QStringLiteral("LOG_CURL_TRANSFER_SIZE"), QStringLiteral("2"));
        }
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        child.waitForFinished(30000);
        return QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    };

    const QString quiet = runChild(false);
    QVERIFY2(quiet.contains(QStringLiteral("CHILD_RESULT=0")), qPrintable(quiet));
    QVERIFY(!quiet.contains(QStringLiteral("Curl Time Elapsed of")));
    QVERIFY(!quiet.contains(QStringLiteral("Curl Transfer Size of")));

    const QString logged = runChild(true);
    QVERIFY2(logged.contains(QStringLiteral("CHILD_RESULT=0")), qPrintable(logged));
    QVERIFY(logged.contains(QStringLiteral("Curl Time Elapsed of")));
    int timings = 0;
    for (const char* label : {"NAMELOOKUP_TIME:", "CONNECT_TIME:", "APPCONNECT_TIME:", "PRETRANSFER_TIME:",
                              "STARTTRANSFER_TIME:", "TOTAL_TIME:", "REDIRECT_TIME:"})
        timings +=
            logged.contains(QRegularExpression(QStringLiteral("%1 [0-9]+\\.[0-9]{6} s").arg(label))) ? 1 : 0;
    QCOMPARE(timings, 7);
    QVERIFY(logged.contains(QStringLiteral("Curl Transfer Size of")));
    QVERIFY(logged.contains(QRegularExpression(QStringLiteral("SIZE_DOWNLOAD: %1 bytes").arg(kOk.size()))));
}

void ApiClientTest::proxySettings_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("numericPort");
    QTest::addColumn<QByteArray>("authorization"); // empty: none sent
    QTest::newRow("no credentials") << QString() << QString() << true << QByteArray();
    QTest::newRow("user and password")
        << "alice"
        << "s3cret" << true << "Basic " + QByteArray("alice:s3cret").toBase64();
    QTest::newRow("user only") << "alice" << QString() << true << "Basic " + QByteArray("alice:").toBase64();
    // No port option then: libcurl's default proxy port, where nothing listens.
    QTest::newRow("port not a number") << QString() << QString() << false << QByteArray();
}

void ApiClientTest::proxySettings()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, numericPort);
    QFETCH(QByteArray, authorization);
    // The recorder plays the proxy: it answers 407 and keeps what it was sent.
    RawHttpServer proxy;
    proxy.SetReply(
        "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    config_->Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), QStringLiteral("https://127.0.0.1:9"));
    const QString group = QStringLiteral("NetWorkManager");
    config_->Set(group, QStringLiteral("proxyType"), 1);
    config_->Set(group, QStringLiteral("proxyHostName"), QStringLiteral("127.0.0.1"));
    config_->Set(group, QStringLiteral("proxyPort"),
                 numericPort ? QVariant(int(proxy.Port())) : QVariant("80a"));
    config_->Set(group, QStringLiteral("proxyUser"), user);
    config_->Set(group, QStringLiteral("proxyPassword"), password);

    LogCapture log;
    QCOMPARE(DeleteVideoRequest(Id(), "v", nullptr).code(), CurlPerformFailed);
    if (!numericPort) {
        QCOMPARE(proxy.ConnectionCount(), 0);
        QVERIFY(log.Contains(QStringLiteral(" use proxy: http://127.0.0.1")));
        QVERIFY(!log.Contains(QStringLiteral(" use proxy: http://127.0.0.1:")));
        return;
    }
    const QByteArray connect = proxy.Requests().value(0);
    QVERIFY(connect.startsWith("CONNECT 127.0.0.1:9 HTTP/1.1"));
    QCOMPARE(HeaderValue(connect, "Proxy-Authorization"), authorization);
    QVERIFY(log.Contains(QStringLiteral(" use proxy: http://127.0.0.1:%1").arg(proxy.Port())));
}
