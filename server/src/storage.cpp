#include "storage.h"

#include <QDateTime>
#include <QHash>

#include <sqlite3.h>

namespace orvsrv {

const QStringList& PermissionNames()
{
    static const QStringList names{QStringLiteral("videoUpload"),
                                   QStringLiteral("transferlistUpload"),
                                   QStringLiteral("transferlistComplete"),
                                   QStringLiteral("cataAdd"),
                                   QStringLiteral("cataMove"),
                                   QStringLiteral("cataRename"),
                                   QStringLiteral("cataSearch"),
                                   QStringLiteral("cataRefresh"),
                                   QStringLiteral("videoAllSearch"),
                                   QStringLiteral("videoCurrentcataSearch"),
                                   QStringLiteral("videoUpdateCata"),
                                   QStringLiteral("videoDelete"),
                                   QStringLiteral("operaManage"),
                                   QStringLiteral("operaCopycode")};
    return names;
}

int Video::EffectiveStatus(qint64 nowMs) const
{
    if (processStartMs <= 0)
        return status;
    const qint64 elapsed = nowMs - processStartMs;
    if (elapsed < 2000)
        return 10;
    if (elapsed < 5000)
        return 20;
    return 60;
}

namespace {

// One prepared statement, taken from the connection's cache and reset on
// scope exit. Preparing is the dominant cost of the short statements here.
class Stmt
{
public:
    // cached = false for statements whose text varies (lists of ids).
    Stmt(sqlite3* db, QHash<QByteArray, sqlite3_stmt*>& cache, const QByteArray& sql, bool cached = true)
        : m_owned(!cached)
    {
        m_stmt = cached ? cache.value(sql) : nullptr;
        if (m_stmt)
            return;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK) {
            qWarning("sqlite prepare failed: %s (%s)", sqlite3_errmsg(db), sql.constData());
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
        if (cached)
            cache.insert(sql, m_stmt);
    }
    ~Stmt()
    {
        if (m_owned) {
            sqlite3_finalize(m_stmt);
        } else if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Stmt& bind(int i, qint64 v)
    {
        if (m_stmt)
            sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Stmt& bind(int i, double v)
    {
        if (m_stmt)
            sqlite3_bind_double(m_stmt, i, v);
        return *this;
    }
    Stmt& bind(int i, const QString& v)
    {
        if (m_stmt) {
            const QByteArray u = v.toUtf8();
            sqlite3_bind_text(m_stmt, i, u.constData(), u.size(), SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool exec() { return step() == SQLITE_DONE; }
    qint64 i64(int col) const { return sqlite3_column_int64(m_stmt, col); }
    double dbl(int col) const { return sqlite3_column_double(m_stmt, col); }
    QString text(int col) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_owned = false;
};

const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE COLLATE NOCASE, password TEXT NOT NULL,
  user_id TEXT NOT NULL, child_user_id TEXT NOT NULL DEFAULT '', app_id TEXT NOT NULL UNIQUE,
  app_secret TEXT NOT NULL, owner_id INTEGER NOT NULL, is_sub INTEGER NOT NULL,
  child_type INTEGER NOT NULL, child_name TEXT NOT NULL DEFAULT '', permissions INTEGER NOT NULL,
  expiration_ms INTEGER NOT NULL, package_type TEXT NOT NULL, space INTEGER NOT NULL,
  remain_bytes INTEGER NOT NULL, top_cate INTEGER NOT NULL, user_level INTEGER NOT NULL,
  upload_type TEXT NOT NULL, child_video_only INTEGER NOT NULL,
  failed_logins INTEGER NOT NULL DEFAULT 0, locked_until INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS login_attempts(
  id INTEGER PRIMARY KEY, email TEXT NOT NULL, at_ms INTEGER NOT NULL, success INTEGER NOT NULL,
  code INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS categories(
  id INTEGER PRIMARY KEY, owner_id INTEGER NOT NULL, parent_id INTEGER NOT NULL, name TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS categories_parent ON categories(owner_id, parent_id);
CREATE TABLE IF NOT EXISTS videos(
  vid TEXT PRIMARY KEY, owner_id INTEGER NOT NULL, cate_id INTEGER NOT NULL, title TEXT NOT NULL,
  description TEXT NOT NULL, tags TEXT NOT NULL, duration REAL NOT NULL, size INTEGER NOT NULL,
  status INTEGER NOT NULL, process_start_ms INTEGER NOT NULL, created_ms INTEGER NOT NULL,
  updated_ms INTEGER NOT NULL, uploader TEXT NOT NULL, play_times INTEGER NOT NULL,
  md5 TEXT NOT NULL, crc64 INTEGER NOT NULL, thumb_rel TEXT NOT NULL, cover_rel TEXT NOT NULL,
  width INTEGER NOT NULL, height INTEGER NOT NULL, fps INTEGER NOT NULL, bitrate INTEGER NOT NULL,
  codec TEXT NOT NULL, format TEXT NOT NULL, colour_seed INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS videos_cate ON videos(owner_id, cate_id);
CREATE INDEX IF NOT EXISTS videos_created ON videos(owner_id, created_ms);
CREATE INDEX IF NOT EXISTS videos_title ON videos(owner_id, title COLLATE NOCASE);
)SQL";

const char* kAccountCols =
    "id, email, password, user_id, child_user_id, app_id, app_secret, owner_id, is_sub, child_type, "
    "child_name, permissions, expiration_ms, package_type, space, remain_bytes, top_cate, user_level, "
    "upload_type, child_video_only, failed_logins, locked_until";

void ReadAccount(const Stmt& s, Account* a)
{
    a->id = s.i64(0);
    a->email = s.text(1);
    a->passwordDigest = s.text(2);
    a->userId = s.text(3);
    a->childUserId = s.text(4);
    a->appId = s.text(5);
    a->appSecret = s.text(6);
    a->ownerId = s.i64(7);
    a->isSub = s.i64(8) != 0;
    a->childType = int(s.i64(9));
    a->childName = s.text(10);
    a->permissions = quint32(s.i64(11));
    a->expirationMs = s.i64(12);
    a->packageType = s.text(13);
    a->space = s.i64(14);
    a->remainBytes = s.i64(15);
    a->topCateId = s.i64(16);
    a->userLevel = int(s.i64(17));
    a->uploadType = s.text(18);
    a->childVideoOnly = s.i64(19) != 0;
    a->failedLogins = int(s.i64(20));
    a->lockedUntilMs = s.i64(21);
}

const char* kVideoCols =
    "vid, owner_id, cate_id, title, description, tags, duration, size, status, process_start_ms, "
    "created_ms, updated_ms, uploader, play_times, md5, crc64, thumb_rel, cover_rel, width, height, "
    "fps, bitrate, codec, format, colour_seed";

void ReadVideo(const Stmt& s, Video* v)
{
    v->vid = s.text(0);
    v->ownerId = s.i64(1);
    v->cateId = s.i64(2);
    v->title = s.text(3);
    v->description = s.text(4);
    v->tags = s.text(5);
    v->duration = s.dbl(6);
    v->size = s.i64(7);
    v->status = int(s.i64(8));
    v->processStartMs = s.i64(9);
    v->createdMs = s.i64(10);
    v->updatedMs = s.i64(11);
    v->uploader = s.text(12);
    v->playTimes = s.i64(13);
    v->md5 = s.text(14);
    v->crc64 = quint64(s.i64(15));
    v->thumbRel = s.text(16);
    v->coverRel = s.text(17);
    v->width = int(s.i64(18));
    v->height = int(s.i64(19));
    v->fps = int(s.i64(20));
    v->bitrate = int(s.i64(21));
    v->codec = s.text(22);
    v->format = s.text(23);
    v->colourSeed = int(s.i64(24));
}

// Category ids are large on the platform; the first one starts here so that
// clients exercise 64-bit ids while staying exact in JSON doubles.
constexpr qint64 kFirstCategoryId = 1700000000001LL;

} // namespace

struct Storage::Impl
{
    std::recursive_mutex mutex;
    sqlite3* db = nullptr;
    QHash<QByteArray, sqlite3_stmt*> cache;

    bool Exec(const char* sql)
    {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            qWarning("sqlite exec failed: %s", err ? err : "?");
            sqlite3_free(err);
            return false;
        }
        return true;
    }
    bool Changed() const { return sqlite3_changes(db) > 0; }
};

Storage::Storage() : d(std::make_unique<Impl>()) {}
Storage::~Storage()
{
    Close();
}

bool Storage::Open(const QString& file, QString* error)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    if (sqlite3_open_v2(file.toUtf8().constData(), &d->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot open database %1: %2")
                         .arg(file, QString::fromUtf8(sqlite3_errmsg(d->db)));
        sqlite3_close(d->db);
        d->db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(d->db, 2000);
    // Reads dominate: keep the pages in memory instead of re-reading them per query.
    d->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; "
            "PRAGMA cache_size=-65536; PRAGMA mmap_size=268435456; PRAGMA temp_store=MEMORY;");
    if (!d->Exec(kSchema)) {
        if (error)
            *error = QStringLiteral("cannot create the schema in %1").arg(file);
        return false;
    }
    // Data folders written before the figures followed the videos.
    return SyncRemainBytes();
}

void Storage::Close()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    for (sqlite3_stmt* st : qAsConst(d->cache))
        sqlite3_finalize(st);
    d->cache.clear();
    if (d->db) {
        sqlite3_close(d->db);
        d->db = nullptr;
    }
}

bool Storage::Transaction(const std::function<bool()>& fn)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    if (!d->Exec("BEGIN IMMEDIATE"))
        return false;
    if (!fn()) {
        d->Exec("ROLLBACK");
        return false;
    }
    return d->Exec("COMMIT");
}

bool Storage::InsertAccount(Account& a)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           "INSERT INTO accounts(email, password, user_id, child_user_id, app_id, app_secret, owner_id, "
           "is_sub, child_type, child_name, permissions, expiration_ms, package_type, space, remain_bytes, "
           "top_cate, user_level, upload_type, child_video_only) "
           "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    s.bind(1, a.email).bind(2, a.passwordDigest).bind(3, a.userId).bind(4, a.childUserId);
    s.bind(5, a.appId).bind(6, a.appSecret).bind(7, a.ownerId).bind(8, qint64(a.isSub));
    s.bind(9, qint64(a.childType)).bind(10, a.childName).bind(11, qint64(a.permissions));
    s.bind(12, a.expirationMs).bind(13, a.packageType).bind(14, a.space).bind(15, a.remainBytes);
    s.bind(16, a.topCateId).bind(17, qint64(a.userLevel)).bind(18, a.uploadType);
    s.bind(19, qint64(a.childVideoOnly));
    if (!s.exec())
        return false;
    a.id = sqlite3_last_insert_rowid(d->db);
    if (a.ownerId == 0) {
        a.ownerId = a.id;
        Stmt u(d->db, d->cache, "UPDATE accounts SET owner_id = id WHERE id = ?");
        u.bind(1, a.id);
        return u.exec();
    }
    return true;
}

bool Storage::AccountByEmail(const QString& email, Account* out)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           (QByteArray("SELECT ") + kAccountCols + " FROM accounts WHERE email = ?").constData());
    s.bind(1, email);
    if (s.step() != SQLITE_ROW)
        return false;
    ReadAccount(s, out);
    return true;
}

bool Storage::AccountByAppId(const QString& appId, Account* out)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           (QByteArray("SELECT ") + kAccountCols + " FROM accounts WHERE app_id = ?").constData());
    s.bind(1, appId);
    if (s.step() != SQLITE_ROW)
        return false;
    ReadAccount(s, out);
    return true;
}

