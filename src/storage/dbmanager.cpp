#include "storage/dbmanager.h"

#include "storage/aescipher.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTextCodec>

namespace {

const char kCreateUser[] = "CREATE TABLE IF NOT EXISTS ORVUser ("
                           "[account] TEXT PRIMARY KEY NOT NULL, "
                           "[password] TEXT DEFAULT NULL, "
                           "[rememberPassword] INTEGER DEFAULT 0, "
                           "[updateTS] INTEGER DEFAULT 0);";

const char kCreateUpload[] = "CREATE TABLE IF NOT EXISTS ORVUploadRecord ("
                             "[account] TEXT NOT NULL, "
                             "[vid] VARCHAR(35) NOT NULL, "
                             "[fileName] TEXT NOT NULL, "
                             "[titleName] TEXT DEFAULT NULL, "
                             "[describ] TEXT DEFAULT NULL, "
                             "[tag] TEXT DEFAULT NULL, "
                             "[catePath] TEXT DEFAULT NULL, "
                             "[cateId] INTEGER DEFAULT 1, "
                             "[luping] INTEGER DEFAULT 0, "
                             "[keepSource] INTEGER DEFAULT 0, "
                             "[totalBytes] INTEGER DEFAULT 0, "
                             "[uploadBytes] INTEGER DEFAULT 0, "
                             "[updateTS] INTEGER DEFAULT 0);";

const char kIndexUpload[] =
    "CREATE UNIQUE INDEX \"idx_record\" ON \"ORVUploadRecord\" (\"account\" ASC, \"vid\" ASC);";

const char kCreateHistory[] = "CREATE TABLE IF NOT EXISTS ORVHistoryRecord ("
                              "[account] TEXT NOT NULL, "
                              "[vid] VARCHAR(35) NOT NULL, "
                              "[fileName] TEXT DEFAULT NULL, "
                              "[titleName] TEXT DEFAULT NULL, "
                              "[fileSize] VARCHAR(32) DEFAULT NULL, "
                              "[fileStatus] VARCHAR(32) DEFAULT NULL, "
                              "[updateTS] INTEGER DEFAULT 0);";

const char kIndexHistory[] =
    "CREATE UNIQUE INDEX \"idx_history\" ON \"ORVHistoryRecord\" (\"account\" ASC, \"vid\" ASC);";

// The password key and IV are kept as two masked halves so that neither
// value appears in the binary as one piece.
QByteArray Unmask(const unsigned char (&a)[16], const unsigned char (&b)[16])
{
    QByteArray out(16, '\0');
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<char>(a[i] ^ b[i]);
    return out;
}

const QByteArray& PasswordKey()
{
    static const unsigned char a[16] = {0x3c, 0x91, 0x5e, 0x07, 0xa2, 0x6b, 0xd4, 0x18,
                                        0x77, 0xe9, 0x02, 0xbd, 0x4f, 0x36, 0xc8, 0x5a};
    static const unsigned char b[16] = {0x73, 0xe3, 0x28, 0x66, 0xcc, 0x0e, 0xf9, 0x6b,
                                        0x12, 0x8a, 0x76, 0xcf, 0x7c, 0x51, 0xa5, 0x29};
    static const QByteArray key = Unmask(a, b);
    return key;
}

const QByteArray& PasswordIv()
{
    static const unsigned char a[16] = {0x91, 0x2d, 0xe6, 0x48, 0x0b, 0xbf, 0x5c, 0x73,
                                        0xa4, 0x19, 0xd0, 0x62, 0x3e, 0x87, 0xf5, 0x0c};
    static const unsigned char b[16] = {0xe7, 0x48, 0x94, 0x3b, 0x62, 0xd0, 0x32, 0x02,
                                        0xd1, 0x74, 0xb5, 0x16, 0x5b, 0xe4, 0x81, 0x4f};
    static const QByteArray iv = Unmask(a, b);
    return iv;
}

DBManager::Upload ReadUpload(const QSqlQuery& q)
{
    DBManager::Upload u;
    u.vid = q.value(1).toString();
    u.fileName = q.value(2).toString();
    u.titleName = q.value(3).toString();
    u.describ = q.value(4).toString();
    u.tag = q.value(5).toString();
    u.catePath = q.value(6).toString();
    u.cateId = q.value(7).toLongLong();
    u.luping = q.value(8).toInt();
    u.keepSource = q.value(9).toInt();
    u.totalBytes = q.value(10).toULongLong();
    u.uploadBytes = q.value(11).toULongLong();
    u.updateTS = q.value(12).toULongLong();
    return u;
}

// Sizes are stored as a byte count. Older rows hold the formatted text
// ("1.50 MB"), which is turned back into bytes (to the text's precision).
quint64 ParseStoredSize(const QString& text)
{
    bool ok = false;
    const quint64 bytes = text.toULongLong(&ok);
    if (ok)
        return bytes;
    static const QStringList units = {QStringLiteral("B"),  QStringLiteral("KB"), QStringLiteral("MB"),
                                      QStringLiteral("GB"), QStringLiteral("TB"), QStringLiteral("PB")};
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    const double value = parts.value(0).toDouble(&ok);
    const int unit = units.indexOf(parts.value(1));
    if (!ok || unit < 0 || value < 0)
        return 0;
    double result = value;
    for (int i = 0; i < unit; ++i)
        result *= 1024.0;
    return static_cast<quint64>(result + 0.5);
}

DBManager::History ReadHistory(const QSqlQuery& q)
{
    DBManager::History h;
    h.vid = q.value(1).toString();
    h.fileName = q.value(2).toString();
    h.titleName = q.value(3).toString();
    h.fileSize = ParseStoredSize(q.value(4).toString());
    h.fileStatus = q.value(5).toString();
    h.updateTS = q.value(6).toULongLong();
    return h;
}

// SQLite stores integers as signed 64-bit; bind unsigned values the same way.
QVariant U64(quint64 v)
{
    return QVariant(static_cast<qint64>(v));
}

} // namespace

