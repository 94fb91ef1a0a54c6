// Logging in against the platform server running in-process.

#include "testenv.h"

#include <QtTest>

using orvtest::LoginAndWait;

class TestAccountManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void mainAccountSucceeds();
    void wrongPasswordTexts();
    void overlappingLogins();
    void subAccountPermissions();
    void rememberOnAndOff();
    void transportFailure();

private:
    orvtest::ClientEnv env_;
};

void TestAccountManager::initTestCase()
{
    QString error;
    QVERIFY2(env_.Start(&error), qPrintable(error));
}

void TestAccountManager::cleanupTestCase()
{
    env_.Stop();
}

void TestAccountManager::init()
{
    env_.server().ClearFaults();
}

void TestAccountManager::mainAccountSucceeds()
{
    AccountManager manager;
    QCOMPARE(AccountManager::Current(), &manager);
    bool ok = false;
    const QString error = LoginAndWait(manager, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                       QString::fromLatin1(orvsrv::kDemoPassword), true, &ok);
    QVERIFY2(ok, qPrintable(error));
    QVERIFY(!manager.loggingIn());
    QCOMPARE(manager.account(), QString::fromLatin1(orvsrv::kDemoMainEmail));
    QVERIFY(!manager.userId().isEmpty());
    QVERIFY(!manager.appId().isEmpty());
    QVERIFY(!manager.appSecret().isEmpty());
    QVERIFY(manager.space() > 0);
    QVERIFY(!manager.isSubAccount());
    QVERIFY(manager.childUserName().isEmpty());
    // A main account holds every switch.
    const auto all = AccountManager::VideoUpload | AccountManager::TransferListUpload |
                     AccountManager::TransferListComplete | AccountManager::CateAdd |
                     AccountManager::CateMove | AccountManager::CateRename | AccountManager::CateSearch |
                     AccountManager::CateRefresh | AccountManager::VideoAllSearch |
                     AccountManager::VideoCurrentCateSearch | AccountManager::VideoUpdateCate |
                     AccountManager::VideoDelete | AccountManager::OperaManage |
                     AccountManager::OperaCopyCode;
    QCOMPARE(manager.permissions(), AccountManager::PermissionFlags(all));
    QVERIFY(manager.HasPermission(AccountManager::CateMove | AccountManager::VideoDelete));
    QCOMPARE(int(manager.permissions()), 0x3f1f7);

    // The upload library is ready and the database works for this account now.
    QVERIFY(SDKManager::instance()->initialized());
    QCOMPARE(DBManager::instance()->account(), QString::fromLatin1(orvsrv::kDemoMainEmail));
    QCOMPARE(ApiCollection::AccountAppId(), manager.appId());
}

void TestAccountManager::wrongPasswordTexts()
{
    // A fresh account, so the lock-out does not spoil the other cases.
    const QString email = env_.server().SeedLarge(1, 0);
    QVERIFY(!email.isEmpty());
    AccountManager manager;
    QStringList texts;
    for (int i = 0; i < 6; ++i) {
        bool ok = true;
        texts << LoginAndWait(manager, email, QStringLiteral("wrong%1").arg(i), false, &ok);
        QVERIFY(!ok);
    }
    // Without a translator the texts are the keys themselves.
    const QString pwdErr = QStringLiteral("ErrorCodeString.MAIN_ACCOUNT_PWD_ERR");
    QCOMPARE(texts.at(0), pwdErr + QStringLiteral(", 4 attempts remaining"));
    QCOMPARE(texts.at(1), pwdErr + QStringLiteral(", 3 attempts remaining"));
    QCOMPARE(texts.at(4), pwdErr + QStringLiteral(", ErrorCodeString.ACCOUNT_LOCKED"));
    QCOMPARE(texts.at(5), QStringLiteral("ErrorCodeString.ACCOUNT_LOCKED"));
    // A refusal without a count of attempts gets no hint at all.
    bool ok = true;
    QCOMPARE(LoginAndWait(manager, QStringLiteral("nobody@orvane.test"), QStringLiteral("x"), false, &ok),
             QStringLiteral("ErrorCodeString.USER_NOT_EXIST"));
    QVERIFY(!ok);
    // Nothing was remembered for a failed login.
    const QList<DBManager::User> users = DBManager::instance()->SelectUsers().value();
    for (const DBManager::User& u : users)
        QVERIFY(u.account != email);
}

