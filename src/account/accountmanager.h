#pragma once
// The login and, after it, everything the client knows about the logged-in
// account. One instance, owned by the application, on the interface thread.

#include <QFlags>
#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

#include "account/accountlock.h"
#include "api/apicollection.h"

class AccountManager : public QObject
{
    Q_OBJECT
public:
    enum Permission
    {
        VideoUpload = 0x1,
        TransferListUpload = 0x2,
        TransferListComplete = 0x4,
        CateAdd = 0x10,
        CateMove = 0x20,
        CateRename = 0x40,
        CateSearch = 0x80,
        CateRefresh = 0x100,
        VideoAllSearch = 0x1000,
        VideoCurrentCateSearch = 0x2000,
        VideoUpdateCate = 0x4000,
        VideoDelete = 0x8000,
        OperaManage = 0x10000,
        OperaCopyCode = 0x20000,
    };
    Q_ENUM(Permission)
    Q_DECLARE_FLAGS(PermissionFlags, Permission)
    Q_FLAG(PermissionFlags)

    struct AccountInfo
    {
        QString account;
        QString userId;
        QString appId;
        QString appSecret;
        bool expired = false;
        qint64 leftDay = 0;
        quint64 expirationTime = 0;
        quint64 space = 0;
        qint64 remainBytes = 0;
        QString packageType;
        quint64 cateId = 0;
        bool isSubAccount = false;
        QString childUserName;
        PermissionFlags permissions;
    };

    explicit AccountManager(QObject* parent = nullptr);
    ~AccountManager() override;

    // The live instance (null before it is made and after it is gone), for
    // code that has no access to the application object.
    static AccountManager* Current();

    void Login(const QString& account, const QString& password, bool remember);
    void LoginCancel();
    bool loggingIn() const { return loggingIn_; }

    // With exclusive set, a login also takes the account's lock (AccountLock)
    // and fails while another program holds it. The desktop client and the
    // command-line uploader set it; the lock is kept until destruction.
    void setExclusive(bool exclusive) { exclusive_ = exclusive; }

    const AccountInfo& info() const { return info_; }
    QString account() const { return info_.account; }
    QString userId() const { return info_.userId; }
    QString appId() const { return info_.appId; }
    QString appSecret() const { return info_.appSecret; }
    bool expired() const { return info_.expired; }
    qint64 leftDay() const { return info_.leftDay; }
    quint64 expirationTime() const { return info_.expirationTime; }
    quint64 space() const { return info_.space; }
    qint64 remainBytes() const { return info_.remainBytes; }
    QString packageType() const { return info_.packageType; }
    quint64 cateId() const { return info_.cateId; }
    bool isSubAccount() const { return info_.isSubAccount; }
    QString childUserName() const { return info_.childUserName; }
    PermissionFlags permissions() const { return info_.permissions; }
    // Whether every bit of `permission` is granted.
    bool HasPermission(PermissionFlags permission) const;

signals:
    void SignalLoginSucceed();
    void SignalLoginFailed(const QString& error);

private slots:
    void OnLoginFinished();

private:
    // One login attempt's state. The worker keeps it alive, so an abandoned
    // attempt can finish in the background without touching the next one.
    struct Attempt
    {
        QUuid uuid;
        QString account;
        QString password;
        ApiCollection::AbortFlag abort{false};
    };

    void Finish(const Attempt& attempt, const ApiCollection::Result<QByteArray>& answer);
    void FinishSuccess(const Attempt& attempt, const ApiCollection::LoginResult& result);

    static AccountManager* current_;

    QString account_;
    QString password_;
    bool remember_ = false;
    bool loggingIn_ = false;
    std::shared_ptr<Attempt> attempt_;
    QFutureWatcher<ApiCollection::Result<QByteArray>> watcher_;
    QList<QFuture<ApiCollection::Result<QByteArray>>> pending_; // abandoned attempts still running
    AccountInfo info_;
    bool exclusive_ = false;
    AccountLock lock_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AccountManager::PermissionFlags)
