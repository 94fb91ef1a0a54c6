#pragma once
// The local SQLite store: remembered accounts, unfinished uploads and the
// upload history. Owned by the interface thread; the connection must not be
// used from worker threads.

#include "base/result.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class QSqlQuery;

enum class StorageError
{
    NoError = 0,
    OpenFailed,      // the database file cannot be opened
    StatementFailed, // the driver refused a statement
    CommitFailed,    // a batch could not be committed and was rolled back
};

class DBManager : public QObject
{
    Q_OBJECT
public:
    struct User
    {
        QString account;
        QString password; // plain in memory, encrypted on disk
        bool rememberPassword = false;
        qint64 updateTS = 0;
    };

    struct Upload
    {
        QString vid;
        QString fileName; // full local path
        QString titleName;
        QString describ;
        QString tag;
        QString catePath;
        qint64 cateId = 1;
        int luping = 0;
        int keepSource = 0;
        quint64 totalBytes = 0;
        quint64 uploadBytes = 0;
        quint64 updateTS = 0;
        QString resultText; // in memory only
    };

    struct History
    {
        QString vid;
        QString fileName;
        QString titleName;
        quint64 fileSize = 0; // bytes; formatted when shown
        QString fileStatus;
        quint64 updateTS = 0;
    };

    // A failure carries the driver's text; it has been logged already. A read
    // that fails is a failure, never an empty table.
    using Failure = orvane::Failure<StorageError>;
    template <typename T> using Result = orvane::Result<T, Failure>;

    static DBManager* instance();
    // Closes the connection, deletes the singleton and removes the connection.
    static void Close();

    Result<void> Open(const QString& path);

    // The logged-in account; every upload and history operation is limited to it.
    QString account() const { return account_; }
    void setAccount(const QString& account) { account_ = account; }

    Result<void> InsertUser(const User& user);
    Result<void> DeleteUser(const QString& account);
    Result<void> DeleteAllUsers();
    Result<QList<User>> SelectUsers();

    Result<void> InsertUpload(const Upload& upload);
    // Stores many records in one transaction (one disk sync for all of them).
    Result<void> InsertUploads(const QList<Upload>& uploads);
    Result<void> DeleteUpload(const QString& vid);
    Result<void> DeleteUploads();
    // Every stored upload of the account, newest first.
    Result<QList<Upload>> SelectUploads();
    // Where a paged read of the stored uploads stands; a fresh one starts at the newest.
    struct UploadCursor
    {
        qint64 updateTS = 0;
        qint64 rowId = -1; // -1: nothing read yet
    };
    // The next `limit` uploads after `cursor`, in the order of SelectUploads,
    // and moves the cursor past them. Records deleted meanwhile never make
    // another one be skipped; a record stored anew since is not read again
    // when it sorts before the cursor.
    Result<QList<Upload>> SelectUploads(UploadCursor* cursor, int limit);

    Result<void> InsertHistory(const History& history, bool notify);
    Result<void> DeleteHistory(const QString& vid, bool notify);
    Result<void> DeleteHistories(bool notify);
    Result<QList<History>> SelectHistories(int page, int pageSize);
    Result<int> CountHistories();

    static QString EncryptPassword(const QString& text);
    static QString DecryptPassword(const QString& text);

signals:
    void SignalAppendHistory(const DBManager::History& record);
    void SignalRemoveHistory(const QString& vid);
    void SignalRemoveAllHistories();

private:
    DBManager();
    ~DBManager() override;

    // Runs one statement; with values it is prepared and bound positionally.
    Result<void> Exec(QSqlQuery& query, const QString& sql, const QVariantList& values = {});
    // After the rows of a select: whether stepping through them stopped on an error.
    static Result<void> Finished(const QSqlQuery& query, const QString& sql);

    static DBManager* instance_;
    QString account_;
    QSqlDatabase database_;
};

Q_DECLARE_METATYPE(DBManager::User)
Q_DECLARE_METATYPE(DBManager::Upload)
Q_DECLARE_METATYPE(DBManager::History)