void TestAccountManager::overlappingLogins()
{
    orvsrv::FaultRule slow;
    slow.pathPattern = QStringLiteral("login-client");
    slow.latencyMs = 600;
    env_.server().AddFault(slow);
    const QString main = QString::fromLatin1(orvsrv::kDemoMainEmail);
    const QString sub = QString::fromLatin1(orvsrv::kDemoSubEmail);
    const QString password = QString::fromLatin1(orvsrv::kDemoPassword);

    AccountManager manager;
    QSignalSpy ok(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    // A second login while one runs is ignored.
    manager.Login(main, password, false);
    QVERIFY(manager.loggingIn());
    manager.Login(QStringLiteral("nobody@orvane.test"), QStringLiteral("x"), false);
    QVERIFY(QTest::qWaitFor([&] { return ok.count() + failed.count() > 0; }, 20000));
    QTest::qWait(800); // a second request, had it been sent, would end by now
    QCOMPARE(ok.count(), 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(manager.account(), main);

    // A cancelled login ends silently.
    manager.Login(sub, QStringLiteral("wrong"), false);
    manager.LoginCancel();
    QVERIFY(!manager.loggingIn());
    QTest::qWait(900);
    QCOMPARE(ok.count() + failed.count(), 1);

    // Cancel a wrong password and log in again at once: only the new attempt counts.
    manager.Login(sub, QStringLiteral("wrong"), false);
    manager.LoginCancel();
    manager.Login(main, password, false);
    QVERIFY(manager.loggingIn());
    QVERIFY(QTest::qWaitFor([&] { return ok.count() > 1; }, 20000));
    QTest::qWait(300);
    QCOMPARE(ok.count(), 2);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(manager.account(), main);
}

void TestAccountManager::subAccountPermissions()
{
    AccountManager manager;
    QTest::ignoreMessage(QtInfoMsg,
                         QRegularExpression(QStringLiteral("^User do not have the permission: \\S+")));
    bool ok = false;
    const QString error = LoginAndWait(manager, QString::fromLatin1(orvsrv::kDemoSubEmail),
                                       QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
    QVERIFY2(ok, qPrintable(error));
    QVERIFY(manager.isSubAccount());
    QVERIFY(!manager.childUserName().isEmpty());
    QVERIFY(manager.permissions() != AccountManager::PermissionFlags(0x3f1f7));
    // Every flag the manager reports is one of the fixed values.
    QCOMPARE(int(manager.permissions()) & ~0x3f1f7, 0);
}

void TestAccountManager::rememberOnAndOff()
{
    const QString main = QString::fromLatin1(orvsrv::kDemoMainEmail);
    const QString sub = QString::fromLatin1(orvsrv::kDemoSubEmail);
    const QString password = QString::fromLatin1(orvsrv::kDemoPassword);
    {
        AccountManager manager;
        bool ok = false;
        QVERIFY(LoginAndWait(manager, main, password, true, &ok).isNull());
        QVERIFY(ok);
    }
    QTest::qWait(1100); // the newer login gets a later second
    {
        AccountManager manager;
        bool ok = false;
        QVERIFY(LoginAndWait(manager, sub, password, false, &ok).isNull());
        QVERIFY(ok);
    }
    const QList<DBManager::User> users = DBManager::instance()->SelectUsers().value();
    QVERIFY(users.size() >= 2);
    QCOMPARE(users.at(0).account, sub);
    QVERIFY(!users.at(0).rememberPassword);
    QVERIFY(users.at(0).password.isEmpty());
    QCOMPARE(users.at(1).account, main);
    QVERIFY(users.at(1).rememberPassword);
    QCOMPARE(users.at(1).password, password);
    QCOMPARE(DBManager::instance()->account(), sub);
}

void TestAccountManager::transportFailure()
{
    orvsrv::FaultRule broken;
    broken.pathPattern = QStringLiteral("login-client");
    broken.failNextN = 1;
    broken.htmlPage = true;
    broken.httpStatus = 502;
    env_.server().AddFault(broken);
    AccountManager manager;
    bool ok = true;
    const QString text = LoginAndWait(manager, QString::fromLatin1(orvsrv::kDemoMainEmail),
                                      QString::fromLatin1(orvsrv::kDemoPassword), false, &ok);
    QVERIFY(!ok);
    QVERIFY(!text.isEmpty());
    QVERIFY(!manager.loggingIn());
    // A failed login may be followed by a new one.
    QVERIFY(LoginAndWait(manager, QString::fromLatin1(orvsrv::kDemoMainEmail),
                         QString::fromLatin1(orvsrv::kDemoPassword), false, &ok)
                .isNull());
    QVERIFY(ok);
}

QTEST_GUILESS_MAIN(TestAccountManager)
#include "tst_accountmanager.moc"
