#include "task/taskmanager.h"

#include <QEventLoop>
#include <QFutureInterface>
#include <QFutureWatcher>
#include <QPointer>
#include <QRunnable>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <vector>

Q_LOGGING_CATEGORY(lcWorker, "Worker")

namespace {
// One pool job. The hand-over in both directions goes through atomics of
// our own, so the ordering does not rest on the pool's internals alone.
class TaskRunnable : public QRunnable
{
public:
    TaskRunnable(TaskInfo::Callback work, TaskInfo* task) : work_(std::move(work)), task_(task)
    {
        setAutoDelete(true);
        interface_.reportStarted();
    }
    QFuture<void> future() { return interface_.future(); }
    // Called last on the owner's thread before the pool gets the job.
    void publish() { published_.store(true, std::memory_order_release); }

    void run() override
    {
        while (!published_.load(std::memory_order_acquire)) {
        }
        if (work_)
            work_(task_);
        task_->markReturned();
        interface_.reportFinished();
    }

private:
    TaskInfo::Callback work_;
    TaskInfo* task_;
    QFutureInterface<void> interface_;
    std::atomic<bool> published_{false};
};
} // namespace

TaskManager::TaskManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<TaskEndStatus>("TaskEndStatus");
}

TaskManager::~TaskManager()
{
    StopAndJoin();
}

void TaskManager::StopAndJoin()
{
    if (joined_)
        return;
    joined_ = true;
    for (TaskInfo* task : qAsConst(tasks_)) {
        if (task->status() == TaskInfo::Ready)
            task->setStatus(TaskInfo::Cancel);
        else if (task->status() == TaskInfo::Running) {
            task->setStatus(TaskInfo::Abort);
            if (task->abortCallback)
                task->abortCallback(task);
        }
    }
    for (TaskInfo* task : qAsConst(tasks_)) {
        if (task->watcher) {
            // No completion step runs from here on; the watcher must not call back.
            task->watcher->disconnect(this);
            task->watcher->waitForFinished();
            (void)task->hasReturned(); // acquires what the work wrote
        }
    }
    qDeleteAll(tasks_);
    tasks_.clear();
}

QString TaskManager::Describe(const TaskInfo* task) const
{
    return QStringLiteral("%1 (%2 %3)")
        .arg(TaskTypeName(task->type()), TaskInfo::StatusName(task->status()), task->uuid().toString());
}

void TaskManager::AddTask(TaskInfo* task)
{
    if (!task)
        return;
    if (joined_) {
        // The owner is being destroyed; nothing may start any more.
        delete task;
        return;
    }
    tasks_.append(task);
    qCDebug(lcWorker).noquote() << "Add task:" << Describe(task);
    ScheduleNext();
}

bool TaskManager::AbortTask(TaskInfo* task)
{
    if (!task || task->status() != TaskInfo::Running) {
        qCWarning(lcWorker) << "AbortTask: the task is not Running";
        return false;
    }
    qCDebug(lcWorker).noquote() << "Abort task:" << Describe(task);
    // The status goes first: the callback makes the request end early, and
    // the work must then already see Abort rather than report a failure.
    task->setStatus(TaskInfo::Abort);
    if (task->abortCallback)
        task->abortCallback(task);
    return true;
}

bool TaskManager::CancelTask(TaskInfo* task)
{
    if (!task || task->status() != TaskInfo::Ready) {
        qCWarning(lcWorker) << "CancelTask: the task is not Ready";
        return false;
    }
    qCDebug(lcWorker).noquote() << "Cancel task:" << Describe(task);
    task->setStatus(TaskInfo::Cancel);
    return true;
}

bool TaskManager::StopTask(TaskInfo* task)
{
    if (!task)
        return false;
    switch (task->status()) {
    case TaskInfo::Ready:
        qCDebug(lcWorker).noquote() << "Cancel task:" << Describe(task);
        task->setStatus(TaskInfo::Cancel);
        return true;
    case TaskInfo::Running:
        qCDebug(lcWorker).noquote() << "Abort task:" << Describe(task);
        task->setStatus(TaskInfo::Abort);
        if (task->abortCallback)
            task->abortCallback(task);
        return true;
    default:
        return false;
    }
}

bool TaskManager::ThrowExceptionTask(TaskInfo* task)
{
    // Only Running -> Exception; an abort that arrived meanwhile wins.
    if (!task || !task->exchangeStatus(TaskInfo::Running, TaskInfo::Exception)) {
        qCWarning(lcWorker) << "ThrowExceptionTask: the task is not Running";
        return false;
    }
    qCInfo(lcWorker).noquote() << "Throw exception of task:" << TaskTypeName(task->type())
                               << QStringLiteral("(%1 %2)").arg(TaskInfo::StatusName(TaskInfo::Running),
                                                                task->uuid().toString());
    return true;
}

QList<TaskInfo*> TaskManager::TasksOfType(int type) const
{
    QList<TaskInfo*> result;
    for (TaskInfo* task : tasks_)
        if (task->type() == type)
            result.append(task);
    return result;
}

