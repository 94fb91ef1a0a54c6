#pragma once
// One background operation: its work runs on a pool thread, everything else
// (callbacks, bookkeeping) on the thread of the TaskManager that owns it.

#include <QMetaType>
#include <QObject>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <functional>
#include <mutex>

template <typename T> class QFutureWatcher;

// How a task ended, as reported by the models' SignalTaskEndStatus.
enum TaskEndStatus
{
    EndOther = 0,
    EndFinished = 1,
    EndCanceled = 2,
    EndAborted = 3,
    EndException = 4,
};
Q_DECLARE_METATYPE(TaskEndStatus)

class TaskInfo : public QObject
{
    Q_OBJECT
public:
    enum Status
    {
        Ready = 0,
        Running = 1,
        Finished = 2,
        Cancel = 3,
        Abort = 4,
        Exception = 5,
    };
    Q_ENUM(Status)

    using Callback = std::function<void(TaskInfo*)>;

    explicit TaskInfo(int type);
    ~TaskInfo() override;

    int type() const { return type_; }
    QUuid uuid() const { return uuid_; }

    Status status() const { return static_cast<Status>(status_.load()); }
    void setStatus(Status status) { status_.store(status); }
    // Moves from `expected` to `desired` only if no other thread changed the state meanwhile.
    bool exchangeStatus(Status expected, Status desired);
    static QString StatusName(Status status);
    static TaskEndStatus EndStatusOf(Status status);

    // The parameter map is shared by the pool thread and the owner's thread
    // while the work runs; every access goes through the task's lock.
    QVariant param(const QString& key, const QVariant& fallback = QVariant()) const;
    void setParam(const QString& key, const QVariant& value);
    bool hasParam(const QString& key) const;
    void removeParam(const QString& key);
    QVariantMap params() const;
    // Runs `fn` with the lock held, for read-modify-write sequences.
    void withParams(const std::function<void(QVariantMap&)>& fn);

    Callback startCallback;
    Callback work;
    Callback finishedCallback;
    Callback abortCallback;

    QFutureWatcher<void>* watcher = nullptr;

    // Set by the pool job after the work returned (release), read by the
    // owner's thread before it uses what the work wrote (acquire).
    void markReturned() { returned_.store(true, std::memory_order_release); }
    bool hasReturned() const { return returned_.load(std::memory_order_acquire); }

private:
    const int type_;
    const QUuid uuid_;
    std::atomic<int> status_{Ready};
    std::atomic<bool> returned_{false};
    mutable std::mutex lock_;
    QVariantMap params_;
};
