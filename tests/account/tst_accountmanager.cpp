// Logging in against the platform server running in-process.

#include "testenv.h"

#include <QtTest>

using orvtest::LoginAndWait;

namespace {
const QString kMain = QString::fromLatin1(orvsrv::kDemoMainEmail);
const QString kSub = QString::fromLatin1(orvsrv::kDemoSubEmail);
const QString kPassword = QString::fromLatin1(orvsrv::kDemoPassword);
} // namespace

class TestAccountManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
    }

    void init() { env_.server().ClearFaults(); }

    void mainAccountSucceeds()
    {
        AccountManager manager;
        QCOMPARE(AccountManager::Current(), &manager);
        bool ok = false;
        const QString error = LoginAndWait(manager, kMain, kPassword, true, &ok);
        QVERIFY2(ok, qPrintable(error));
        QVERIFY(!manager.loggingIn());
        QCOMPARE(manager.account(), kMain);
        QVERIFY(!manager.userId().isEmpty());
        QVERIFY(!manager.appId().isEmpty());
        QVERIFY(!manager.appSecret().isEmpty());
        QVERIFY(manager.space() > 0);
        QVERIFY(!manager.isSubAccount());
        QVERIFY(manager.childUserName().isEmpty());
        // A main account holds every switch.
        QCOMPARE(int(manager.permissions()), 0x3f1f7);
        QVERIFY(manager.HasPermission(AccountManager::CateMove | AccountManager::VideoDelete));

        // The upload library is ready and the database works for this account now.
        QVERIFY(SDKManager::instance()->initialized());
        QCOMPARE(DBManager::instance()->account(), kMain);
        QCOMPARE(ApiCollection::AccountAppId(), manager.appId());
    }

    void wrongPasswordTexts()
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

    void overlappingLogins()
    {
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("login-client");
        slow.latencyMs = 600;
        env_.server().AddFault(slow);
        AccountManager manager;
        QSignalSpy ok(&manager, &AccountManager::SignalLoginSucceed);
        QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
        // A second login while one runs is ignored.
        manager.Login(kMain, kPassword, false);
        QVERIFY(manager.loggingIn());
        manager.Login(QStringLiteral("nobody@orvane.test"), QStringLiteral("x"), false);
        QVERIFY(QTest::qWaitFor([&] { return ok.count() + failed.count() > 0; }, 20000));
        QTest::qWait(800); // a second request, had it been sent, would end by now
        QCOMPARE(ok.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(manager.account(), kMain);

        // A cancelled login ends silently.
        manager.Login(kSub, QStringLiteral("wrong"), false);
        manager.LoginCancel();
        QVERIFY(!manager.loggingIn());
        QTest::qWait(900);
        QCOMPARE(ok.count() + failed.count(), 1);

        // Cancel a wrong password and log in again at once: only the new attempt counts.
        manager.Login(kSub, QStringLiteral("wrong"), false);
        manager.LoginCancel();
        manager.Login(kMain, kPassword, false);
        QVERIFY(manager.loggingIn());
        QVERIFY(QTest::qWaitFor([&] { return ok.count() > 1; }, 20000));
        QTest::qWait(300);
        QCOMPARE(ok.count(), 2);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(manager.account(), kMain);
    }

    void subAccountPermissions()
    {
        AccountManager manager;
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression(QStringLiteral("^User do not have the permission: \\S+")));
        bool ok = false;
        const QString error = LoginAndWait(manager, kSub, kPassword, false, &ok);
        QVERIFY2(ok, qPrintable(error));
        QVERIFY(manager.isSubAccount());
        QVERIFY(!manager.childUserName().isEmpty());
        QVERIFY(manager.permissions() != AccountManager::PermissionFlags(0x3f1f7));
        // Every flag the manager reports is one of the fixed values.
        QCOMPARE(int(manager.permissions()) & ~0x3f1f7, 0);
    }

    void rememberOnAndOff()
    {
        for (const bool remember : {true, false}) {
            if (!remember)
                QTest::qWait(1100); // the newer login gets a later second
            AccountManager manager;
            bool ok = false;
            QVERIFY(LoginAndWait(manager, remember ? kMain : kSub, kPassword, remember, &ok).isNull());
            QVERIFY(ok);
        }
        const QList<DBManager::User> users = DBManager::instance()->SelectUsers().value();
        QVERIFY(users.size() >= 2);
        QCOMPARE(users.at(0).account, kSub);
        QVERIFY(!users.at(0).rememberPassword);
        QVERIFY(users.at(0).password.isEmpty());
        QCOMPARE(users.at(1).account, kMain);
        QVERIFY(users.at(1).rememberPassword);
        QCOMPARE(users.at(1).password, kPassword);
        QCOMPARE(DBManager::instance()->account(), kSub);
    }

    void transportFailure()
    {
        orvsrv::FaultRule broken;
        broken.pathPattern = QStringLiteral("login-client");
        broken.failNextN = 1;
        broken.htmlPage = true;
        broken.httpStatus = 502;
        env_.server().AddFault(broken);
        AccountManager manager;
        bool ok = true;
        QVERIFY(!LoginAndWait(manager, kMain, kPassword, false, &ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(!manager.loggingIn());
        // A failed login may be followed by a new one.
        QVERIFY(LoginAndWait(manager, kMain, kPassword, false, &ok).isNull());
        QVERIFY(ok);
    }

private:
    orvtest::ClientEnv env_;
};

QTEST_GUILESS_MAIN(TestAccountManager)
#include "tst_accountmanager.moc"
