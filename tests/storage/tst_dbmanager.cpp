// The local database over real SQLite files in a temporary folder.

#include "storage/dbmanager.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class TestDBManager : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(DBManager::instance()->Open(DbPath()));
    }

    void cleanup()
    {
        DBManager::Close();
        QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
        dir_.reset();
    }

    void newFileGetsSchema()
    {
        QCOMPARE(
            SchemaRows(),
            QStringList({
                QStringLiteral(
                    "table|ORVHistoryRecord|CREATE TABLE ORVHistoryRecord ([account] TEXT NOT NULL, [vid] "
                    "VARCHAR(35) NOT NULL, [fileName] TEXT DEFAULT NULL, [titleName] TEXT DEFAULT NULL, "
                    "[fileSize] VARCHAR(32) DEFAULT NULL, [fileStatus] VARCHAR(32) DEFAULT NULL, [updateTS] "
                    "INTEGER DEFAULT 0)"),
                QStringLiteral(
                    "table|ORVUploadRecord|CREATE TABLE ORVUploadRecord ([account] TEXT NOT NULL, [vid] "
                    "VARCHAR(35) NOT NULL, [fileName] TEXT NOT NULL, [titleName] TEXT DEFAULT NULL, "
                    "[describ] TEXT DEFAULT NULL, [tag] TEXT DEFAULT NULL, [catePath] TEXT DEFAULT NULL, "
                    "[cateId] INTEGER DEFAULT 1, [luping] INTEGER DEFAULT 0, [keepSource] INTEGER DEFAULT 0, "
                    "[totalBytes] INTEGER DEFAULT 0, [uploadBytes] INTEGER DEFAULT 0, [updateTS] INTEGER "
                    "DEFAULT 0)"),
                QStringLiteral(
                    "table|ORVUser|CREATE TABLE ORVUser ([account] TEXT PRIMARY KEY NOT NULL, [password] "
                    "TEXT DEFAULT NULL, [rememberPassword] INTEGER DEFAULT 0, [updateTS] INTEGER DEFAULT 0)"),
                QStringLiteral(
                    "index|idx_history|CREATE UNIQUE INDEX \"idx_history\" ON \"ORVHistoryRecord\" "
                    "(\"account\" ASC, \"vid\" ASC)"),
                QStringLiteral(
                    "index|idx_record|CREATE UNIQUE INDEX \"idx_record\" ON \"ORVUploadRecord\" (\"account\" "
                    "ASC, \"vid\" ASC)"),
            }));
    }

    void existingFileGetsNothingNew()
    {
        // A dropped index of an existing table is not made again, no statement
        // fails or duplicates what is there, and the rows stay.
        DBManager::instance()->setAccount(QStringLiteral("a@x.test"));
        QVERIFY(DBManager::instance()->InsertUpload(MakeUpload(QStringLiteral("keep"), 5)));
        {
            QSqlQuery q(QSqlDatabase::database());
            QVERIFY(q.exec(QStringLiteral("DROP INDEX idx_record;")));
        }
        const QStringList before = SchemaRows();
        DBManager::Close();
        DBManager* again = DBManager::instance();
        QVERIFY(again->account().isEmpty()); // a new singleton
        QVERIFY(again->Open(DbPath()));
        QCOMPARE(SchemaRows(), before);
        again->setAccount(QStringLiteral("a@x.test"));
        QCOMPARE(again->SelectUploads()->size(), 1);
    }

    void uploadUpsertPerAccountAndVid()
    {
        DBManager* db = DBManager::instance();
        db->setAccount(QStringLiteral("a@x.test"));
        QVERIFY(db->InsertUpload(MakeUpload(QStringLiteral("v1"), 10)));
        DBManager::Upload later = MakeUpload(QStringLiteral("v1"), 20);
        later.uploadBytes = 42;
        later.titleName = QStringLiteral("renamed");
        QVERIFY(db->InsertUpload(later));

        QList<DBManager::Upload> rows = db->SelectUploads().value();
        QCOMPARE(rows.size(), 1);
        const DBManager::Upload& r = rows.first();
        QCOMPARE(r.vid, QStringLiteral("v1"));
        QCOMPARE(r.titleName, QStringLiteral("renamed"));
        QCOMPARE(r.uploadBytes, quint64(42));
        QCOMPARE(r.totalBytes, 5ULL << 32);
        QCOMPARE(r.cateId, 1234567890123LL);
        QCOMPARE(r.luping, 1);
        QCOMPARE(r.catePath, QStringLiteral("root/sub"));
        QCOMPARE(r.updateTS, quint64(20));
        QVERIFY(r.resultText.isEmpty());

        db->setAccount(QStringLiteral("b@x.test"));
        QVERIFY(db->SelectUploads()->isEmpty());
        QVERIFY(db->InsertUpload(MakeUpload(QStringLiteral("v1"), 30)));
        QVERIFY(db->InsertUpload(MakeUpload(QStringLiteral("v2"), 40)));
        rows = db->SelectUploads().value();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).vid, QStringLiteral("v2")); // newest first

        QSqlQuery q(QSqlDatabase::database());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM ORVUploadRecord WHERE vid = 'v1';")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 2);

        // Deleting is limited to the current account.
        QVERIFY(db->DeleteUpload(QStringLiteral("v1")));
        db->setAccount(QStringLiteral("a@x.test"));
        QCOMPARE(db->SelectUploads()->size(), 1);
        QVERIFY(db->DeleteUploads());
        QVERIFY(db->SelectUploads()->isEmpty());
        db->setAccount(QStringLiteral("b@x.test"));
        QCOMPARE(db->SelectUploads()->size(), 1);
    }

    void usersNewestFirst()
    {
        DBManager* db = DBManager::instance();
        QVERIFY(db->InsertUser({QStringLiteral("old@x.test"), QStringLiteral("p1"), true, 100}));
        QVERIFY(db->InsertUser({QStringLiteral("new@x.test"), QString(), false, 300}));
        QVERIFY(db->InsertUser({QStringLiteral("mid@x.test"), QStringLiteral("密码"), true, 200}));
        // Re-inserting an account replaces it and moves it to the front.
        QVERIFY(db->InsertUser({QStringLiteral("old@x.test"), QStringLiteral("p2"), true, 400}));

        const QList<DBManager::User> users = db->SelectUsers().value();
        QCOMPARE(users.size(), 3);
        QCOMPARE(users.at(0).account, QStringLiteral("old@x.test"));
        QCOMPARE(users.at(0).password, QStringLiteral("p2"));
        QCOMPARE(users.at(0).updateTS, qint64(400));
        QCOMPARE(users.at(1).account, QStringLiteral("new@x.test"));
        QVERIFY(!users.at(1).rememberPassword);
        QVERIFY(users.at(1).password.isEmpty());
        QCOMPARE(users.at(2).password, QStringLiteral("密码"));

        QVERIFY(db->DeleteUser(QStringLiteral("new@x.test")));
        QCOMPARE(db->SelectUsers()->size(), 2);
        QVERIFY(db->DeleteAllUsers());
        QVERIFY(db->SelectUsers()->isEmpty());
    }

    void historyPagesAndSignals()
    {
        DBManager* db = DBManager::instance();
        db->setAccount(QStringLiteral("a@x.test"));
        QSignalSpy append(db, &DBManager::SignalAppendHistory);
        QSignalSpy remove(db, &DBManager::SignalRemoveHistory);
        QSignalSpy removeAll(db, &DBManager::SignalRemoveAllHistories);

        // 70 rows, updateTS 1..70; newest first means row n has updateTS 71 - n.
        for (int i = 1; i <= 70; ++i) {
            DBManager::History h{QStringLiteral("vid%1").arg(i, 3, 10, QLatin1Char('0')),
                                 QStringLiteral("/f/%1").arg(i),
                                 QStringLiteral("t%1").arg(i),
                                 quint64(1000 + i),
                                 QStringLiteral("UploadSuccess"),
                                 quint64(i)};
            QVERIFY(db->InsertHistory(h, i == 70));
        }
        QCOMPARE(append.count(), 1);
        QCOMPARE(append.at(0).at(0).value<DBManager::History>().vid, QStringLiteral("vid070"));
        QCOMPARE(db->CountHistories().valueOr(-1), 70);

        const QList<DBManager::History> page = db->SelectHistories(2, 20).value();
        QCOMPARE(page.size(), 20);
        QCOMPARE(page.first().updateTS, quint64(71 - 41));
        QCOMPARE(page.last().updateTS, quint64(71 - 60));
        QCOMPARE(page.first().fileStatus, QStringLiteral("UploadSuccess"));
        QCOMPARE(page.first().fileSize, quint64(1000 + 71 - 41));
        QCOMPARE(db->SelectHistories(3, 20)->size(), 10);
        // Rows of older versions hold the size as formatted text.
        QSqlQuery legacy(QSqlDatabase::database());
        QVERIFY(legacy.exec(
            QStringLiteral("UPDATE ORVHistoryRecord SET fileSize = '1.50 MB' WHERE vid = 'vid070';")));
        QCOMPARE(db->SelectHistories(0, 1)->first().fileSize, quint64(1572864));

        // Another account sees none of them.
        db->setAccount(QStringLiteral("b@x.test"));
        QCOMPARE(db->CountHistories().valueOr(-1), 0);
        QVERIFY(db->DeleteHistories(false));
        db->setAccount(QStringLiteral("a@x.test"));
        QCOMPARE(db->CountHistories().valueOr(-1), 70);

        QVERIFY(db->DeleteHistory(QStringLiteral("vid001"), true));
        QCOMPARE(remove.count(), 1);
        QCOMPARE(remove.at(0).at(0).toString(), QStringLiteral("vid001"));
        QCOMPARE(db->CountHistories().valueOr(-1), 69);
        QVERIFY(db->DeleteHistories(true));
        QCOMPARE(removeAll.count(), 1);
        QCOMPARE(db->CountHistories().valueOr(-1), 0);

        // A failing statement emits nothing and says what the driver said.
        {
            QSqlQuery q(QSqlDatabase::database());
            QVERIFY(q.exec(QStringLiteral("DROP TABLE ORVHistoryRecord;")));
        }
        const DBManager::Result<void> failed = db->InsertHistory({}, true);
        QCOMPARE(failed.code(), StorageError::StatementFailed);
        QVERIFY2(failed.message().contains(QLatin1String("ORVHistoryRecord")), qPrintable(failed.message()));
        QCOMPARE(append.count(), 1);
    }

    void passwordEncryption()
    {
        // A whole block of plaintext gets a whole block of padding.
        const QString sixteen = QStringLiteral("0123456789abcdef");
        const QString stored = DBManager::EncryptPassword(sixteen);
        QCOMPARE(stored.size(), 44);
        QCOMPARE(DBManager::DecryptPassword(stored), sixteen);
        QVERIFY(stored != DBManager::EncryptPassword(QStringLiteral("0123456789abcdeF")));
        QCOMPARE(DBManager::EncryptPassword(QStringLiteral("short")).size(), 24);
        QVERIFY(DBManager::EncryptPassword(QString()).isEmpty());
        QVERIFY(DBManager::DecryptPassword(QString()).isEmpty());

        // What is on disk is the cipher text, never the password.
        DBManager* db = DBManager::instance();
        QVERIFY(db->InsertUser({QStringLiteral("a@x.test"), sixteen, true, 1}));
        QVERIFY(db->InsertUser({QStringLiteral("b@x.test"), QString(), false, 2}));
        QSqlQuery q(QSqlDatabase::database());
        QVERIFY(q.exec(QStringLiteral("SELECT account, password FROM ORVUser ORDER BY account;")));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), stored);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QString());
    }

    void corruptedPasswordReadsEmpty()
    {
        const QString stored = DBManager::EncryptPassword(QStringLiteral("correct horse battery"));
        QByteArray raw = QByteArray::fromBase64(stored.toLatin1());
        QCOMPARE(raw.size(), 32);

        QByteArray lastFlipped = raw;
        lastFlipped[31] = static_cast<char>(lastFlipped[31] ^ 0x5a);
        QByteArray truncated = raw.left(20);
        QByteArray firstFlipped = raw;
        firstFlipped[15] = static_cast<char>(firstFlipped[15] ^ 0x01); // breaks the padding byte of block two

        const QStringList bad = {QString::fromLatin1(lastFlipped.toBase64()),
                                 QString::fromLatin1(truncated.toBase64()),
                                 QString::fromLatin1(firstFlipped.toBase64()), QStringLiteral("not*base64!"),
                                 QStringLiteral("AAAA")};
        DBManager* db = DBManager::instance();
        for (int i = 0; i < bad.size(); ++i) {
            QVERIFY2(DBManager::DecryptPassword(bad.at(i)).isEmpty(), qPrintable(bad.at(i)));
            QSqlQuery q(QSqlDatabase::database());
            QVERIFY(q.prepare(QStringLiteral("INSERT OR REPLACE INTO ORVUser VALUES(?,?,1,?);")));
            q.addBindValue(QStringLiteral("u%1@x.test").arg(i));
            q.addBindValue(bad.at(i));
            q.addBindValue(i);
            QVERIFY(q.exec());
        }
        const QList<DBManager::User> users = db->SelectUsers().value();
        QCOMPARE(users.size(), bad.size());
        for (const auto& u : users)
            QVERIFY(u.password.isEmpty());
    }

    void openFailureIsReported()
    {
        DBManager::Close();
        const DBManager::Result<void> opened =
            DBManager::instance()->Open(dir_->filePath(QStringLiteral("no/such/dir/client.db")));
        QCOMPARE(opened.code(), StorageError::OpenFailed);
        QVERIFY(!opened.message().isEmpty());
    }

    void failedReadIsNotEmpty_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("tables dropped") << "drop";
        QTest::newRow("not a database") << "file";
    }

    void failedReadIsNotEmpty()
    {
        QFETCH(QString, damage);
        DBManager* db = DBManager::instance();
        // Nothing stored yet reads as an empty success.
        QVERIFY(db->SelectUsers()->isEmpty());
        QCOMPARE(db->CountHistories().valueOr(-1), 0);
        if (damage == QLatin1String("drop")) {
            QSqlQuery q(QSqlDatabase::database());
            for (const char* table : {"ORVUser", "ORVUploadRecord", "ORVHistoryRecord"})
                QVERIFY(q.exec(QStringLiteral("DROP TABLE %1;").arg(QLatin1String(table))));
        } else {
            DBManager::Close();
            QFile file(DbPath());
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(int(file.size()), '\xff'));
            file.close();
            db = DBManager::instance();
            db->Open(DbPath()); // the pages are read by the first statement, not here
        }
        DBManager::UploadCursor cursor;
        const QVector<StorageError> codes = {db->SelectUsers().code(), db->SelectUploads().code(),
                                             db->SelectUploads(&cursor, 5).code(),
                                             db->SelectHistories(0, 20).code(), db->CountHistories().code()};
        QCOMPARE(codes, QVector<StorageError>(5, StorageError::StatementFailed));
        QCOMPARE(cursor.rowId, qint64(-1)); // a failed page leaves the cursor
    }