DBManager* DBManager::instance_ = nullptr;

DBManager::DBManager()
{
    qRegisterMetaType<DBManager::User>("DBManager::User");
    qRegisterMetaType<DBManager::Upload>("DBManager::Upload");
    qRegisterMetaType<DBManager::History>("DBManager::History");
}

DBManager::~DBManager() = default;

DBManager* DBManager::instance()
{
    if (!instance_)
        instance_ = new DBManager();
    return instance_;
}

void DBManager::Close()
{
    if (!instance_)
        return;
    QString name;
    {
        if (instance_->database_.isOpen())
            instance_->database_.close();
        name = instance_->database_.connectionName();
        delete instance_;
        instance_ = nullptr;
    }
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
}

DBManager::Result<void> DBManager::Open(const QString& path)
{
    database_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    database_.setDatabaseName(path);
    if (!database_.open()) {
        const QString text = database_.lastError().text();
        qWarning().noquote() << "failed to open the db, last error:" << text;
        return Failure{StorageError::OpenFailed, text};
    }
    const QStringList tables = database_.tables(QSql::Tables);
    if (!tables.contains(QStringLiteral("ORVUser"))) {
        QSqlQuery q(database_);
        Exec(q, QString::fromLatin1(kCreateUser));
    }
    if (!tables.contains(QStringLiteral("ORVUploadRecord"))) {
        QSqlQuery q(database_);
        if (Exec(q, QString::fromLatin1(kCreateUpload))) {
            QSqlQuery qi(database_);
            Exec(qi, QString::fromLatin1(kIndexUpload));
        }
    }
    if (!tables.contains(QStringLiteral("ORVHistoryRecord"))) {
        QSqlQuery q(database_);
        if (Exec(q, QString::fromLatin1(kCreateHistory))) {
            QSqlQuery qi(database_);
            Exec(qi, QString::fromLatin1(kIndexHistory));
        }
    }
    return {};
}

DBManager::Result<void> DBManager::Exec(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    bool ok;
    if (values.isEmpty()) {
        ok = query.exec(sql);
    } else {
        ok = query.prepare(sql);
        if (ok) {
            for (int i = 0; i < values.size(); ++i)
                query.bindValue(i, values.at(i));
            ok = query.exec();
        }
    }
    if (ok)
        return {};
    const QString text = query.lastError().text();
    qWarning().noquote() << "failed to exec sql:" << sql << ", last error:" << text;
    return Failure{StorageError::StatementFailed, text};
}

