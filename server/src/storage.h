#pragma once
// SQLite storage of the platform server. One connection guarded by a mutex:
// HTTP worker threads call in concurrently, and the statements are short.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <mutex>

struct sqlite3;

namespace orvsrv {

// The 14 permission switches of a sub-account, in the order of the login answer.
enum Permission : quint32
{
    PermVideoUpload = 1u << 0,
    PermTransferlistUpload = 1u << 1,
    PermTransferlistComplete = 1u << 2,
    PermCataAdd = 1u << 3,
    PermCataMove = 1u << 4,
    PermCataRename = 1u << 5,
    PermCataSearch = 1u << 6,
    PermCataRefresh = 1u << 7,
    PermVideoAllSearch = 1u << 8,
    PermVideoCurrentcataSearch = 1u << 9,
    PermVideoUpdateCata = 1u << 10,
    PermVideoDelete = 1u << 11,
    PermOperaManage = 1u << 12,
    PermOperaCopycode = 1u << 13,
    PermAll = (1u << 14) - 1,
};
// JSON member names of the switches, bit i = name i.
const QStringList& PermissionNames();

struct Account
{
    qint64 id = 0;
    QString email;
    QString passwordDigest; // first 20 upper-case hex digits of SHA-1
    QString userId;         // of the main account (videos belong to it)
    QString childUserId;    // sub-accounts only
    QString appId;
    QString appSecret;
    qint64 ownerId = 0; // main account row id; equals id for a main account
    bool isSub = false;
    int childType = -1; // -1 for a main account
    QString childName;
    quint32 permissions = PermAll;
    qint64 expirationMs = 0;
    QString packageType;
    qint64 space = 0;
    qint64 remainBytes = 0;
    qint64 topCateId = 0;
    int userLevel = 1;
    QString uploadType;
    bool childVideoOnly = false;
    int failedLogins = 0;
    qint64 lockedUntilMs = 0;

    bool Has(quint32 perm) const { return !isSub || (permissions & perm) == perm; }
};

struct Category
{
    qint64 id = 0;
    qint64 ownerId = 0;
    qint64 parentId = 0; // 0 for the top category
    QString name;
};

struct Video
{
    QString vid;
    qint64 ownerId = 0;
    qint64 cateId = 0;
    QString title;
    QString description;
    QString tags;
    double duration = 0;
    qint64 size = 0;
    int status = 60;
    qint64 processStartMs = 0; // != 0: status follows 10 -> 20 -> 60 from this time
    qint64 createdMs = 0;
    qint64 updatedMs = 0;
    QString uploader;
    qint64 playTimes = 0;
    QString md5;
    quint64 crc64 = 0;
    QString thumbRel; // paths below the file folder
    QString coverRel;
    int width = 1280;
    int height = 720;
    int fps = 25;
    int bitrate = 2000;
    QString codec = QStringLiteral("h264");
    QString format = QStringLiteral("mp4");
    int colourSeed = 0;

    int EffectiveStatus(qint64 nowMs) const;
};

enum class SortOrder
{
    CreationDesc,
    CreationAsc,
    TitleDesc,
    TitleAsc
};

struct VideoQuery
{
    qint64 ownerId = 0;
    QVector<qint64> cateIds; // categories to search
    QString titleFilter;     // case-insensitive substring
    SortOrder sort = SortOrder::CreationDesc;
    int page = 1;
    int pageSize = 20;
};

class Storage
{
public:
    Storage();
    ~Storage();
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    bool Open(const QString& file, QString* error);
    void Close();

    // Runs fn inside one transaction under the lock; rolls back when it returns false.
    bool Transaction(const std::function<bool()>& fn);

    // Accounts
    bool InsertAccount(Account& acc);
    bool AccountByEmail(const QString& email, Account* out);
    bool AccountByAppId(const QString& appId, Account* out);
    bool AccountById(qint64 id, Account* out);
    bool UpdateLoginState(qint64 id, int failedLogins, qint64 lockedUntilMs);
    bool AddRemainBytes(qint64 ownerId, qint64 delta);
    bool SetPermissions(qint64 id, quint32 permissions);
    // Sets every main account's remaining space from what it stores: space
    // minus the sizes of its videos (never below 0).
    bool SyncRemainBytes();
    bool SetTopCategory(qint64 accountId, qint64 cateId);
    void RecordLoginAttempt(const QString& email, bool success, int code);
    int LoginAttemptCount(const QString& email);

    // Categories
    bool InsertCategory(Category& cat);
    bool CategoryById(qint64 id, Category* out);
    QVector<Category> CategoriesOfOwner(qint64 ownerId);
    bool RenameCategory(qint64 id, const QString& name);
    bool MoveCategory(qint64 id, qint64 newParent);
    bool SiblingNameExists(qint64 ownerId, qint64 parentId, const QString& name, qint64 exceptId);
    QHash<qint64, int> VideoCountsByCategory(qint64 ownerId);

    // Videos
    bool InsertVideo(const Video& v);
    bool VideoByVid(const QString& vid, Video* out);
    QVector<Video> ListVideos(const VideoQuery& q, qint64* total);
    bool UpdateVideoInfo(const QString& vid, const QString& title, const QString* tags, const QString* desc);
    bool SetVideoCategory(const QString& vid, qint64 cateId);
    bool SetVideoCover(const QString& vid, const QString& thumbRel, const QString& coverRel);
    bool DeleteVideo(const QString& vid);
    bool FindStoredVideo(qint64 ownerId, quint64 crc64, qint64 size, QString* vid);
    int VideoCount(qint64 ownerId);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvsrv
