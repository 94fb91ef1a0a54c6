#pragma once
// The REST API of the platform: request parameters in, envelope out.

#include "storage.h"

#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <string>

class QImage;

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace orvsrv {

using Params = QMap<QString, QString>;

// An application/x-www-form-urlencoded body; the first of repeated names counts.
Params ParseForm(const std::string& body);

struct ApiError
{
    int http = 400;
    int code = 0;
    QString desc;
    QJsonValue data; // usually null; the login refusal carries remainLoginChange
};

// A received multipart part.
struct Part
{
    QString fileName;
    QByteArray data;
};

// A cover upload's picture: the size in its header is checked before it is
// decoded, so a small file cannot claim a huge canvas. Fills the decoded image
// and its format ("png", "jpeg", ...), or the refusal.
bool ReadCoverImage(const QByteArray& data, QImage* image, QByteArray* format, ApiError* err);

struct ApiConfig
{
    QString filesDir; // served below /files/
    int lockoutSeconds = 300;
    QString updateVersion;
    qint64 maxFormBytes = 1 << 20;
    qint64 maxMultipartBytes = 8 << 20;
};

class Api
{
public:
    Api(Storage& storage, ApiConfig config);

    void SetBaseUrl(const QString& baseUrl) { m_baseUrl = baseUrl; }
    QString BaseUrl() const { return m_baseUrl; }
    void Install(httplib::Server& http);

    // The API signing rule: MD5(secret + name1 value1 ... + secret), upper-case hex,
    // over the parameters with non-empty values in ascending name order, "sign" excluded.
    static QString Sign(const QString& secret, const Params& params);
    static QString UpdateSign(const Params& params);
    // Verifies appId, timestamp window and sign; fills the calling account.
    bool Authenticate(const Params& params, Account* account, ApiError* err);

    // Paths and URLs of the generated pictures of a video.
    QString FileUrl(const QString& rel) const;
    static QString SnapshotRel(const QString& userId, const QString& vid, int index, bool big);
    // Serves /files/<rel>: existing files, or pictures generated on first request.
    bool ResolveFile(const QString& rel, QByteArray* data, QString* mime);
    // Keeps the uploaded file of a video for the web player (a hard link into
    // the file folder, a copy where links are not possible).
    void KeepSourceFile(qint64 ownerId, const QString& vid, const QString& storedPath);

    // Every sign value a request carried (tests look for them where they must not be).
    QStringList ReceivedSigns() const;

private:
    void NoteSign(const QString& sign);
    mutable std::mutex m_signsMutex;
    QStringList m_signs;
    bool CategoryInScope(const Account& acc, qint64 cateId, Category* cat, ApiError* err);
    bool ValidateCategoryName(const QString& name, ApiError* err);
    QJsonObject BasicInfo(const Video& v, const QHash<qint64, Category>* cats, qint64 nowMs);
    QString OwnerUserId(qint64 ownerId);

    bool Login(const Params& p, QJsonValue* data, ApiError* err);
    bool GetCateTree(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool AddCategory(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool RenameCategory(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool MoveCategory(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool ListVideo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool GetVideoInfo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool UpdateVideoInfo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool MoveVideos(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool DeleteVideo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool ChangeCover(const Account& acc, const Params& p, QJsonValue* data, ApiError* err);
    bool UploadCover(const Account& acc, const Params& p, const Part& image, QJsonValue* data, ApiError* err);
    bool VideoOfAccount(const Account& acc, const QString& vid, Video* v, ApiError* err);
    void CheckUpdate(const std::string& body, httplib::Response& res);

    Storage& m_storage;
    ApiConfig m_config;
    QString m_baseUrl;
    std::mutex m_fileMutex; // serialises picture generation
};

} // namespace orvsrv