DBManager::Result<void> DBManager::Finished(const QSqlQuery& query, const QString& sql)
{
    // next() answers false both at the end and on a failed step (a damaged
    // page, a lock): only the error tells them apart.
    if (query.lastError().type() == QSqlError::NoError)
        return {};
    const QString text = query.lastError().text();
    qWarning().noquote() << "failed to read rows of sql:" << sql << ", last error:" << text;
    return Failure{StorageError::StatementFailed, text};
}

DBManager::Result<void> DBManager::InsertUser(const User& user)
{
    QSqlQuery q(database_);
    return Exec(q, QStringLiteral("INSERT OR REPLACE INTO ORVUser VALUES(?,?,?,?);"),
                {user.account, EncryptPassword(user.password), user.rememberPassword ? 1 : 0, user.updateTS});
}

DBManager::Result<void> DBManager::DeleteUser(const QString& account)
{
    QSqlQuery q(database_);
    return Exec(q, QStringLiteral("DELETE FROM ORVUser WHERE [account] = ?;"), {account});
}

DBManager::Result<void> DBManager::DeleteAllUsers()
{
    QSqlQuery q(database_);
    return Exec(q, QStringLiteral("DELETE FROM ORVUser;"));
}

DBManager::Result<QList<DBManager::User>> DBManager::SelectUsers()
{
    QList<User> users;
    QSqlQuery q(database_);
    const QString sql = QStringLiteral("SELECT * FROM ORVUser ORDER BY [updateTS] DESC;");
    if (Result<void> run = Exec(q, sql); !run)
        return run.error();
    while (q.next()) {
        User u;
        u.account = q.value(0).toString();
        u.password = DecryptPassword(q.value(1).toString());
        u.rememberPassword = q.value(2).toBool();
        u.updateTS = q.value(3).toLongLong();
        users.append(u);
    }
    if (Result<void> read = Finished(q, sql); !read)
        return read.error();
    return users;
}

DBManager::Result<void> DBManager::InsertUpload(const Upload& u)
{
    QSqlQuery q(database_);
    return Exec(q,
                QStringLiteral("INSERT OR REPLACE INTO ORVUploadRecord VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?);"),
                {account_, u.vid, u.fileName, u.titleName, u.describ, u.tag, u.catePath, u.cateId, u.luping,
                 u.keepSource, U64(u.totalBytes), U64(u.uploadBytes), U64(u.updateTS)});
}

DBManager::Result<void> DBManager::InsertUploads(const QList<Upload>& uploads)
{
    if (uploads.isEmpty())
        return {};
    const bool batch = database_.transaction();
    Result<void> first; // the first failed statement, if any
    for (const Upload& u : uploads) {
        Result<void> stored = InsertUpload(u);
        if (first && !stored)
            first = std::move(stored);
    }
    if (batch && !database_.commit()) {
        const QString text = database_.lastError().text();
        qWarning() << "storing upload progress failed:" << text;
        database_.rollback();
        return Failure{StorageError::CommitFailed, text};
    }
    return first;
}

DBManager::Result<void> DBManager::DeleteUpload(const QString& vid)
{
    QSqlQuery q(database_);
    return Exec(q, QStringLiteral("DELETE FROM ORVUploadRecord WHERE [account] = ? AND [vid] = ?;"),
                {account_, vid});
}

DBManager::Result<void> DBManager::DeleteUploads()
{
    QSqlQuery q(database_);
    return Exec(q, QStringLiteral("DELETE FROM ORVUploadRecord WHERE [account] = ?;"), {account_});
}

DBManager::Result<QList<DBManager::Upload>> DBManager::SelectUploads()
{
    UploadCursor all;
    return SelectUploads(&all, -1);
}

