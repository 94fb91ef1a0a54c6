// The settings store, the proxy reader, the autostart entry, the data
// directory and the import of accounts from older installations.

#include "coreenv.h"

#include "app/legacyaccounts.h"
#include "base/config.h"
#include "base/paths.h"
#include "platform/platform.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>

using coretest::ReadAll;
using coretest::WriteAll;

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

    // A fresh installation reads the registered defaults; a value in the file
    // wins over them, an explicit fallback ignores them.
    void defaultsAndFileValues()
    {
        Config config(iniPath_);
        QVERIFY(!config.value("UploadTaskManager", "uploadTasksNum").isValid());
        config.RegisterDefaults();
        const QList<QPair<QString, QVariant>> defaults{{"UploadTaskManager/uploadTasksNum", 3},
                                                       {"UploadTaskManager/autoStartUpload", true},
                                                       {"UploadTaskManager/limitedSpeedValue", 0},
                                                       {"UploadTaskManager/optimizeCoursewareSwitch", false},
                                                       {"Application/closeBehavior", "quit"},
                                                       {"Application/autoUpdate", false},
                                                       {"NetWorkManager/proxyType", 0}};
        for (const auto& [key, value] : defaults)
            QCOMPARE(config.value(key.section('/', 0, 0), key.section('/', 1)).toString(), value.toString());
        QVERIFY(!config.value("NetWorkManager", "proxyHostName").isValid());
        QVERIFY(!config.hasDefault("Custom", "updateUrl"));
        QVERIFY(!config.contains("UploadTaskManager", "uploadTasksNum"));
        // Reading never creates the file.
        QVERIFY(!QFile::exists(iniPath_));

        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 9);
        config.setValue("UploadTaskManager", "uploadTasksNum", 5);
        QVERIFY(QFile::exists(iniPath_));
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum").toInt(), 5);
        QCOMPARE(config.value("UploadTaskManager", "uploadTasksNum", 9).toInt(), 5);
        QCOMPARE(config.defaultValue("UploadTaskManager", "uploadTasksNum").toInt(), 3);

        // UTF-8 INI text.
        config.setValue("Custom", "package", QStringLiteral("安装包.exe"));
        QCOMPARE(config.value("Custom", "package").toString(), QStringLiteral("安装包.exe"));
        QVERIFY(ReadAll(iniPath_).contains(QStringLiteral("[Custom]\npackage=安装包.exe")));
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
        QSettings(iniPath_, QSettings::IniFormat).setValue("NetWorkManager/proxyPort", "8080");
        QCOMPARE(reader.value("NetWorkManager", "proxyPort").toUInt(), 8080u);
    }

    void proxy_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expectedType");
        QTest::addColumn<bool>("hasPort");
        QTest::newRow("http proxy") << QVariant(1) << "3128" << 1 << true;
        QTest::newRow("port not a number") << QVariant(1) << "31a" << 1 << false;
        QTest::newRow("no proxy") << QVariant(0) << "3128" << 0 << true;
        QTest::newRow("type not a number") << QVariant("x") << "" << 0 << false;
    }
    void proxy()
    {
        QFETCH(QVariant, type);
        QFETCH(QString, port);
        Config config(iniPath_);
        config.RegisterDefaults();
        config.setValue("NetWorkManager", "proxyType", type);
        config.setValue("NetWorkManager", "proxyHostName", "proxy.local");
        config.setValue("NetWorkManager", "proxyPort", port);
        config.setValue("NetWorkManager", "proxyUser", "u");
        const ProxySettings proxy = config.Proxy();
        QTEST(proxy.type, "expectedType");
        QTEST(proxy.hasPort, "hasPort");
        QCOMPARE(proxy.port, proxy.hasPort ? port.toInt() : 0);
        QCOMPARE(proxy.host, QStringLiteral("proxy.local"));
        QCOMPARE(proxy.user, QStringLiteral("u"));
        QVERIFY(proxy.password.isEmpty());
    }

    void removeAndClear()
    {
        Config config(iniPath_);
        config.RegisterDefaults();
        config.setValue("NetWorkManager", "proxyType", 1);
        config.setValue("NetWorkManager", "proxyPort", "3128");
        config.setValue("Custom", "userId", "u1");
        // With the key gone from the file the default shows again.
        config.remove("NetWorkManager", "proxyType");
        QCOMPARE(config.value("NetWorkManager", "proxyType").toInt(), 0);
        QVERIFY(config.contains("NetWorkManager", "proxyPort"));
        config.remove(QStringLiteral("NetWorkManager"));
        QVERIFY(!config.contains("NetWorkManager", "proxyPort"));
        QVERIFY(config.contains("Custom", "userId"));

        config.removeDefaults(QStringLiteral("uploadtaskmanager"));
        QVERIFY(config.hasDefault("UploadTaskManager", "uploadTasksNum"));
        config.removeDefaults(QStringLiteral("UploadTaskManager/"));
        QVERIFY(!config.hasDefault("UploadTaskManager", "optimizeCoursewareSwitch"));
        QVERIFY(config.hasDefault("Application", "closeBehavior"));
        config.removeDefault("Application", "closeBehavior");
        QVERIFY(!config.value("Application", "closeBehavior").isValid());

        config.clear();
        QVERIFY(!config.contains("Custom", "userId"));
        QVERIFY(!config.hasDefault("Application", "autoUpdate"));
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
        const QString xdg = tmp_.filePath(QStringLiteral("xdg-config"));
        qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
        const QString entry = xdg + QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
                              QStringLiteral(".desktop");
        Config config(iniPath_);
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(true);
        const QString text = ReadAll(entry);
        QVERIFY2(text.startsWith("[Desktop Entry]\n"), qPrintable(text));
        QVERIFY(text.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        QVERIFY(config.IsAutoStart());

        // The entry of another program, or one the user switched off, does not count.
        QVERIFY(
            !platform::IsAutoStart(QCoreApplication::applicationName(), QStringLiteral("/opt/other/client")));
        QVERIFY(WriteAll(entry, text.toUtf8() + "Hidden=true\n"));
        QVERIFY(!config.IsAutoStart());
        config.SetAutoStart(false);
        QVERIFY(!QFile::exists(entry));

        // Paths with blanks, quotes, dollars and backslashes survive the quoting.
        const QString odd = QStringLiteral("/opt/my apps/\"q\" $HOME `x` back\\slash/client");
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, true));
        QVERIFY(platform::IsAutoStart(QStringLiteral("odd"), odd));
        QVERIFY(!platform::IsAutoStart(QStringLiteral("odd"), QStringLiteral("/opt/my apps/")));
        QVERIFY(platform::SetAutoStart(QStringLiteral("odd"), odd, false));
        qunsetenv("XDG_CONFIG_HOME");
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
        QCOMPARE(WorkDir(QStringLiteral("thumbs/u1/v2")), root + QStringLiteral("/thumbs/u1/v2"));
        QVERIFY(QFileInfo(root + QStringLiteral("/thumbs/u1/v2")).isDir());

        QVERIFY(WriteAll(root + QStringLiteral("/crash"), "not a folder"));
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^mkpath failed: .*/crash\"$")));
        QVERIFY(WorkDir(QStringLiteral("crash")).isNull());
        qputenv("HOME", oldHome);
    }

    // users.json (base64 JSON) or info (its AES cipher text) beside the
    // executable: what arrives in the store, and whether the file goes.
    void legacyImport_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refused"); // the account the store refuses
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("fileKept");
        const QByteArray three = QByteArray(R"([{"usrName":"a@x.com","usrPwd":"pw1","isRemberPwd":true},
                                     {"usrName":"b@x.com","usrPwd":"pw2","isRemberPwd":false},
                                     {"usrName":"c@x.com","usrPwd":"密码","isRemberPwd":"true"},
                                     {"usrPwd":"nameless"}, 5])")
                                     .toBase64();
        // Only the JSON value true remembers; entries without a name are skipped.
        const QStringList all{"a@x.com pw1 1", "b@x.com pw2 0", "c@x.com 密码 0"};
        QTest::newRow("users.json") << "users.json" << three << "" << all << false;
        QTest::newRow("info") << "info" << EncryptLegacyInfo(three) << "" << all << false;
        QTest::newRow("store refuses one: kept for the next start")
            << "users.json" << three << "b@x.com" << QStringList{"a@x.com pw1 1", "c@x.com 密码 0"} << true;
        QTest::newRow("not a list: dropped")
            << "users.json" << QByteArray(R"({"usrName":"a"})").toBase64() << "" << QStringList() << false;
        QTest::newRow("duplicate keys: dropped")
            << "users.json" << QByteArray(R"([{"usrName":"a","usrName":"b"}])").toBase64() << ""
            << QStringList() << false;
        QTest::newRow("garbage: dropped")
            << "users.json" << QByteArray("%%% not base64 json") << "" << QStringList() << false;
        // A damaged cipher text decrypts to nothing instead of garbage.
        QTest::newRow("damaged info: dropped")
            << "info" << EncryptLegacyInfo(three).chopped(1) << "" << QStringList() << false;
    }
    void legacyImport()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, refused);
        QFETCH(QStringList, stored);
        QTemporaryDir dir;
        QVERIFY(WriteAll(dir.filePath(file), content));
        QStringList got;
        const int n = ImportLegacyAccounts(dir.path(), [&](const QString& a, const QString& p, bool r) {
            if (a == refused)
                return false;
            got << QStringLiteral("%1 %2 %3").arg(a, p).arg(r ? 1 : 0);
            return true;
        });
        QCOMPARE(got, stored);
        QCOMPARE(n, stored.size());
        QTEST(QFile::exists(dir.filePath(file)), "fileKept");
    }

private:
    QTemporaryDir tmp_;
    QString iniPath_;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
