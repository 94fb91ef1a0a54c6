#include "account/accountlock.h"

#include "base/paths.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QLockFile>

AccountLock::AccountLock() = default;

AccountLock::~AccountLock()
{
    Unlock();
}

QString AccountLock::LockPath(const QString& account)
{
    const QByteArray digest =
        QCryptographicHash::hash(account.trimmed().toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return WorkDir(QStringLiteral("lock")) + QLatin1Char('/') + QString::fromLatin1(digest) +
           QStringLiteral(".lock");
}

bool AccountLock::TryLock(const QString& account, QString* holder)
{
    if (file_ && account_.compare(account.trimmed(), Qt::CaseInsensitive) == 0)
        return true;
    Unlock();
    auto file = std::make_unique<QLockFile>(LockPath(account));
    // Never stale by age: a long upload run holds it for hours.
    file->setStaleLockTime(0);
    if (!file->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString app;
        file->getLockInfo(&pid, &host, &app);
        qWarning().noquote() << "Account lock held:" << app << pid << host << "error" << file->error();
        if (holder)
            *holder = QStringLiteral("%1 (%2)").arg(app.isEmpty() ? QStringLiteral("?") : app).arg(pid);
        return false;
    }
    file_ = std::move(file);
    account_ = account.trimmed();
    return true;
}

void AccountLock::Unlock()
{
    if (file_)
        file_->unlock();
    file_.reset();
    account_.clear();
}
