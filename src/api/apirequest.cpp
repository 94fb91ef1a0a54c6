// Signing, the response envelope and the error texts shared by every call.

#include "api/transport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QMetaEnum>

namespace ApiCollection {

namespace {

// Translation context of the message keys.
const char kTrContext[] = "QObject";

QMetaEnum ErrorCodeEnum()
{
    static const QMetaEnum e = QMetaEnum::fromType<ErrorCode>();
    return e;
}

const char* MessageKey(int errorCode)
{
    switch (errorCode) {
    case NO_LOGIN:
        return "ErrorCodeString.NO_LOGIN";
    case ACCESS_FORBIDDEN:
        return "ErrorCodeString.ACCESS_FORBIDDEN";
    case EMAIL_EMPTY:
        return "ErrorCodeString.EMAIL_EMPTY";
    case PASSWORD_EMPTY:
        return "ErrorCodeString.PASSWORD_EMPTY";
    case USER_NOT_EXIST:
        return "ErrorCodeString.USER_NOT_EXIST";
    case MAIN_ACCOUNT_PWD_ERR:
        return "ErrorCodeString.MAIN_ACCOUNT_PWD_ERR";
    case SUB_ACCOUNT_PWD_ERR:
        return "ErrorCodeString.SUB_ACCOUNT_PWD_ERR";
    case SUB_USER_EXPIRED:
        return "ErrorCodeString.SUB_USER_EXPIRED";
    case SUB_USER_NOT_ALLOW:
        return "ErrorCodeString.SUB_USER_NOT_ALLOW";
    case SMS_TOO_OFTEN:
        return "ErrorCodeString.SMS_TOO_OFTEN";
    case SMS_CODE_ERR:
        return "ErrorCodeString.SMS_CODE_ERR";
    case PASSWORD_ERR:
        return "ErrorCodeString.PASSWORD_ERR";
    case ACCOUNT_LOCKED:
        return "ErrorCodeString.ACCOUNT_LOCKED";
    case PHONE_NOT_FOUND:
        return "ErrorCodeString.PHONE_NOT_FOUND";
    case USER_CHILD_EXPIRED:
        return "ErrorCodeString.USER_CHILD_EXPIRED";
    case PERMISSION_LIMITED:
        return "ErrorCodeString.PERMISSION_LIMITED";
    case CATEGORY_LIMITED:
        return "ErrorCodeString.CATEGORY_LIMITED";
    case TITLE_CAN_NOT_BE_EMPTY:
        return "ErrorCodeString.TITLE_CAN_NOT_BE_EMPTY";
    case RESUME_FAILED:
        return "ErrorCodeString.RESUME_FAILED";
    case INIT_FAILED:
        return "ErrorCodeString.INIT_FAILED";
    case SIZE_ZERO:
        return "ErrorCodeString.SIZE_ZERO";
    case GET_TOKEN_FAILED:
        return "ErrorCodeString.GET_TOKEN_FAILED";
    case INVALID_ACCOUNT_STATUS:
        return "ErrorCodeString.INVALID_ACCOUNT_STATUS";
    case ILLEGAL_VID:
        return "ErrorCodeString.ILLEGAL_VID";
    case UPLOAD_PERMISSION_LIMITED:
        return "ErrorCodeString.UPLOAD_PERMISSION_LIMITED";
    case SLIDE_ERROR:
        return "ErrorCodeString.SLIDE_ERROR";
    case VIDEO_STATUS_LIMIT:
        return "ErrorCodeString.VIDEO_STATUS_LIMIT";
    case CATANAME_BLANK:
        return "ErrorCodeString.CATANAME_BLANK";
    case CATEGORY_NOT_EXIST:
        return "ErrorCodeString.CATEGORY_NOT_EXIST";
    case CATA_PERMISSION_LIMIT:
        return "ErrorCodeString.CATA_PERMISSION_LIMIT";
    case CATANAME_ALREADY_EXIST:
        return "ErrorCodeString.CATANAME_ALREADY_EXIST";
    case DELETE_CATEGORY_FAIL:
        return "ErrorCodeString.DELETE_CATEGORY_FAIL";
    case CATEGORY_MODIFY_LIMITED:
        return "ErrorCodeString.CATEGORY_MODIFY_LIMITED";
    case UPDATE_DISK_VIDEO_CATA_LIMIT:
        return "ErrorCodeString.UPDATE_DISK_VIDEO_CATA_LIMIT";
    case VIDEO_NOT_EXIST:
        return "ErrorCodeString.VIDEO_NOT_EXIST";
    case INVALID_FILTER:
        return "ErrorCodeString.INVALID_FILTER";
    case ONLY_FORBID_PUBLISH_VIDEO:
        return "ErrorCodeString.ONLY_FORBID_PUBLISH_VIDEO";
    case ONLY_LIFT_FORBIDDEN_VIDEO:
        return "ErrorCodeString.ONLY_LIFT_FORBIDDEN_VIDEO";
    case OPERATION_COUNT_EXCEED:
        return "ErrorCodeString.OPERATION_COUNT_EXCEED";
    default:
        return nullptr;
    }
}

const char* RequestErrorKey(RequestError error)
{
    switch (error) {
    case NoError:
        return "";
    case CurlEscapeFailed:
        return "InternalError";
    case CurlPerformFailed:
        return "CurlPerformFailed";
    case CurlPerformTimeout:
        return "CurlPerformTimeout";
    case CurlPerformAbort:
        return "CurlPerformAbort";
    case ParseJsonFailed:
        return "InternalError";
    case ApiReturnFailed:
        return "ApiReturnFailed";
    case ApiError:
        return "InternalError";
    case Base64DecodingFailed:
        return "InternalError";
    case DownloadPathIsNotDir:
        return "InternalError";
    case DownloadPathIsNotWritable:
        return "DownloadPathIsNotWritable";
    case CreateDownloadPathFailed:
        return "CreateDownloadPathFailed";
    case DownloadOccurSomeError:
        return "InternalError";
    case DownloadCancel:
        return "DownloadCancel";
    case CreateTemporaryDirFailed:
        return "InternalError";
    case FileIsNotExist:
        return "InternalError";
    }
    return "Unknown Error";
}

} // namespace

void SignParams(const QString& secret, ParamMap& params)
{
    QString text = secret;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!it.value().isEmpty())
            text += it.key() + it.value();
    }
    text += secret;
    params.insert(
        QStringLiteral("sign"),
        QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex())
            .toUpper());
}