bool Storage::AccountById(qint64 id, Account* out)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           (QByteArray("SELECT ") + kAccountCols + " FROM accounts WHERE id = ?").constData());
    s.bind(1, id);
    if (s.step() != SQLITE_ROW)
        return false;
    ReadAccount(s, out);
    return true;
}

bool Storage::UpdateLoginState(qint64 id, int failedLogins, qint64 lockedUntilMs)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE accounts SET failed_logins = ?, locked_until = ? WHERE id = ?");
    s.bind(1, qint64(failedLogins)).bind(2, lockedUntilMs).bind(3, id);
    return s.exec();
}

bool Storage::AddRemainBytes(qint64 ownerId, qint64 delta)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE accounts SET remain_bytes = MIN(space, remain_bytes + ?) WHERE id = ?");
    s.bind(1, delta).bind(2, ownerId);
    return s.exec();
}

bool Storage::SetPermissions(qint64 id, quint32 permissions)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE accounts SET permissions = ? WHERE id = ?");
    s.bind(1, qint64(permissions)).bind(2, id);
    return s.exec();
}

bool Storage::SyncRemainBytes()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           "UPDATE accounts SET remain_bytes = MAX(0, space - (SELECT COALESCE(SUM(size), 0) FROM videos "
           "WHERE videos.owner_id = accounts.id)) WHERE id = owner_id");
    return s.exec();
}

