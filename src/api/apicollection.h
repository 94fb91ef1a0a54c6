#pragma once
// Every call to the platform's REST API and to the update service.
//
// Each call is a blocking request function, run on a worker thread, that
// returns the response body, and a parser that turns the body into a result
// record. Both return a Result: the value, or a Failure whose code is a
// RequestError; callers parse only the body of a successful request (Parsed).
// Nothing here throws or shows anything.

#include "base/result.h"

#include <QByteArray>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <atomic>
#include <functional>

namespace ApiCollection {
Q_NAMESPACE

enum RequestError
{
    NoError = 0,
    CurlEscapeFailed = 1,
    CurlPerformFailed = 2,
    CurlPerformTimeout = 3,
    CurlPerformAbort = 4,
    ParseJsonFailed = 5,
    ApiReturnFailed = 6,
    ApiError = 7,
    Base64DecodingFailed = 8,
    DownloadPathIsNotDir = 9,
    DownloadPathIsNotWritable = 10,
    CreateDownloadPathFailed = 11,
    DownloadOccurSomeError = 12,
    DownloadCancel = 13,
    CreateTemporaryDirFailed = 14,
    FileIsNotExist = 15,
};
Q_ENUM_NS(RequestError)

// The platform's error codes, as sent in the "error" object.
enum ErrorCode
{
    SUCCESS = 0,
    UNDEFINED = 9,
    NO_LOGIN = 11,
    ACCESS_FORBIDDEN = 12,
    REDIRECT = 16,
    EMAIL_EMPTY = 20,
    PASSWORD_EMPTY = 21,
    USER_NOT_EXIST = 22,
    MAIN_ACCOUNT_PWD_ERR = 23,
    SUB_ACCOUNT_PWD_ERR = 24,
    USER_STATUS_ERROR = 25,
    SUB_USER_EXPIRED = 26,
    SUB_USER_NOT_ALLOW = 27,
    SMS_TOO_OFTEN = 28,
    SMS_CODE_ERR = 29,
    PASSWORD_ERR = 30,
    ACCOUNT_LOCKED = 31,
    PHONE_NOT_FOUND = 32,
    REGISTERED = 33,
    INVALID_TIMESTAMP_PERIOD = 100,
    APPLICATION_NOT_EXIST = 101,
    USER_CHILD_NOT_EXIST = 102,
    USER_CHILD_EXPIRED = 103,
    INVALID_SIGN = 104,
    PERMISSION_LIMITED = 105,
    CATEGORY_LIMITED = 106,
    APP_ID_CAN_NOT_BE_EMPTY = 107,
    VID_EMPTY = 401,
    TITLE_CAN_NOT_BE_EMPTY = 402,
    RESUME_FAILED = 403,
    INIT_FAILED = 405,
    SIZE_ZERO = 406,
    GET_TOKEN_FAILED = 407,
    INVALID_ACCOUNT_STATUS = 408,
    ILLEGAL_VID = 409,
    UPLOAD_PERMISSION_LIMITED = 410,
    FILE_LIMIT_5M = 415,
    PARAM_ERROR = 1100,
    PARAM_EMPTY = 1110,
    PARAM_NOT_DIGIT = 1111,
    PARAM_NOT_NUMBER = 1112,
    PARAM_INCORRECT_LENGTH = 1113,
    NUMBER_RANGE_ERROR = 1114,
    DATE_RANGE_ERROR = 1115,
    PARAM_NOT_BOOLEAN_YN = 1122,
    SLIDE_ERROR = 1123,
    INVALID_VID = 2000,
    INVALID_ALBUM_ID = 2020,
    ALBUM_OVER_LIMIT = 2021,
    INVALID_ALBUM_GROUP_ID = 2022,
    VIEW_PAGE_IS_CLOSE = 6000,
    VIDEO_STATUS_LIMIT = 3100,
    CATANAME_BLANK = 3000,
    CATEGORY_NOT_EXIST = 3001,
    CATA_PERMISSION_LIMIT = 3002,
    CATANAME_ALREADY_EXIST = 3003,
    DELETE_CATEGORY_FAIL = 3004,
    CATEGORY_MODIFY_LIMITED = 3005,
    UPDATE_DISK_VIDEO_CATA_LIMIT = 3006,
    CATANAME_TOO_LONG = 3010,
    VIDEO_NOT_EXIST = 4000,
    INVALID_FILTER = 4001,
    ONLY_FORBID_PUBLISH_VIDEO = 4002,
    ONLY_LIFT_FORBIDDEN_VIDEO = 4003,
    OPERATION_COUNT_EXCEED = 4004,
    VIDEO_SRT_TITLE_DUPLICATE = 4005,
    CONCAT_VIDEOS_NUM_LESS_THAN_2 = 4006,
    CONCAT_VIDEOS_NUM_LIMIT = 4007,
    CONCAT_VIDEOS_DURATION_LIMIT = 4008,
    INVALID_LOGIN_WAY = 5000,
    NO_WX_AUTH = 5001,
    GROUP_ACCOUNT_NOT_FOUND = 6000,
    ADD_GROUP_PACKAGE_ERROR = 6001,
};
Q_ENUM_NS(ErrorCode)

// childAccountType of a login; None is the main account.
enum AccountType
{
    Editor = 0,
    Operator = 1,
    Manager = 2,
    Uploader = 3,
    Classifier = 4,
    LiveManager = 5,
    Maintainer = 6,
    Distributer = 7,
    None = 4096,
};
Q_ENUM_NS(AccountType)

enum SortMethod
{
    NoSort = 0,
    CreationTimeDesc = 1,
    CreationTimeAsc = 2,
    TitleNameDesc = 3,
    TitleNameAsc = 4,
};
Q_ENUM_NS(SortMethod)

// Sections of a get-video-info answer; combinable.
enum VideoInfoType
{
    Basic = 1,
    Snapshot = 2,
    Transcode = 4,
    Metadata = 8,
};
Q_ENUM_NS(VideoInfoType)

// Request parameters; QMap iterates names in ascending UTF-16 order, which is
// the order the signature and the sent query use.
using ParamMap = QMap<QString, QString>;
// Set to true by the owner of an operation to abort its transfers.
using AbortFlag = std::atomic<bool>;

// The response envelope; every result record begins with it.
struct ApiResult
{
    QString requestId;
    int code = 0;
    QString status;
    int errorCode = 0;
    QString errorDesc;
};

// Why a call failed: the client-side code, what libcurl or the server said,
// and the answer's envelope when one was read (its errorCode names a refusal).
struct Failure : orvane::Failure<RequestError>
{
    ApiResult envelope;
    int remainLoginChange = -1; // a refused login: the attempts left, -1 when not said
};

template <typename T> using Result = orvane::Result<T, Failure>;

Failure MakeFailure(RequestError code, const QString& message = QString(),
                    const ApiResult& envelope = ApiResult());

// A request's body run through its parser, or the request's failure as it is.
template <typename T> Result<T> Parsed(const Result<QByteArray>& body, Result<T> (*parse)(const QByteArray&))
{
    if (!body)
        return body.error();
    return parse(body.value());
}

// A refused login's attempts left travel in Failure::remainLoginChange.
struct LoginResult : ApiResult
{
    QString userId;
    bool expired = true;
    qint64 remainBytes = 0;
    quint64 space = 0;
    QString packageType;
    qint64 leftDay = 0;
    quint64 expirationTime = 0;
    QString email;
    QString childUserName;
    QString childUserId;
    bool childVideoOnly = true;
    int userLevel = 4096;
    quint64 cateId = 0;
    QString uploadType;
    QString appId;
    QString appSecret; // decrypted by the parser
    QString nonce;
    int childAccountType = 0; // an AccountType value
    bool videoUpload = false;
    bool transferlistUpload = false;
    bool transferlistComplete = false;
    bool cataAdd = false;
    bool cataMove = false;
    bool cataRename = false;
    bool cataSearch = false;
    bool cataRefresh = false;
    bool videoAllSearch = false;
    bool videoCurrentcataSearch = false;
    bool videoUpdateCata = false;
    bool videoDelete = false;
    bool operaManage = false;
    bool operaCopycode = false;
};

struct CateTreeResult : ApiResult
{
    QJsonObject data; // the whole "data" object
};

struct AddCategoryResult : ApiResult
{
    quint64 cateId = 0;
};

struct ListVideoResult : ApiResult
{
    quint64 pageNumber = 0;
    quint64 totalPages = 0;
    quint64 pageSize = 0;
    quint64 totalItems = 0;
    QJsonArray contents;
};

struct TranscodeInfo
{
    QUrl playUrl;
    QString definition;
    int bitrate = 0;
    double duration = 0;
    bool encrypt = false;
    QString format;
    int fps = 0;
    int height = 0;
    int width = 0;
    QString status;
};

struct VideoMetaData
{
    quint64 size = 0;
    QString format;
    double duration = 0;
    int bitrate = 0;
    int fps = 0;
    int height = 0;
    int width = 0;
    QString codec;
};

struct VideoInfo
{
    QString vid;
    QString title;
    QString description;
    double duration = 0;
    QUrl thumbnailURL;
    QUrl coverURL;
    QString creationTime;
    QString updateTime;
    quint64 size = 0;
    int status = 0;
    quint64 cateId = 0;
    QString cateName;
    QString tags;
    QString uploader;
    quint64 playTimes = 0;
    QString md5Checksum;
    QList<QUrl> imageUrls;
    QList<QUrl> bigImageUrls;
    QList<TranscodeInfo> transcodeInfos;
    VideoMetaData metaData;
};

struct VideoInfosResult : ApiResult
{
    int sections = 0; // OR of the VideoInfoType sections found
    QList<VideoInfo> infos;
};

struct CoverResult : ApiResult
{
    QUrl imageUrlSmall;
    QUrl imageUrlBig;
};

struct ClientUpdateInfo
{
    bool status = false; // true when the check succeeded
    int code = 0;
    bool success = false;
    QString message;
    QString projectName;
    QString projectVersion;
    QString projectDescription;
    QString projectDownload;
    bool forceInstall = false;
    bool silenceInstall = false;
};

// (bytes to download, downloaded, bytes to upload, uploaded)
using ProgressFunction = std::function<void(qint64, qint64, qint64, qint64)>;

// One item of a MultiDownload batch, owned by the caller for the whole call.
struct DownloadInfo
{
    QUrl url;
    QFileInfo file;
    void* userData = nullptr; // the caller's; never read or freed here
    ProgressFunction progress;
};
using DownloadResultFunction = std::function<void(DownloadInfo* item, bool success)>;

// ---- Server addresses and the signing account -----------------------------

// Base URL of every REST call: "Custom"/"apiUrl", or the built-in host when empty.
QString ApiBaseUrl();
// Full URL of the update check: "Custom"/"updateUrl", or the built-in URL when empty.
QString UpdateCheckUrl();
// The account whose appId/appSecret sign every call after login. The account
// manager sets them once the login succeeded; requests read them when they start.
void SetAccountCredentials(const QString& appId, const QString& appSecret);
QString AccountAppId();
QString AccountAppSecret();
// CA bundle for certificate checks: "NetWorkManager"/"customSSLCacert", else
// cacert.pem beside the executable.
QString CaCertPath();
// The bundle to verify peers with: the configured one (even when missing, so
// that a wrong setting fails loudly), else the shipped one when installed, else
// empty for the system trust store. Verification itself is never switched off.
QString TrustedCaBundle();

// ---- Signing and the envelope ---------------------------------------------

// Adds "sign": MD5 (upper-case hex) over secret, each non-empty name+value, secret.
void SignParams(const QString& secret, ParamMap& params);
// Adds "appId" and "timestamp" of the current account and time, then signs.
void AddCommonParamsAndSign(ParamMap& params);
// Fills the envelope fields and decides success (NoError), ApiError or ApiReturnFailed.
RequestError CheckApiResult(const QJsonObject& root, ApiResult& result);
// Translated message for a platform error code; empty for codes without a message.
QString ErrorCodeToString(int errorCode);
// Translated message for a client-side error.
QString RequestErrorToString(RequestError error);
// The text to show after a failed call: the platform's message for ApiReturnFailed
// when there is one, otherwise the client-side text.
QString ErrorMessage(const Failure& failure);
// Enum member names for logs ("CurlPerformTimeout", "CATANAME_BLANK").
QString RequestErrorName(RequestError error);
QString ErrorCodeName(int errorCode);

// ---- Login ----------------------------------------------------------------

Result<QByteArray> LoginClientRequest(const QUuid& uuid, const QString& email, const QString& password,
                                      const AbortFlag* abortFlag);
Result<LoginResult> ParseLoginClientResponse(const QByteArray& response);
// First 20 upper-case hex digits of SHA-1 over the password's UTF-8 bytes.
QString LoginPasswordDigest(const QString& password);

// ---- Categories -----------------------------------------------------------

Result<QByteArray> GetCateTreeRequest(const QUuid& uuid, quint64 cateId, const AbortFlag* abortFlag);
Result<CateTreeResult> ParseGetCateTreeResponse(const QByteArray& response);

Result<QByteArray> AddCategoryRequest(const QUuid& uuid, quint64 parentId, const QString& name,
                                      const AbortFlag* abortFlag);
Result<AddCategoryResult> ParseAddCategoryResponse(const QByteArray& response);

Result<QByteArray> RenameCategoryRequest(const QUuid& uuid, quint64 cateId, const QString& cateName,
                                         const AbortFlag* abortFlag);
Result<ApiResult> ParseRenameCategoryResponse(const QByteArray& response);

Result<QByteArray> MoveCategoryRequest(const QUuid& uuid, quint64 cateId, quint64 destCateId,
                                       const AbortFlag* abortFlag);
Result<ApiResult> ParseMoveCategoryResponse(const QByteArray& response);

// ---- Videos ---------------------------------------------------------------

Result<QByteArray> ListVideoRequest(const QUuid& uuid, quint64 cateId, const QString& title,
                                    bool containSubCate, int page, int pageSize, int sort,
                                    const AbortFlag* abortFlag);
Result<ListVideoResult> ParseListVideoResponse(const QByteArray& response);

Result<QByteArray> GetVideoInfoRequest(const QUuid& uuid, const QStringList& vids, int infoType,
                                       const AbortFlag* abortFlag);
Result<VideoInfosResult> ParseGetVideoInfoResponse(const QByteArray& response);

// A null tags or description text leaves that parameter out; an empty one sends it empty.
Result<QByteArray> UpdateVideoInfoRequest(const QUuid& uuid, const QString& vid, const QString& title,
                                          const QString& tags, const QString& description,
                                          const AbortFlag* abortFlag);
Result<ApiResult> ParseUpdateVideoInfoResponse(const QByteArray& response);

Result<QByteArray> MoveVideoRequest(const QUuid& uuid, const QStringList& vids, quint64 cateId,
                                    const AbortFlag* abortFlag);
Result<ApiResult> ParseMoveVideoResponse(const QByteArray& response);

Result<QByteArray> DeleteVideoRequest(const QUuid& uuid, const QString& vid, const AbortFlag* abortFlag);
Result<ApiResult> ParseDeleteVideoResponse(const QByteArray& response);

Result<QByteArray> ChangeVideoCoverRequest(const QUuid& uuid, const QString& vid, const QUrl& imgUrl,
                                           const AbortFlag* abortFlag);
Result<CoverResult> ParseChangeVideoCoverResponse(const QByteArray& response);

Result<QByteArray> UploadVideoCoverRequest(const QUuid& uuid, const QStringList& vids,
                                           const QString& imagePath, const AbortFlag* abortFlag);
Result<CoverResult> ParseUploadVideoCoverResponse(const QByteArray& response);

// ---- Parallel download ----------------------------------------------------

// Downloads every item, at most ten at a time, on the calling thread. A file gets
// its name only after a complete 200 answer. Blocks until all transfers ended.
RequestError MultiDownload(const QUuid& uuid, const QList<DownloadInfo*>& items,
                           const DownloadResultFunction& resultFunc, const AbortFlag* abortFlag);

// ---- Update check ---------------------------------------------------------

void SignUpdateParams(ParamMap& params);
Result<QByteArray> CheckClientUpdateRequest(const QUuid& uuid, const AbortFlag* abortFlag);
Result<ClientUpdateInfo> ParseCheckClientUpdateResponse(const QByteArray& response);

} // namespace ApiCollection

Q_DECLARE_METATYPE(ApiCollection::VideoInfosResult)
Q_DECLARE_METATYPE(ApiCollection::ClientUpdateInfo)
Q_DECLARE_METATYPE(ApiCollection::LoginResult)
