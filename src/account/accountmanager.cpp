#include "account/accountmanager.h"

#include "storage/dbmanager.h"
#include "upload/sdkmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaEnum>
#include <QStringList>
#include <QtConcurrent>

AccountManager* AccountManager::current_ = nullptr;

AccountManager::AccountManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<ApiCollection::RequestError>("ApiCollection::RequestError");
    connect(&watcher_, &QFutureWatcher<ApiCollection::Result<QByteArray>>::finished, this,
            &AccountManager::OnLoginFinished);
    current_ = this;
}

AccountManager::~AccountManager()
{
    if (current_ == this)
        current_ = nullptr;
    // The workers hold their own state, but their requests should not outlive us.
    if (attempt_)
        attempt_->abort = true;
    watcher_.disconnect(this);
    watcher_.waitForFinished();
    for (QFuture<ApiCollection::Result<QByteArray>>& f : pending_)
        f.waitForFinished();
}

AccountManager* AccountManager::Current()
{
    return current_;
}

void AccountManager::Login(const QString& account, const QString& password, bool remember)
{
    if (loggingIn_)
        return;
    qDebug().noquote() << "Login:" << account << QString(password.size(), QLatin1Char('*')) << remember;

    account_ = account;
    password_ = password;
    remember_ = remember;
    loggingIn_ = true;

    // Forget abandoned attempts that have finished meanwhile.
    for (int i = pending_.size() - 1; i >= 0; --i)
        if (pending_.at(i).isFinished())
            pending_.removeAt(i);
    if (attempt_ && watcher_.isRunning())
        pending_.append(watcher_.future());

    auto attempt = std::make_shared<Attempt>();
    attempt->uuid = QUuid::createUuid();
    attempt->account = account;
    attempt->password = password;
    attempt_ = attempt;
    watcher_.setFuture(QtConcurrent::run([attempt]() {
        return ApiCollection::LoginClientRequest(attempt->uuid, attempt->account, attempt->password,
                                                 &attempt->abort);
    }));
}

void AccountManager::LoginCancel()
{
    qDebug() << "AccountManager::LoginCancel";
    if (!loggingIn_)
        return;
    loggingIn_ = false;
    if (attempt_)
        attempt_->abort = true;
}

bool AccountManager::HasPermission(PermissionFlags permission) const
{
    return (info_.permissions & permission) == permission;
}

void AccountManager::OnLoginFinished()
{
    if (!loggingIn_ || !attempt_)
        return;
    const std::shared_ptr<Attempt> attempt = attempt_;
    Finish(*attempt, watcher_.result());
    loggingIn_ = false;
}

void AccountManager::Finish(const Attempt& attempt, const ApiCollection::Result<QByteArray>& answer)
{
    using namespace ApiCollection;
    if (!answer) {
        const QString text = RequestErrorToString(answer.code());
        qWarning().noquote() << RequestErrorName(answer.code()) << text << answer.message();
        emit SignalLoginFailed(text);
        return;
    }

    const Result<LoginResult> result = ParseLoginClientResponse(answer.value());
    if (!result) {
        const Failure& failure = result.error();
        QString text = ErrorMessage(failure);
        if (failure.code == ApiReturnFailed && failure.envelope.errorCode != ACCOUNT_LOCKED) {
            if (failure.remainLoginChange == 0)
                text += tr(", ") + ErrorCodeToString(ACCOUNT_LOCKED);
            else if (failure.remainLoginChange > 0 && failure.remainLoginChange < 5)
                text += tr(", %1 attempts remaining").arg(failure.remainLoginChange);
            // -1: the server sent no count, so there is nothing to tell.
        }
        qWarning().noquote() << RequestErrorName(failure.code) << text;
        emit SignalLoginFailed(text);
        return;
    }
    FinishSuccess(attempt, result.value());
}

void AccountManager::FinishSuccess(const Attempt& attempt, const ApiCollection::LoginResult& r)
{
    AccountInfo info;
    info.account = attempt.account;
    info.userId = r.userId;
    info.appId = r.appId;
    info.appSecret = r.appSecret;
    info.expired = r.expired;
    info.leftDay = r.leftDay;
    info.expirationTime = r.expirationTime;
    info.space = r.space;
    info.remainBytes = r.remainBytes;
    info.packageType = r.packageType;
    info.cateId = r.cateId;
    info.isSubAccount = r.childAccountType != ApiCollection::None;
    if (info.isSubAccount)
        info.childUserName = r.childUserName;

    const std::pair<bool, Permission> switches[] = {
        {r.videoUpload, VideoUpload},
        {r.transferlistUpload, TransferListUpload},
        {r.transferlistComplete, TransferListComplete},
        {r.cataAdd, CateAdd},
        {r.cataMove, CateMove},
        {r.cataRename, CateRename},
        {r.cataSearch, CateSearch},
        {r.cataRefresh, CateRefresh},
        {r.videoAllSearch, VideoAllSearch},
        {r.videoCurrentcataSearch, VideoCurrentCateSearch},
        {r.videoUpdateCata, VideoUpdateCate},
        {r.videoDelete, VideoDelete},
        {r.operaManage, OperaManage},
        {r.operaCopycode, OperaCopyCode},
    };
    for (const auto& s : switches)
        info.permissions.setFlag(s.second, s.first);
    qDebug() << "user permission:" << info.permissions;

    const QMetaEnum meta = QMetaEnum::fromType<Permission>();
    QStringList missing;
    for (int i = 0; i < meta.keyCount(); ++i) {
        const PermissionFlags flag(static_cast<Permission>(meta.value(i)));
        if ((info.permissions & flag) != flag || (meta.value(i) == 0 && info.permissions != 0))
            missing << QString::fromLatin1(meta.key(i));
    }
    if (!missing.isEmpty())
        qInfo().noquote() << "User do not have the permission:" << missing.join(QLatin1Char(','));

    // Before the library touches the shared resume state.
    QString holder;
    if (exclusive_ && !lock_.TryLock(attempt.account, &holder)) {
        emit SignalLoginFailed(tr("The account is in use by another program: %1").arg(holder));
        return;
    }

    if (!SDKManager::instance()->InitSdk(info.userId, info.appId, info.appSecret)) {
        emit SignalLoginFailed(tr("Init SDK Error"));
        return;
    }

    info_ = info;
    ApiCollection::SetAccountCredentials(info_.appId, info_.appSecret);

    DBManager::User user;
    user.account = attempt.account;
    user.password = remember_ ? attempt.password : QString();
    user.rememberPassword = remember_;
    user.updateTS = QDateTime::currentSecsSinceEpoch();
    DBManager* db = DBManager::instance();
    db->InsertUser(user);
    db->setAccount(attempt.account);
    emit SignalLoginSucceed();
}
