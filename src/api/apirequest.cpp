// Signing, the response envelope and the error texts shared by every call.

#include "api/transport.h"

#include <jansson.h>

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
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.NO_LOGIN");
    case ACCESS_FORBIDDEN:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.ACCESS_FORBIDDEN");
    case EMAIL_EMPTY:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.EMAIL_EMPTY");
    case PASSWORD_EMPTY:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.PASSWORD_EMPTY");
    case USER_NOT_EXIST:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.USER_NOT_EXIST");
    case MAIN_ACCOUNT_PWD_ERR:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.MAIN_ACCOUNT_PWD_ERR");
    case SUB_ACCOUNT_PWD_ERR:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SUB_ACCOUNT_PWD_ERR");
    case SUB_USER_EXPIRED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SUB_USER_EXPIRED");
    case SUB_USER_NOT_ALLOW:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SUB_USER_NOT_ALLOW");
    case SMS_TOO_OFTEN:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SMS_TOO_OFTEN");
    case SMS_CODE_ERR:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SMS_CODE_ERR");
    case PASSWORD_ERR:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.PASSWORD_ERR");
    case ACCOUNT_LOCKED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.ACCOUNT_LOCKED");
    case PHONE_NOT_FOUND:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.PHONE_NOT_FOUND");
    case USER_CHILD_EXPIRED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.USER_CHILD_EXPIRED");
    case PERMISSION_LIMITED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.PERMISSION_LIMITED");
    case CATEGORY_LIMITED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATEGORY_LIMITED");
    case TITLE_CAN_NOT_BE_EMPTY:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.TITLE_CAN_NOT_BE_EMPTY");
    case RESUME_FAILED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.RESUME_FAILED");
    case INIT_FAILED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.INIT_FAILED");
    case SIZE_ZERO:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SIZE_ZERO");
    case GET_TOKEN_FAILED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.GET_TOKEN_FAILED");
    case INVALID_ACCOUNT_STATUS:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.INVALID_ACCOUNT_STATUS");
    case ILLEGAL_VID:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.ILLEGAL_VID");
    case UPLOAD_PERMISSION_LIMITED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.UPLOAD_PERMISSION_LIMITED");
    case SLIDE_ERROR:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.SLIDE_ERROR");
    case VIDEO_STATUS_LIMIT:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.VIDEO_STATUS_LIMIT");
    case CATANAME_BLANK:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATANAME_BLANK");
    case CATEGORY_NOT_EXIST:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATEGORY_NOT_EXIST");
    case CATA_PERMISSION_LIMIT:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATA_PERMISSION_LIMIT");
    case CATANAME_ALREADY_EXIST:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATANAME_ALREADY_EXIST");
    case DELETE_CATEGORY_FAIL:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.DELETE_CATEGORY_FAIL");
    case CATEGORY_MODIFY_LIMITED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.CATEGORY_MODIFY_LIMITED");
    case UPDATE_DISK_VIDEO_CATA_LIMIT:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.UPDATE_DISK_VIDEO_CATA_LIMIT");
    case VIDEO_NOT_EXIST:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.VIDEO_NOT_EXIST");
    case INVALID_FILTER:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.INVALID_FILTER");
    case ONLY_FORBID_PUBLISH_VIDEO:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.ONLY_FORBID_PUBLISH_VIDEO");
    case ONLY_LIFT_FORBIDDEN_VIDEO:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.ONLY_LIFT_FORBIDDEN_VIDEO");
    case OPERATION_COUNT_EXCEED:
        return QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.OPERATION_COUNT_EXCEED");
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
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case CurlPerformFailed:
        return QT_TRANSLATE_NOOP("QObject", "CurlPerformFailed");
    case CurlPerformTimeout:
        return QT_TRANSLATE_NOOP("QObject", "CurlPerformTimeout");
    case CurlPerformAbort:
        return QT_TRANSLATE_NOOP("QObject", "CurlPerformAbort");
    case ParseJsonFailed:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case ApiReturnFailed:
        return QT_TRANSLATE_NOOP("QObject", "ApiReturnFailed");
    case ApiError:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case Base64DecodingFailed:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case DownloadPathIsNotDir:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case DownloadPathIsNotWritable:
        return QT_TRANSLATE_NOOP("QObject", "DownloadPathIsNotWritable");
    case CreateDownloadPathFailed:
        return QT_TRANSLATE_NOOP("QObject", "CreateDownloadPathFailed");
    case DownloadOccurSomeError:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case DownloadCancel:
        return QT_TRANSLATE_NOOP("QObject", "DownloadCancel");
    case CreateTemporaryDirFailed:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    case FileIsNotExist:
        return QT_TRANSLATE_NOOP("QObject", "InternalError");
    }
    return QT_TRANSLATE_NOOP("QObject", "Unknown Error");
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
        qCCritical(apiLog) << "  requestId:" << ClipForLog(result.requestId);
        qCCritical(apiLog) << "  status:" << ClipForLog(result.status);
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
    qCCritical(apiLog) << "  requestId:" << ClipForLog(result.requestId);
    qCCritical(apiLog) << "  status:" << ClipForLog(result.status);
    qCCritical(apiLog) << "  code:" << result.code;
    qCCritical(apiLog) << "  error:" << ClipForLog(text);
    return ApiReturnFailed;
}