void AddCommonParamsAndSign(ParamMap& params)
{
    params.insert(QStringLiteral("appId"), AccountAppId());
    params.insert(QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    SignParams(AccountAppSecret(), params);
}

RequestError CheckApiResult(const QJsonObject& root, ApiResult& result)
{
    result.requestId = root.value(QLatin1String("requestId")).toString();
    result.code = root.value(QLatin1String("code")).toInt();
    result.status = root.value(QLatin1String("status")).toString();

    const QJsonValue error = root.value(QLatin1String("error"));
    if (error.isNull()) {
        if (result.code == 200 && result.status == QLatin1String("success"))
            return NoError;
        result.errorCode = UNDEFINED;
        qCCritical(apiLog) << "Api failed without error info:";
        qCCritical(apiLog) << "  requestId:" << result.requestId;
        qCCritical(apiLog) << "  status:" << result.status;
        qCCritical(apiLog) << "  code:" << result.code;
        return ApiError;
    }

    const QJsonObject errorObject = error.toObject();
    const int errorCode = errorObject.value(QLatin1String("code")).toInt();
    if (!ErrorCodeEnum().valueToKey(errorCode))
        qCWarning(apiLog, "Unknown error code(%d) type.", errorCode);
    result.errorCode = errorCode;
    result.errorDesc = errorObject.value(QLatin1String("desc")).toString();
    const QString text = QStringLiteral("%1(%2)").arg(result.errorDesc).arg(errorCode);
    qCCritical(apiLog) << "Api failed:";
    qCCritical(apiLog) << "  requestId:" << result.requestId;
    qCCritical(apiLog) << "  status:" << result.status;
    qCCritical(apiLog) << "  code:" << result.code;
    qCCritical(apiLog) << "  error:" << text;
    return ApiReturnFailed;
}

RequestError ParseEnvelope(const char* tag, const QByteArray& response, ApiResult& result, QJsonObject* root)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(response, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCCritical(apiLog).noquote() << tag << "ParseJsonError:" << parseError.errorString();
        return ParseJsonFailed;
    }
    if (!doc.isObject()) {
        // A bare array or scalar has no envelope at all.
        qCCritical(apiLog).noquote() << tag << "ParseJsonError:"
                                     << "top level is not an object";
        return ParseJsonFailed;
    }
    *root = doc.object();
    return CheckApiResult(*root, result);
}

QString ErrorCodeToString(int errorCode)
{
    const char* key = MessageKey(errorCode);
    return key ? QCoreApplication::translate(kTrContext, key) : QString();
}

QString RequestErrorToString(RequestError error)
{
    const char* key = RequestErrorKey(error);
    if (*key == '\0')
        return QString();
    return QCoreApplication::translate(kTrContext, key);
}

QString ErrorMessage(RequestError error, const ApiResult& result)
{
    if (error == ApiReturnFailed) {
        const QString message = ErrorCodeToString(result.errorCode);
        if (!message.isEmpty())
            return message;
    }
    return RequestErrorToString(error);
}

QString RequestErrorName(RequestError error)
{
    const char* key = QMetaEnum::fromType<RequestError>().valueToKey(error);
    return key ? QString::fromLatin1(key) : QString::number(static_cast<int>(error));
}

QString ErrorCodeName(int errorCode)
{
    const char* key = ErrorCodeEnum().valueToKey(errorCode);
    return key ? QString::fromLatin1(key) : QString::number(errorCode);
}

} // namespace ApiCollection