bool Storage::SetTopCategory(qint64 accountId, qint64 cateId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE accounts SET top_cate = ? WHERE id = ?");
    s.bind(1, cateId).bind(2, accountId);
    return s.exec();
}

void Storage::RecordLoginAttempt(const QString& email, bool success, int code)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "INSERT INTO login_attempts(email, at_ms, success, code) VALUES(?,?,?,?)");
    s.bind(1, email.left(320)).bind(2, QDateTime::currentMSecsSinceEpoch()).bind(3, qint64(success));
    s.bind(4, qint64(code));
    s.exec();
}

int Storage::LoginAttemptCount(const QString& email)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "SELECT COUNT(*) FROM login_attempts WHERE email = ?");
    s.bind(1, email);
    return s.step() == SQLITE_ROW ? int(s.i64(0)) : 0;
}

bool Storage::InsertCategory(Category& c)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    qint64 next = kFirstCategoryId;
    {
        Stmt m(d->db, d->cache, "SELECT MAX(id) FROM categories");
        if (m.step() == SQLITE_ROW && m.i64(0) >= kFirstCategoryId)
            next = m.i64(0) + 1;
    }
    Stmt s(d->db, d->cache, "INSERT INTO categories(id, owner_id, parent_id, name) VALUES(?,?,?,?)");
    s.bind(1, next).bind(2, c.ownerId).bind(3, c.parentId).bind(4, c.name);
    if (!s.exec())
        return false;
    c.id = next;
    return true;
}