bool StrictJsonCheck(const QByteArray& json, QString* error)
{
    json_error_t e;
    json_t* doc = json_loadb(json.constData(), static_cast<size_t>(json.size()),
                             JSON_REJECT_DUPLICATES | JSON_DECODE_INT_AS_REAL | JSON_ALLOW_NUL, &e);
    if (doc) {
        json_decref(doc);
        return true;
    }
    *error = QString::fromUtf8(e.text);
    return false;
}

Result<Envelope> ParseEnvelope(const char* tag, const QByteArray& response)
{
    QString strictError;
    if (!StrictJsonCheck(response, &strictError)) {
        qCCritical(apiLog).noquote() << tag << "ParseJsonError:" << ClipForLog(strictError, 200);
        return MakeFailure(ParseJsonFailed, strictError);
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(response, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCCritical(apiLog).noquote() << tag << "ParseJsonError:" << parseError.errorString();
        return MakeFailure(ParseJsonFailed, parseError.errorString());
    }
    if (!doc.isObject()) {
        // A bare array or scalar has no envelope at all.
        qCCritical(apiLog).noquote() << tag << "ParseJsonError:"
                                     << "top level is not an object";
        return MakeFailure(ParseJsonFailed, QStringLiteral("top level is not an object"));
    }
    Envelope envelope;
    envelope.root = doc.object();
    const RequestError checked = CheckApiResult(envelope.root, envelope.fields);
    if (checked != NoError)
        return MakeFailure(
            checked, QStringLiteral("%1(%2)").arg(envelope.fields.errorDesc).arg(envelope.fields.errorCode),
            envelope.fields);
    return envelope;
}

Result<ApiResult> EnvelopeOnly(const char* tag, const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(tag, response);
    if (!envelope)
        return envelope.error();
    return envelope->fields;
}

Failure DataShapeFailure(const char* tag, const ApiResult& envelope, const char* what)
{
    qCCritical(apiLog).noquote() << tag << "ApiError:" << what << ClipForLog(envelope.requestId);
    return MakeFailure(ApiError, QString::fromLatin1(what), envelope);
}

Failure MakeFailure(RequestError code, const QString& message, const ApiResult& envelope)
{
    Failure failure;
    failure.code = code;
    failure.message = message;
    failure.envelope = envelope;
    return failure;
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

QString ErrorMessage(const Failure& failure)
{
    const RequestError error = failure.code;
    if (error == ApiReturnFailed) {
        const QString message = ErrorCodeToString(failure.envelope.errorCode);
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