private:
    QString DbPath() const { return dir_->filePath(QStringLiteral("orv-upload-client.db")); }

    QStringList SchemaRows()
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database());
        // The primary key of ORVUser brings SQLite's own automatic index, which is left out.
        if (!q.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                                   "WHERE name NOT LIKE 'sqlite_autoindex%' ORDER BY name;")))
            return rows;
        while (q.next())
            rows << q.value(0).toString() + QLatin1Char('|') + q.value(1).toString() + QLatin1Char('|') +
                        q.value(2).toString();
        return rows;
    }

    static DBManager::Upload MakeUpload(const QString& vid, quint64 ts)
    {
        DBManager::Upload u;
        u.vid = vid;
        u.fileName = QStringLiteral("/videos/%1.mp4").arg(vid);
        u.titleName = QStringLiteral("title ") + vid;
        u.describ = QStringLiteral("describ");
        u.tag = QStringLiteral("a,b");
        u.catePath = QStringLiteral("root/sub");
        u.cateId = 1234567890123LL;
        u.luping = 1;
        u.keepSource = 0;
        u.totalBytes = 5ULL << 32;
        u.uploadBytes = 3ULL << 31;
        u.updateTS = ts;
        u.resultText = QStringLiteral("not stored");
        return u;
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestDBManager)
#include "tst_dbmanager.moc"