bool Storage::CategoryById(qint64 id, Category* out)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "SELECT id, owner_id, parent_id, name FROM categories WHERE id = ?");
    s.bind(1, id);
    if (s.step() != SQLITE_ROW)
        return false;
    out->id = s.i64(0);
    out->ownerId = s.i64(1);
    out->parentId = s.i64(2);
    out->name = s.text(3);
    return true;
}

QVector<Category> Storage::CategoriesOfOwner(qint64 ownerId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    QVector<Category> out;
    Stmt s(d->db, d->cache,
           "SELECT id, owner_id, parent_id, name FROM categories WHERE owner_id = ? ORDER BY id");
    s.bind(1, ownerId);
    while (s.step() == SQLITE_ROW)
        out.push_back(Category{s.i64(0), s.i64(1), s.i64(2), s.text(3)});
    return out;
}

bool Storage::RenameCategory(qint64 id, const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE categories SET name = ? WHERE id = ?");
    s.bind(1, name).bind(2, id);
    return s.exec();
}

bool Storage::MoveCategory(qint64 id, qint64 newParent)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE categories SET parent_id = ? WHERE id = ?");
    s.bind(1, newParent).bind(2, id);
    return s.exec();
}

bool Storage::SiblingNameExists(qint64 ownerId, qint64 parentId, const QString& name, qint64 exceptId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           "SELECT 1 FROM categories WHERE owner_id = ? AND parent_id = ? AND name = ? AND id != ?");
    s.bind(1, ownerId).bind(2, parentId).bind(3, name).bind(4, exceptId);
    return s.step() == SQLITE_ROW;
}

QHash<qint64, int> Storage::VideoCountsByCategory(qint64 ownerId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    QHash<qint64, int> out;
    Stmt s(d->db, d->cache, "SELECT cate_id, COUNT(*) FROM videos WHERE owner_id = ? GROUP BY cate_id");
    s.bind(1, ownerId);
    while (s.step() == SQLITE_ROW)
        out.insert(s.i64(0), int(s.i64(1)));
    return out;
}

bool Storage::InsertVideo(const Video& v)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           (QByteArray("INSERT INTO videos(") + kVideoCols +
            ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
               .constData());
    s.bind(1, v.vid).bind(2, v.ownerId).bind(3, v.cateId).bind(4, v.title).bind(5, v.description);
    s.bind(6, v.tags).bind(7, v.duration).bind(8, v.size).bind(9, qint64(v.status));
    s.bind(10, v.processStartMs).bind(11, v.createdMs).bind(12, v.updatedMs).bind(13, v.uploader);
    s.bind(14, v.playTimes).bind(15, v.md5).bind(16, qint64(v.crc64)).bind(17, v.thumbRel);
    s.bind(18, v.coverRel).bind(19, qint64(v.width)).bind(20, qint64(v.height)).bind(21, qint64(v.fps));
    s.bind(22, qint64(v.bitrate)).bind(23, v.codec).bind(24, v.format).bind(25, qint64(v.colourSeed));
    return s.exec();
}

