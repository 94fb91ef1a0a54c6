// The login call: the password goes as a digest, the reply carries the account
// record with an AES-encrypted appSecret.

#include "api/transport.h"
#include "storage/aescipher.h"

#include <orvane/shared_constants.h>

#include <QCryptographicHash>
#include <QJsonDocument>

namespace ApiCollection {

namespace {

const char kLoginTag[] = "login-client:";

bool NotExactlyN(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toString() != QLatin1String("N");
}

bool Flag(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toInt() != 0;
}

} // namespace

QString LoginPasswordDigest(const QString& password)
{
    const QByteArray hex =
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper();
    return QString::fromLatin1(hex.left(20));
}

Result<QByteArray> LoginClientRequest(const QUuid& uuid, const QString& email, const QString& password,
                                      const AbortFlag* abortFlag)
{
    // No appId, timestamp or sign: the account's secret is what this call obtains.
    ParamMap params;
    params.insert(QStringLiteral("email"), email);
    params.insert(QStringLiteral("password"), LoginPasswordDigest(password));
    return ExecuteRequest(uuid, kLoginTag, HttpMethod::Post,
                          ApiBaseUrl() + QStringLiteral("/v3/front/login-client"), params, 15, abortFlag);
}

Result<LoginResult> ParseLoginClientResponse(const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(kLoginTag, response);
    if (!envelope) {
        Failure failure = envelope.error();
        if (failure.code != ApiReturnFailed)
            return failure;
        // A refusal may tell how many attempts are left.
        const QJsonValue refusalData =
            QJsonDocument::fromJson(response).object().value(QLatin1String("data"));
        if (refusalData.isObject())
            failure.remainLoginChange =
                refusalData.toObject().value(QLatin1String("remainLoginChange")).toInt();
        else
            qCCritical(apiLog).noquote()
                << kLoginTag << "ApiError:"
                << "data field is not object in request" << ClipForLog(failure.envelope.requestId);
        return failure;
    }
    const QJsonValue dataValue = envelope->root.value(QLatin1String("data"));
    if (!dataValue.isObject())
        return DataShapeFailure(kLoginTag, envelope->fields, "data field is not object in request");

    auto result = RecordOf<LoginResult>(envelope.value());
    const QJsonObject data = dataValue.toObject();
    auto value = [&data](const char* key) { return data.value(QLatin1String(key)); };
    result.userId = value("userId").toString();
    result.expired = NotExactlyN(data, "expired");
    result.remainBytes = value("remainBytes").toVariant().toLongLong();
    result.space = value("space").toVariant().toULongLong();
    result.packageType = value("packageType").toString();
    result.leftDay = value("leftDay").toVariant().toLongLong();
    result.expirationTime = value("expirationTime").toVariant().toULongLong();
    result.email = value("email").toString();
    result.childUserName = value("childUserName").toString();
    result.childUserId = value("childUserId").toString();
    result.childVideoOnly = NotExactlyN(data, "childVideoOnly");
    result.userLevel = value("userLevel").toInt(4096);
    const QJsonValue cateId = value("cateId");
    result.cateId = cateId.isNull() ? 1 : cateId.toVariant().toULongLong();
    result.uploadType = value("uploadType").toString();
    result.appId = value("appId").toString();
    result.appSecret = value("appSecret").toString();

    const QJsonObject permission = value("permission").toObject();
    const int accountType = permission.value(QLatin1String("childAccountType")).toInt();
    result.childAccountType = accountType == -1 ? static_cast<int>(None) : accountType;
    result.videoUpload = Flag(permission, "videoUpload");
    result.videoCurrentcataSearch = Flag(permission, "videoCurrentcataSearch");
    result.videoAllSearch = Flag(permission, "videoAllSearch");
    result.videoDelete = Flag(permission, "videoDelete");
    result.cataAdd = Flag(permission, "cataAdd");
    result.cataMove = Flag(permission, "cataMove");
    result.cataRename = Flag(permission, "cataRename");
    result.cataSearch = Flag(permission, "cataSearch");
    result.cataRefresh = Flag(permission, "cataRefresh");
    result.operaManage = Flag(permission, "operaManage");
    result.operaCopycode = Flag(permission, "operaCopycode");
    result.transferlistUpload = Flag(permission, "transferlistUpload");
    result.transferlistComplete = Flag(permission, "transferlistComplete");
    result.videoUpdateCata = Flag(permission, "videoUpdateCata");
    result.nonce = value("nonce").toString();

    // Key and IV come from MD5(material + appId + nonce) in lower-case hex.
    const QString material =
        QString::fromStdString(orvane::AppSecretKeyMaterial()) + result.appId + result.nonce;
    const QByteArray digest = QCryptographicHash::hash(material.toUtf8(), QCryptographicHash::Md5).toHex();
    const QByteArray key = digest.left(16);
    const QByteArray iv = digest.mid(16, 16);

    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(result.appSecret.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || result.appSecret.isEmpty()) {
        qCCritical(apiLog).noquote() << kLoginTag << "Base64Decoding failed";
        return MakeFailure(Base64DecodingFailed, QStringLiteral("Base64Decoding failed"), result);
    }
    bool ok = false;
    const QByteArray plain = AesCbcDecrypt(decoded.decoded, key, iv, &ok);
    if (!ok) {
        // Wrong block length or padding: the secret would sign every call wrongly.
        qCCritical(apiLog).noquote() << kLoginTag << "Base64Decoding failed"
                                     << "(appSecret does not decrypt)";
        return MakeFailure(Base64DecodingFailed, QStringLiteral("appSecret does not decrypt"), result);
    }
    result.appSecret = QString::fromUtf8(plain);
    return result;
}

} // namespace ApiCollection
