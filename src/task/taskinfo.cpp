#include "task/taskinfo.h"

#include "task/taskmanager.h"

#include <QMetaEnum>

TaskInfo::TaskInfo(int type) : type_(type), uuid_(QUuid::createUuid()) {}

TaskInfo::~TaskInfo()
{
    qCDebug(lcWorker).noquote() << "Deleted task:" << uuid_.toString();
}

bool TaskInfo::exchangeStatus(Status expected, Status desired)
{
    int value = expected;
    return status_.compare_exchange_strong(value, desired);
}

QString TaskInfo::StatusName(Status status)
{
    const char* key = QMetaEnum::fromType<Status>().valueToKey(status);
    return key ? QString::fromLatin1(key) : QString::number(status);
}

TaskEndStatus TaskInfo::EndStatusOf(Status status)
{
    switch (status) {
    case Finished:
        return EndFinished;
    case Cancel:
        return EndCanceled;
    case Abort:
        return EndAborted;
    case Exception:
        return EndException;
    default:
        return EndOther;
    }
}

QVariant TaskInfo::param(const QString& key, const QVariant& fallback) const
{
    std::lock_guard<std::mutex> locker(lock_);
    return params_.value(key, fallback);
}

void TaskInfo::setParam(const QString& key, const QVariant& value)
{
    std::lock_guard<std::mutex> locker(lock_);
    params_.insert(key, value);
}

bool TaskInfo::hasParam(const QString& key) const
{
    std::lock_guard<std::mutex> locker(lock_);
    return params_.contains(key);
}

void TaskInfo::removeParam(const QString& key)
{
    std::lock_guard<std::mutex> locker(lock_);
    params_.remove(key);
}

QVariantMap TaskInfo::params() const
{
    std::lock_guard<std::mutex> locker(lock_);
    return params_;
}

void TaskInfo::withParams(const std::function<void(QVariantMap&)>& fn)
{
    std::lock_guard<std::mutex> locker(lock_);
    fn(params_);
}