void TaskManager::SetTaskPolicy(int type, TaskPolicy policy)
{
    policies_.insert(type, policy);
}

TaskInfo* TaskManager::NextTaskToRun() const
{
    int running = 0;
    QSet<int> runningTypes;
    for (TaskInfo* task : tasks_) {
        const TaskPolicy policy = policies_.value(task->type(), Unrestricted);
        switch (task->status()) {
        case TaskInfo::Running:
            if (policy == Exclusive)
                return nullptr;
            ++running;
            runningTypes.insert(task->type());
            if (running >= maxRunning_)
                return nullptr;
            break;
        case TaskInfo::Ready:
            if (policy == Exclusive)
                return running == 0 ? task : nullptr;
            if (policy == Unrestricted)
                return task;
            if (!runningTypes.contains(task->type()))
                return task;
            break;
        case TaskInfo::Cancel:
            return task;
        default:
            // Finished, Abort, Exception: waiting for their pool job to end.
            break;
        }
    }
    return nullptr;
}

void TaskManager::ScheduleNext()
{
    // A retired (canceled) task schedules again from EndTask, so one call
    // starts as many tasks as the rules allow.
    if (TaskInfo* next = NextTaskToRun())
        RunTask(next);
}

void TaskManager::RunTask(TaskInfo* task)
{
    qCDebug(lcWorker).noquote() << "Run task:" << Describe(task);
    if (task->status() != TaskInfo::Ready) {
        qCDebug(lcWorker).noquote() << "Run task abnormal:" << Describe(task);
        EndTask(task);
        return;
    }
    task->setStatus(TaskInfo::Running);

    auto* timer = new QTimer(task);
    timer->setSingleShot(true);
    timer->setInterval(kSlowTaskMs);
    connect(timer, &QTimer::timeout, this, [this, task] {
        task->setParam(QStringLiteral("runningSlowly"), true);
        if (task->status() != TaskInfo::Abort)
            TaskRunningSlowly(task, false);
    });
    timer->start();

    if (task->startCallback)
        task->startCallback(task);

    auto* watcher = new QFutureWatcher<void>(this);
    task->watcher = watcher;
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, task] { CompleteTask(task); });
    auto* job = new TaskRunnable(task->work, task);
    watcher->setFuture(job->future());
    job->publish();
    QThreadPool::globalInstance()->start(job);
    // Starting one task may leave room for the next one (maxRunning > 1).
    ScheduleNext();
}

void TaskManager::CompleteTask(TaskInfo* task)
{
    if (!tasks_.contains(task))
        return;
    // Everything the work wrote is visible from here on.
    if (!task->hasReturned())
        qCWarning(lcWorker).noquote() << "Completion before the job returned:" << Describe(task);
    if (task->status() == TaskInfo::Running) {
        if (task->finishedCallback)
            task->finishedCallback(task);
        task->setStatus(TaskInfo::Finished);
    } else {
        qCDebug(lcWorker).noquote() << "Finish task abnormal:" << Describe(task);
    }
    QFutureWatcher<void>* watcher = task->watcher;
    task->watcher = nullptr;
    EndTask(task);
    if (watcher)
        watcher->deleteLater();
}

void TaskManager::EndTask(TaskInfo* task)
{
    qCDebug(lcWorker).noquote() << "End task:" << Describe(task);
    if (task->hasParam(QStringLiteral("runningSlowly")))
        TaskRunningSlowly(task, true);
    TaskEnd(task);
    tasks_.removeOne(task);
    delete task;
    ScheduleNext();
}

void TaskManager::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    qCInfo(lcWorker).noquote() << "Task running slowly:" << Describe(task) << "isFinish:" << isFinish;
}

void TaskManager::WaitForTasks()
{
    if (tasks_.isEmpty())
        return;
    auto pending = std::make_shared<QSet<QFutureWatcher<void>*>>();
    QList<QPair<QFutureWatcher<void>*, QFuture<void>>> jobs;
    for (TaskInfo* task : qAsConst(tasks_)) {
        if (task->watcher && !task->watcher->isFinished()) {
            pending->insert(task->watcher);
            jobs.append({task->watcher, task->watcher->future()});
        }
    }
    // Callbacks run inside StopTask, so walk a copy.
    const QList<TaskInfo*> all = tasks_;
    for (TaskInfo* task : all)
        StopTask(task);
    if (pending->isEmpty())
        return;

    QEventLoop loop;
    std::vector<std::unique_ptr<QFutureWatcher<void>>> waiters;
    for (const auto& job : qAsConst(jobs)) {
        QFutureWatcher<void>* original = job.first;
        auto waiter = std::make_unique<QFutureWatcher<void>>();
        connect(waiter.get(), &QFutureWatcher<void>::finished, &loop, [pending, original, &loop] {
            pending->remove(original);
            if (pending->isEmpty())
                loop.quit();
        });
        waiter->setFuture(job.second);
        waiters.push_back(std::move(waiter));
    }
    qCInfo(lcWorker).noquote() << "Wait for" << pending->size() << "tasks.";
    if (!pending->isEmpty())
        loop.exec();
}
