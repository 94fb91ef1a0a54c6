#pragma once
// Runs network operations off the interface thread: queues TaskInfo records,
// starts them on the process-wide thread pool under per-type concurrency
// rules, reports slow runs and how each task ended, and waits for running
// jobs at shutdown. Every operation except ThrowExceptionTask is called on
// the manager's own thread.

#include "task/taskinfo.h"

#include <QList>
#include <QLoggingCategory>
#include <QMap>
#include <QObject>

Q_DECLARE_LOGGING_CATEGORY(lcWorker)

enum TaskPolicy
{
    Unrestricted = 0, // limited only by maxRunning
    OnePerType = 1,   // at most one running task of this type
    Exclusive = 2,    // runs alone, and nothing starts while it runs
};

class TaskManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSlowTaskMs = 2000;

    explicit TaskManager(QObject* parent = nullptr);
    ~TaskManager() override;

    // Takes ownership and starts the task if the rules allow.
    void AddTask(TaskInfo* task);
    bool AbortTask(TaskInfo* task);
    bool CancelTask(TaskInfo* task);
    // Cancels a Ready task or aborts a Running one; quiet otherwise.
    bool StopTask(TaskInfo* task);
    // Called by a failed work function on its pool thread.
    bool ThrowExceptionTask(TaskInfo* task);
    QList<TaskInfo*> TasksOfType(int type) const;
    void SetTaskPolicy(int type, TaskPolicy policy);
    bool HasTask() const { return !tasks_.isEmpty(); }
    int MaxRunning() const { return maxRunning_; }

    // Stops every task and returns once each pool job has returned; the
    // ending tasks are retired meanwhile by a local event loop.
    void WaitForTasks();

protected:
    virtual void TaskRunningSlowly(TaskInfo* task, bool isFinish);
    virtual void TaskEnd(TaskInfo* task) = 0;
    virtual QString TaskTypeName(int type) const = 0;

    void SetMaxRunning(int maxRunning) { maxRunning_ = qMax(1, maxRunning); }
    // For subclass destructors: stops everything and blocks until no pool job
    // of this manager runs, so that the jobs never see a half-destroyed worker.
    // Emits nothing.
    void StopAndJoin();

private:
    TaskInfo* NextTaskToRun() const;
    void RunTask(TaskInfo* task);
    void CompleteTask(TaskInfo* task);
    void EndTask(TaskInfo* task);
    void ScheduleNext();
    QString Describe(const TaskInfo* task) const;

    QList<TaskInfo*> tasks_;
    int maxRunning_ = 1;
    QMap<int, TaskPolicy> policies_;
    bool joined_ = false;
};