DBManager::Result<QList<DBManager::Upload>> DBManager::SelectUploads(UploadCursor* cursor, int limit)
{
    // Keyset paging (time, then rowid) rather than an offset: a row deleted
    // between two pages must not shift an unread one out of the next page.
    QList<Upload> uploads;
    QSqlQuery q(database_);
    q.setForwardOnly(true);
    QVariantList values{account_};
    QString after;
    if (cursor->rowId >= 0) {
        after = QStringLiteral(" AND ([updateTS] < ? OR ([updateTS] = ? AND rowid > ?))");
        values << cursor->updateTS << cursor->updateTS << cursor->rowId;
    }
    values << limit;
    const QString sql = QStringLiteral("SELECT *, rowid FROM ORVUploadRecord WHERE [account] = ?%1"
                                       " ORDER BY [updateTS] DESC, rowid ASC LIMIT ?;")
                            .arg(after);
    if (Result<void> run = Exec(q, sql, values); !run)
        return run.error();
    UploadCursor next = *cursor;
    while (q.next()) {
        uploads.append(ReadUpload(q));
        next.updateTS = q.value(12).toLongLong();
        next.rowId = q.value(13).toLongLong();
    }
    // A failed page leaves the cursor where it was, so a retry reads it again.
    if (Result<void> read = Finished(q, sql); !read)
        return read.error();
    *cursor = next;
    return uploads;
}

DBManager::Result<void> DBManager::InsertHistory(const History& h, bool notify)
{
    QSqlQuery q(database_);
    Result<void> ok =
        Exec(q, QStringLiteral("INSERT OR REPLACE INTO ORVHistoryRecord VALUES(?,?,?,?,?,?,?);"),
             {account_, h.vid, h.fileName, h.titleName, QString::number(h.fileSize), h.fileStatus,
              U64(h.updateTS)});
    if (ok && notify)
        emit SignalAppendHistory(h);
    return ok;
}

DBManager::Result<void> DBManager::DeleteHistory(const QString& vid, bool notify)
{
    QSqlQuery q(database_);
    Result<void> ok =
        Exec(q, QStringLiteral("DELETE FROM ORVHistoryRecord WHERE [account] = ? AND [vid] = ?;"),
             {account_, vid});
    if (ok && notify)
        emit SignalRemoveHistory(vid);
    return ok;
}

DBManager::Result<void> DBManager::DeleteHistories(bool notify)
{
    QSqlQuery q(database_);
    Result<void> ok =
        Exec(q, QStringLiteral("DELETE FROM ORVHistoryRecord WHERE [account] = ?;"), {account_});
    if (ok && notify)
        emit SignalRemoveAllHistories();
    return ok;
}

DBManager::Result<QList<DBManager::History>> DBManager::SelectHistories(int page, int pageSize)
{
    QList<History> histories;
    QSqlQuery q(database_);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral(
        "SELECT * FROM ORVHistoryRecord WHERE [account] = ? ORDER BY [updateTS] DESC LIMIT ? OFFSET ?;");
    if (Result<void> run = Exec(q, sql, {account_, pageSize, page * pageSize}); !run)
        return run.error();
    while (q.next())
        histories.append(ReadHistory(q));
    if (Result<void> read = Finished(q, sql); !read)
        return read.error();
    return histories;
}

DBManager::Result<int> DBManager::CountHistories()
{
    QSqlQuery q(database_);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM ORVHistoryRecord WHERE [account] = ?;");
    if (Result<void> run = Exec(q, sql, {account_}); !run)
        return run.error();
    if (q.next())
        return q.value(0).toInt();
    if (Result<void> read = Finished(q, sql); !read)
        return read.error();
    return 0;
}

QString DBManager::EncryptPassword(const QString& text)
{
    if (text.isEmpty())
        return QString();
    const QByteArray cipher = AesCbcEncrypt(text.toUtf8(), PasswordKey(), PasswordIv());
    return QString::fromLatin1(cipher.toBase64());
}

QString DBManager::DecryptPassword(const QString& text)
{
    if (text.isEmpty())
        return QString();
    const auto decoded = QByteArray::fromBase64Encoding(
        text.toUtf8(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.size() % 16 != 0)
        return QString();
    // A damaged value (bad padding) reads as no password: the user types it again.
    bool ok = false;
    const QByteArray plain = AesCbcDecrypt(decoded.decoded, PasswordKey(), PasswordIv(), &ok);
    if (!ok)
        return QString();
    QTextCodec::ConverterState state;
    const QString result =
        QTextCodec::codecForName("UTF-8")->toUnicode(plain.constData(), plain.size(), &state);
    if (state.invalidChars > 0)
        return QString();
    return result;
}
