// The settings store, the autostart entry, the data directory and the import
// of accounts from older installations.

#include "app/config.h"
#include "app/legacyaccounts.h"
#include "app/paths.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

namespace {

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

struct Stored
{
    QString account;
    QString password;
    bool remember;
};

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid());
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        iniPath_ = tmp_.filePath(QStringLiteral("global.ini"));
        QFile::remove(iniPath_);
    }

    void freshFileReadsDefaults()
    {
        Config config(iniPath_);
        QVERIFY(!config.value("UploadTaskManager", "uploadTasksNum").isValid());
        config.RegisterDefaults();
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum").toInt(), 3);
        QCOMPARE(config.value("UploadTaskManager", "autoStartUpload").toBool(), true);
        QCOMPARE(config.value("UploadTaskManager", "limitedSpeedValue").toInt(), 0);
        QCOMPARE(config.value("UploadTaskManager", "optimizeCoursewareSwitch").toBool(), false);
        QCOMPARE(config.value("Application", "closeBehavior").toString(), QStringLiteral("quit"));
        QCOMPARE(config.value("Application", "autoUpdate").toBool(), false);
        QCOMPARE(config.value("NetWorkManager", "proxyType").toInt(), 0);
        QVERIFY(!config.value("NetWorkManager", "proxyHostName").isValid());
        QVERIFY(config.value("NetWorkManager", "proxyHostName").toString().isEmpty());
        QVERIFY(!config.hasDefault("Custom", "updateUrl"));
        QVERIFY(!config.contains("UploadTaskManager", "uploadTasksNum"));
        // Reading never creates the file; writing does.
        QVERIFY(!QFile::exists(iniPath_));
        config.setValue("Application", "closeBehavior", "hide");
        QVERIFY(QFile::exists(iniPath_));
    }

    void fileValueWinsAndFallbackIgnoresDefaults()
    {
        Config config(iniPath_);
        config.RegisterDefaults();
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 9);
        QVERIFY(!config.value("UploadTaskManager", "uploadTasksNum", QVariant()).isValid());
        config.setValue("UploadTaskManager", "uploadTasksNum", 5);
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum").toInt(), 5);
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 5);
        QCOMPARE(config.defaultValue("UploadTaskManager", "uploadTasksNum").toInt(), 3);
        QVERIFY(config.contains("UploadTaskManager", "uploadTasksNum"));
    }

    // No cache: a second store on the same file, and a worker thread, see a
    // write at once, and an edit made behind the store's back is seen too.
    void writesAreSeenWithoutSync()
    {
        Config writer(iniPath_);
        Config reader(iniPath_);
        writer.setValue("NetWorkManager", "proxyHostName", "proxy.local");
        QCOMPARE(reader.value("NetWorkManager", "proxyHostName").toString(), QStringLiteral("proxy.local"));
        const QString fromThread = QtConcurrent::run([&reader] {
                                       return reader.value("NetWorkManager", "proxyHostName").toString();
                                   }).result();
        QCOMPARE(fromThread, QStringLiteral("proxy.local"));
        {
            QSettings direct(iniPath_, QSettings::IniFormat);
            direct.setValue("NetWorkManager/proxyPort", "8080");
        }
        QCOMPARE(reader.value("NetWorkManager", "proxyPort").toUInt(), 8080u);
    }

    void fileIsUtf8Ini()
    {
        Config config(iniPath_);
        config.setValue("Custom", "package", QStringLiteral("安装包.exe"));
        QCOMPARE(config.value("Custom", "package").toString(), QStringLiteral("安装包.exe"));
        const QByteArray raw = ReadFile(iniPath_);
        QVERIFY2(raw.contains("[Custom]"), raw.constData());
        QVERIFY2(raw.contains(QStringLiteral("安装包").toUtf8()), raw.constData());
    }

    void removeAndClear()
    {
        Config config(iniPath_);
        config.RegisterDefaults();
        config.setValue("NetWorkManager", "proxyType", 1);
        config.setValue("NetWorkManager", "proxyHostName", "h");
        config.setValue("NetWorkManager", "proxyPort", "3128");
        config.setValue("Custom", "userId", "u1");

        config.remove("NetWorkManager", "proxyHostName");
        QVERIFY(!config.contains("NetWorkManager", "proxyHostName"));
        QVERIFY(config.contains("NetWorkManager", "proxyPort"));
        // With the key gone from the file the default shows again.
        config.remove("NetWorkManager", "proxyType");
        QCOMPARE(config.value("NetWorkManager", "proxyType").toInt(), 0);

        config.remove(QStringLiteral("NetWorkManager"));
        QVERIFY(!config.contains("NetWorkManager", "proxyPort"));
        QVERIFY(config.contains("Custom", "userId"));

        config.removeDefaults(QStringLiteral("uploadtaskmanager"));
        QVERIFY(config.hasDefault("UploadTaskManager", "uploadTasksNum"));
        config.removeDefaults(QStringLiteral("UploadTaskManager/"));
        QVERIFY(!config.hasDefault("UploadTaskManager", "uploadTasksNum"));
        QVERIFY(!config.hasDefault("UploadTaskManager", "optimizeCoursewareSwitch"));
        QVERIFY(config.hasDefault("Application", "closeBehavior"));
        config.removeDefault("Application", "closeBehavior");
        QVERIFY(!config.value("Application", "closeBehavior").isValid());
        config.setDefault("Application", "closeBehavior", "hide");
        QCOMPARE(config.value("Application", "closeBehavior").toString(), QStringLiteral("hide"));

        config.clear();
        QVERIFY(!config.contains("Custom", "userId"));
        QVERIFY(!config.hasDefault("Application", "autoUpdate"));
        QVERIFY(!config.value("Application", "closeBehavior").isValid());
    }

    void globalStore()
    {
        QVERIFY(!Config::Global());
        {
            Config config(iniPath_);
            Config::SetGlobal(&config);
            QCOMPARE(Config::Global(), &config);
        }
        // A destroyed store never stays reachable.
        QVERIFY(!Config::Global());
    }

    void autostartRoundTrip()
    {
        const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
        const QString xdg = tmp_.filePath(QStringLiteral("xdg-config"));
        qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
        const QString entry = xdg + QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
                              QStringLiteral(".desktop");

        Config config(iniPath_);
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(true);
        QVERIFY(QFile::exists(entry));
        QVERIFY(config.IsAutoStart());
        const QByteArray text = ReadFile(entry);
        QVERIFY2(text.startsWith("[Desktop Entry]\n"), text.constData());
        QVERIFY2(text.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"),
                 text.constData());
        QVERIFY(text.contains("\nType=Application\n"));
        // Writing again is harmless.
        config.SetAutoStart(true);
        QVERIFY(config.IsAutoStart());

        // The entry of another program, or one the user switched off, does not count.
        QVERIFY(
            !platform::IsAutoStart(QCoreApplication::applicationName(), QStringLiteral("/opt/other/client")));
        QVERIFY(!platform::IsAutoStart(QCoreApplication::applicationName(),
                                       QCoreApplication::applicationFilePath().toUpper()));
        WriteFile(entry, text + "Hidden=true\n");
        QVERIFY(!config.IsAutoStart());

        config.SetAutoStart(false);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(false);

        // Paths with blanks, quotes, dollars and backslashes survive the quoting.
        const QString odd = QStringLiteral("/opt/my apps/\"q\" $HOME `x` back\\slash/client");
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, true));
        QVERIFY(platform::IsAutoStart(QStringLiteral("odd"), odd));
        QVERIFY(!platform::IsAutoStart(QStringLiteral("odd"), QStringLiteral("/opt/my apps/")));
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, false));

        if (oldXdg.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldXdg);
    }

    void workDirCreatesFolders()
    {
        const QByteArray oldHome = qgetenv("HOME");
        // A home folder whose name contains the application name stays intact.
        const QString home = tmp_.filePath(QCoreApplication::applicationName() + QStringLiteral("-home"));
        qputenv("HOME", home.toLocal8Bit());

        const QString root = WorkDir();
        QVERIFY2(root.startsWith(home + QLatin1Char('/')), qPrintable(root));
        QVERIFY2(root.endsWith(QStringLiteral("/orvane-upload-client")), qPrintable(root));
        QVERIFY(!root.mid(home.size()).contains(QCoreApplication::applicationName()));
        QVERIFY(QFileInfo(root).isDir());
        QVERIFY(QDir::isAbsolutePath(root));
        QCOMPARE(WorkDir(QString()), root);

        const QString log = WorkDir(QStringLiteral("log"));
        QCOMPARE(log, root + QStringLiteral("/log"));
        QVERIFY(QFileInfo(log).isDir());
        QCOMPARE(WorkDir(QStringLiteral("thumbs/u1/v2")), root + QStringLiteral("/thumbs/u1/v2"));
        QVERIFY(QFileInfo(root + QStringLiteral("/thumbs/u1/v2")).isDir());

        WriteFile(root + QStringLiteral("/crash"), "not a folder");
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^mkpath failed: .*/crash\"$")));
        QVERIFY(WorkDir(QStringLiteral("crash")).isNull());

        qputenv("HOME", oldHome);
    }

    void legacyUsersJsonImported()
    {
        QTemporaryDir dir;
        const QByteArray json = R"([{"usrName":"a@x.com","usrPwd":"pw1","isRemberPwd":true},
                                    {"usrName":"b@x.com","usrPwd":"pw2","isRemberPwd":false},
                                    {"usrName":"c@x.com","usrPwd":"密码","isRemberPwd":"true"},
                                    {"usrPwd":"nameless"}, 5])";
        WriteFile(dir.filePath(QStringLiteral("users.json")), json.toBase64());
        QList<Stored> stored;
        const int n = ImportLegacyAccounts(dir.path(), [&](const QString& a, const QString& p, bool r) {
            stored.append({a, p, r});
            return true;
        });
        QCOMPARE(n, 3);
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored[0].account, QStringLiteral("a@x.com"));
        QCOMPARE(stored[0].password, QStringLiteral("pw1"));
        QVERIFY(stored[0].remember);
        QVERIFY(!stored[1].remember);
        QCOMPARE(stored[2].password, QStringLiteral("密码"));
        QVERIFY(!stored[2].remember); // only the JSON value true counts
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("users.json"))));

        // Imported once: a second run finds nothing.
        QCOMPARE(ImportLegacyAccounts(dir.path(), [](const QString&, const QString&, bool) { return true; }),
                 0);
    }

    void legacyFileKeptWhenStoreFails()
    {
        QTemporaryDir dir;
        const QByteArray json = R"([{"usrName":"a@x.com","usrPwd":"pw1","isRemberPwd":true},
                                    {"usrName":"b@x.com","usrPwd":"pw2"}])";
        const QString path = dir.filePath(QStringLiteral("users.json"));
        WriteFile(path, json.toBase64());
        int calls = 0;
        QCOMPARE(ImportLegacyAccounts(dir.path(),
                                      [&](const QString& a, const QString&, bool) {
                                          ++calls;
                                          return a != QStringLiteral("b@x.com");
                                      }),
                 1);
        QCOMPARE(calls, 2);
        QVERIFY(QFile::exists(path));
        // Once the store works the accounts arrive and the file goes.
        QCOMPARE(ImportLegacyAccounts(dir.path(), [](const QString&, const QString&, bool) { return true; }),
                 2);
        QVERIFY(!QFile::exists(path));
    }

    void legacyGarbageIsDropped()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("users.json"));
        WriteFile(path, QByteArray(R"({"usrName":"a"})").toBase64());
        QCOMPARE(ImportLegacyAccounts(dir.path(), [](const QString&, const QString&, bool) { return true; }),
                 0);
        QVERIFY(!QFile::exists(path));
        WriteFile(path, "%%% not base64 json");
        QCOMPARE(ImportLegacyAccounts(dir.path(), [](const QString&, const QString&, bool) { return true; }),
                 0);
        QVERIFY(!QFile::exists(path));
        bool ok = true;
        QVERIFY(ParseLegacyAccounts(R"([{"usrName":"a","usrName":"b"}])", &ok).isEmpty());
        QVERIFY(!ok); // duplicate keys are refused
    }

    void legacyInfoImported()
    {
        QTemporaryDir dir;
        const QByteArray json = R"([{"usrName":"old@x.com","usrPwd":"secret","isRemberPwd":true}])";
        const QByteArray cipher = EncryptLegacyInfo(json.toBase64());
        QVERIFY(!cipher.isEmpty());
        QVERIFY(cipher.size() % 16 == 0);
        QCOMPARE(DecryptLegacyInfo(cipher), json.toBase64());
        WriteFile(dir.filePath(QStringLiteral("info")), cipher);
        QList<Stored> stored;
        QCOMPARE(ImportLegacyAccounts(dir.path(),
                                      [&](const QString& a, const QString& p, bool r) {
                                          stored.append({a, p, r});
                                          return true;
                                      }),
                 1);
        QCOMPARE(stored.value(0).account, QStringLiteral("old@x.com"));
        QCOMPARE(stored.value(0).password, QStringLiteral("secret"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("info"))));
        // A damaged file decrypts to nothing instead of garbage.
        QVERIFY(DecryptLegacyInfo(cipher.left(cipher.size() - 1)).isEmpty());
    }

private:
    QTemporaryDir tmp_;
    QString iniPath_;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