bool Storage::VideoByVid(const QString& vid, Video* out)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, (QByteArray("SELECT ") + kVideoCols + " FROM videos WHERE vid = ?").constData());
    s.bind(1, vid);
    if (s.step() != SQLITE_ROW)
        return false;
    ReadVideo(s, out);
    return true;
}

QVector<Video> Storage::ListVideos(const VideoQuery& q, qint64* total)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    QByteArray where = "owner_id = ?";
    if (!q.cateIds.isEmpty()) {
        where += " AND cate_id IN (";
        for (int i = 0; i < q.cateIds.size(); ++i)
            where += (i ? "," : "") + QByteArray::number(q.cateIds[i]);
        where += ")";
    }
    const bool filter = !q.titleFilter.isEmpty();
    if (filter)
        where += " AND instr(lower(title), lower(?)) > 0";
    {
        Stmt c(d->db, d->cache, "SELECT COUNT(*) FROM videos WHERE " + where, false);
        c.bind(1, q.ownerId);
        if (filter)
            c.bind(2, q.titleFilter);
        *total = c.step() == SQLITE_ROW ? c.i64(0) : 0;
    }
    const char* order = "created_ms DESC, vid";
    switch (q.sort) {
    case SortOrder::CreationAsc:
        order = "created_ms ASC, vid";
        break;
    case SortOrder::TitleDesc:
        order = "title COLLATE NOCASE DESC, vid";
        break;
    case SortOrder::TitleAsc:
        order = "title COLLATE NOCASE ASC, vid";
        break;
    case SortOrder::CreationDesc:
        break;
    }
    Stmt s(d->db, d->cache,
           (QByteArray("SELECT ") + kVideoCols + " FROM videos WHERE " + where + " ORDER BY " + order +
            " LIMIT ? OFFSET ?"),
           false);
    int i = 1;
    s.bind(i++, q.ownerId);
    if (filter)
        s.bind(i++, q.titleFilter);
    s.bind(i++, qint64(q.pageSize));
    s.bind(i++, qint64(q.page - 1) * q.pageSize);
    QVector<Video> out;
    while (s.step() == SQLITE_ROW) {
        Video v;
        ReadVideo(s, &v);
        out.push_back(std::move(v));
    }
    return out;
}

bool Storage::UpdateVideoInfo(const QString& vid, const QString& title, const QString* tags,
                              const QString* desc)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache,
           "UPDATE videos SET title = ?, tags = COALESCE(?, tags), description = COALESCE(?, description), "
           "updated_ms = ? WHERE vid = ?");
    s.bind(1, title);
    if (tags)
        s.bind(2, *tags);
    if (desc)
        s.bind(3, *desc);
    s.bind(4, QDateTime::currentMSecsSinceEpoch()).bind(5, vid);
    return s.exec() && d->Changed();
}

bool Storage::SetVideoCategory(const QString& vid, qint64 cateId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE videos SET cate_id = ?, updated_ms = ? WHERE vid = ?");
    s.bind(1, cateId).bind(2, QDateTime::currentMSecsSinceEpoch()).bind(3, vid);
    return s.exec() && d->Changed();
}

bool Storage::SetVideoCover(const QString& vid, const QString& thumbRel, const QString& coverRel)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "UPDATE videos SET thumb_rel = ?, cover_rel = ?, updated_ms = ? WHERE vid = ?");
    s.bind(1, thumbRel).bind(2, coverRel).bind(3, QDateTime::currentMSecsSinceEpoch()).bind(4, vid);
    return s.exec() && d->Changed();
}

bool Storage::DeleteVideo(const QString& vid)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "DELETE FROM videos WHERE vid = ?");
    s.bind(1, vid);
    return s.exec() && d->Changed();
}

bool Storage::FindStoredVideo(qint64 ownerId, quint64 crc64, qint64 size, QString* vid)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "SELECT vid FROM videos WHERE owner_id = ? AND crc64 = ? AND size = ? LIMIT 1");
    s.bind(1, ownerId).bind(2, qint64(crc64)).bind(3, size);
    if (s.step() != SQLITE_ROW)
        return false;
    if (vid)
        *vid = s.text(0);
    return true;
}

int Storage::VideoCount(qint64 ownerId)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    Stmt s(d->db, d->cache, "SELECT COUNT(*) FROM videos WHERE owner_id = ?");
    s.bind(1, ownerId);
    return s.step() == SQLITE_ROW ? int(s.i64(0)) : 0;
}

} // namespace orvsrv
