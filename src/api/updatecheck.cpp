// The update service: its own URL, JSON body, signature and answer shape.

#include "api/transport.h"

#include "base/config.h"

#include <orvane/shared_constants.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>

namespace ApiCollection {

namespace {

const char kUpdateTag[] = "check-client-update:";
const char kFallbackUserId[] = "b7e40c9f15";

// A JSON string literal with proper escaping (quotes included).
QString JsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    // "[" + literal + "]"
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

void SignUpdateParams(ParamMap& params)
{
    const QString salt = QString::fromStdString(orvane::UpdateSalt());
    QString text = salt;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        text += it.key().toLower() + it.value().toLower();
    text += salt;
    params.insert(
        QStringLiteral("sign"),
        QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex())
            .toUpper());
}

Result<QByteArray> CheckClientUpdateRequest(const QUuid& uuid, const AbortFlag* abortFlag)
{
    Config* config = Config::Global();
    QString userId =
        config ? config->value(QStringLiteral("Custom"), QStringLiteral("userId")).toString() : QString();
    if (userId.isEmpty())
        userId = QString::fromLatin1(kFallbackUserId);

    ParamMap params;
    params.insert(QStringLiteral("user_id"), userId);
    params.insert(QStringLiteral("appId"), QString());
    params.insert(QStringLiteral("project_name"), QStringLiteral("orvaneUploadClient"));
    params.insert(QStringLiteral("project_type"), QStringLiteral("pc"));
    params.insert(QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    SignUpdateParams(params);

    // Same names, order and values as a hand-built object, but escaped, so a
    // quote or backslash in the user id cannot break the document.
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs << JsonString(it.key()) + QLatin1Char(':') + JsonString(it.value());
    const QByteArray body = QStringLiteral("{%1}").arg(pairs.join(QLatin1Char(','))).toUtf8();

    QByteArray response;
    RequestContext context;
    context.uuid = uuid;
    context.abortFlag = abortFlag;
    context.response = &response;

    CurlEasyPtr handle(curl_easy_init());
    if (!handle) {
        qCCritical(apiLog).noquote() << kUpdateTag << uuid.toString() << "curl_easy_init() failed";
        return MakeFailure(CurlPerformFailed, QStringLiteral("curl_easy_init failed"));
    }
    curl_easy_setopt(handle.get(), CURLOPT_PRIVATE, static_cast<RequestIdentity*>(&context));

    const QByteArray url = UpdateCheckUrl().toUtf8();
    const CurlSlistPtr headers = BuildHeaderList(uuid, BodyType::Json, true);
    curl_easy_setopt(handle.get(), CURLOPT_CUSTOMREQUEST, "POST");
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &WriteCallback);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 5L);
    // The check runs at start-up; quitting while the service is slow to answer
    // must not wait for the time-out, so the abort flag is polled while idle too.
    ProgressRecord progress;
    progress.uuid = uuid;
    progress.abortFlag = abortFlag;
    progress.handle = handle.get();
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION, &XferInfoCallback);
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFODATA, &progress);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 0L);

    const Result<void> performed = PerformLogged(handle.get(), kUpdateTag, uuid);
    if (!performed)
        return performed.error();
    return response;
}

Result<ClientUpdateInfo> ParseCheckClientUpdateResponse(const QByteArray& response)
{
    QString strictError;
    if (!StrictJsonCheck(response, &strictError)) {
        qCCritical(apiLog).noquote() << kUpdateTag << "ParseJsonError:" << ClipForLog(strictError, 200);
        return MakeFailure(ParseJsonFailed, strictError);
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(response, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCCritical(apiLog).noquote() << kUpdateTag << "ParseJsonError:" << parseError.errorString();
        return MakeFailure(ParseJsonFailed, parseError.errorString());
    }
    if (!doc.isObject()) {
        qCCritical(apiLog).noquote() << kUpdateTag << "ApiError:"
                                     << "resp is not object in request";
        return MakeFailure(ApiError, QStringLiteral("resp is not object in request"));
    }
    const QJsonObject root = doc.object();
    const QJsonValue code = root.value(QLatin1String("code"));
    const QJsonValue message = root.value(QLatin1String("message"));
    const bool failed = root.value(QLatin1String("status")).toString() == QLatin1String("failed") ||
                        !code.isDouble() || code.toDouble() != 200.0 || !message.isString() ||
                        message.toString() != QLatin1String("success");
    if (failed) {
        qCWarning(apiLog).noquote() << kUpdateTag
                                    << "ApiReturnFailed:" << ClipForLog(QString::fromUtf8(response));
        ApiResult envelope;
        envelope.code = code.toInt();
        envelope.status = root.value(QLatin1String("status")).toString();
        return MakeFailure(ApiReturnFailed, message.toString(), envelope);
    }
    ClientUpdateInfo info;
    info.status = true;
    info.code = code.toInt();
    info.forceInstall = root.value(QLatin1String("force_install")).toBool();
    info.message = message.toString();
    info.projectDescription = root.value(QLatin1String("project_description")).toString();
    info.projectDownload = root.value(QLatin1String("project_download")).toString();
    info.projectName = root.value(QLatin1String("project_name")).toString();
    info.projectVersion = root.value(QLatin1String("project_version")).toString();
    info.silenceInstall = root.value(QLatin1String("silence_install")).toBool();
    info.success = root.value(QLatin1String("success")).toBool();
    return info;
}

} // namespace ApiCollection
