// The task manager with real pool threads: scheduling rules, cancel, abort,
// the slow-task report and the shutdown wait.

#include "task/taskmanager.h"

#include <QtTest> // with QtCore: threads, pool, semaphore, timer

#include <atomic>
#include <memory>

namespace {

constexpr int TypeA = 0, TypeB = 1, TypeX = 2;

class TestManager : public TaskManager
{
    Q_OBJECT
public:
    using TaskManager::SetMaxRunning;
    ~TestManager() override { StopAndJoin(); }

signals:
    void SignalTaskRunningSlowly(int type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskEndStatus status);

protected:
    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override
    {
        TaskManager::TaskRunningSlowly(task, isFinish);
        emit SignalTaskRunningSlowly(task->type(), isFinish);
    }
    void TaskEnd(TaskInfo* task) override
    {
        emit SignalTaskEndStatus(task->uuid(), TaskInfo::EndStatusOf(task->status()));
    }
    QString TaskTypeName(int type) const override { return QStringLiteral("Type%1").arg(type); }
};

// A job that runs until the test releases it, counting what happened to it.
struct Gate
{
    QSemaphore release;
    std::atomic<int> started{0};
    std::atomic<int> returned{0};
    std::atomic<int> startCallbacks{0};
    std::atomic<int> finishedCallbacks{0};
    std::atomic<int> abortCallbacks{0};
};

// Adds a job of `type` to `manager` that runs until the test releases `gate`.
TaskInfo* AddGated(TaskManager& manager, int type, Gate& gate)
{
    auto* task = new TaskInfo(type);
    task->startCallback = [&gate](TaskInfo*) { ++gate.startCallbacks; };
    task->work = [&gate](TaskInfo*) {
        ++gate.started;
        gate.release.acquire();
        ++gate.returned;
    };
    task->finishedCallback = [&gate](TaskInfo*) { ++gate.finishedCallbacks; };
    task->abortCallback = [&gate](TaskInfo*) {
        ++gate.abortCallbacks;
        gate.release.release();
    };
    manager.AddTask(task);
    return task;
}

TaskEndStatus EndOf(const QSignalSpy& spy, const QUuid& uuid)
{
    for (const auto& args : spy)
        if (args.at(0).toUuid() == uuid)
            return args.at(1).value<TaskEndStatus>();
    return static_cast<TaskEndStatus>(-1);
}

} // namespace

class TaskManagerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Tests block pool threads on purpose; the default pool of a small
        // machine would serialise them.
        QThreadPool::globalInstance()->setMaxThreadCount(qMax(8, QThread::idealThreadCount()));
    }

    void startRules_data()
    {
        QTest::addColumn<int>("maxRunning"); // 0: the default of one
        QTest::addColumn<bool>("onePerTypeA");
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<bool>>("runAtOnce");
        QTest::newRow("default limit of one")
            << 0 << false << QList<int>{TypeA, TypeA} << QList<bool>{true, false};
        QTest::newRow("one per type beside unrestricted")
            << 5 << true << QList<int>{TypeA, TypeA, TypeB} << QList<bool>{true, false, true};
    }

    // The second task of type A waits for the first, whatever else runs.
    void startRules()
    {
        QFETCH(int, maxRunning);
        QFETCH(bool, onePerTypeA);
        QFETCH(QList<int>, types);
        QFETCH(QList<bool>, runAtOnce);
        TestManager manager;
        if (maxRunning > 0)
            manager.SetMaxRunning(maxRunning);
        if (onePerTypeA)
            manager.SetTaskPolicy(TypeA, OnePerType);
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);
        std::vector<Gate> gates(types.size());
        QUuid firstId;
        for (int i = 0; i < types.size(); ++i) {
            TaskInfo* task = AddGated(manager, types.at(i), gates[i]);
            firstId = i == 0 ? task->uuid() : firstId;
            QCOMPARE(task->status(), runAtOnce.at(i) ? TaskInfo::Running : TaskInfo::Ready);
            QCOMPARE(gates[i].startCallbacks.load(), runAtOnce.at(i) ? 1 : 0);
        }
        for (int i = 0; i < types.size(); ++i)
            QTRY_COMPARE(gates[i].started.load(), runAtOnce.at(i) ? 1 : 0);
        QTest::qWait(50);
        QCOMPARE(gates[1].started.load(), 0);

        gates[0].release.release();
        QTRY_COMPARE(gates[1].started.load(), 1);
        QCOMPARE(EndOf(ends, firstId), EndFinished);
        QCOMPARE(gates[0].finishedCallbacks.load(), 1);
        QCOMPARE(manager.TasksOfType(TypeA).size(), 1);
        QCOMPARE(manager.TasksOfType(TypeA).first()->status(), TaskInfo::Running);
        for (size_t i = 2; i < gates.size(); ++i)
            QCOMPARE(gates[i].returned.load(), 0);
        for (Gate& gate : gates)
            gate.release.release();
        QTRY_COMPARE(ends.count(), types.size());
        for (const auto& args : ends)
            QCOMPARE(args.at(1).value<TaskEndStatus>(), EndFinished);
        QVERIFY(!manager.HasTask());
    }

    void exclusiveRules()
    {
        TestManager manager;
        manager.SetMaxRunning(5);
        manager.SetTaskPolicy(TypeX, Exclusive);
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);

        // An Exclusive task behind a running one waits for it.
        Gate r1, x1;
        AddGated(manager, TypeA, r1);
        QCOMPARE(AddGated(manager, TypeX, x1)->status(), TaskInfo::Ready);
        QTRY_COMPARE(r1.started.load(), 1);
        QTest::qWait(50);
        QCOMPARE(x1.started.load(), 0);

        // Once it runs, a Ready task behind it waits too.
        r1.release.release();
        QTRY_COMPARE(x1.started.load(), 1);
        Gate r2;
        QCOMPARE(AddGated(manager, TypeB, r2)->status(), TaskInfo::Ready);
        QTest::qWait(50);
        QCOMPARE(r2.started.load(), 0);
        x1.release.release();
        QTRY_COMPARE(r2.started.load(), 1);
        r2.release.release();
        QTRY_COMPARE(ends.count(), 3);

        // At the head of an idle manager it starts at once.
        Gate x2;
        QCOMPARE(AddGated(manager, TypeX, x2)->status(), TaskInfo::Running);
        x2.release.release();
        QTRY_COMPARE(ends.count(), 4);
        for (const auto& args : ends)
            QCOMPARE(args.at(1).value<TaskEndStatus>(), EndFinished);
    }

    void cancelRetiresOnlyWhenSchedulingRuns()
    {
        TestManager manager;
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);
        Gate a, b;
        AddGated(manager, TypeA, a);
        TaskInfo* second = AddGated(manager, TypeB, b);
        const QUuid secondId = second->uuid();

        QVERIFY(!manager.AbortTask(second)); // Ready, not Running
        QVERIFY(manager.CancelTask(second));
        QCOMPARE(second->status(), TaskInfo::Cancel);
        QVERIFY(!manager.CancelTask(second));
        QVERIFY(!manager.StopTask(second));
        QTest::qWait(100);
        QCOMPARE(ends.count(), 0);
        QCOMPARE(manager.TasksOfType(TypeB).size(), 1);

        a.release.release();
        QTRY_COMPARE(ends.count(), 2);
        QCOMPARE(EndOf(ends, secondId), EndCanceled);
        // Neither its work nor any of its callbacks ran.
        QCOMPARE(b.started + b.startCallbacks + b.finishedCallbacks + b.abortCallbacks, 0);
        QVERIFY(!manager.HasTask());
    }

    void slowTaskReportsStartAndEnd()
    {
        TestManager manager;
        manager.SetMaxRunning(2);
        QSignalSpy slow(&manager, &TestManager::SignalTaskRunningSlowly);
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);

        auto* slowTask = new TaskInfo(TypeA);
        slowTask->work = [](TaskInfo*) { QThread::msleep(TaskManager::kSlowTaskMs + 400); };
        auto* quickTask = new TaskInfo(TypeB);
        quickTask->work = [](TaskInfo*) { QThread::msleep(100); };
        manager.AddTask(slowTask);
        manager.AddTask(quickTask);

        QTRY_COMPARE_WITH_TIMEOUT(slow.count(), 1, 5000);
        QCOMPARE(slow.at(0), (QVariantList{TypeA, false}));
        QTRY_COMPARE_WITH_TIMEOUT(ends.count(), 2, 5000);
        QCOMPARE(slow.count(), 2);
        QCOMPARE(slow.at(1), (QVariantList{TypeA, true}));
    }

    void abortCallsAbortCallbackOnly()
    {
        TestManager manager;
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);
        QSignalSpy slow(&manager, &TestManager::SignalTaskRunningSlowly);
        Gate gate;
        std::atomic<bool> throwResult{true};
        auto* task = new TaskInfo(TypeA);
        const QUuid id = task->uuid();
        task->abortCallback = [&gate](TaskInfo*) { ++gate.abortCallbacks; };
        task->finishedCallback = [&gate](TaskInfo*) { ++gate.finishedCallbacks; };
        // The work's request fails once it was aborted, and it reports the
        // failure regardless.
        task->work = [&](TaskInfo* t) {
            while (gate.abortCallbacks.load() == 0)
                QThread::msleep(5);
            throwResult = manager.ThrowExceptionTask(t);
        };
        manager.AddTask(task);
        QVERIFY(manager.AbortTask(task));
        QVERIFY(!manager.AbortTask(task));
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(EndOf(ends, id), EndAborted);
        QCOMPARE(gate.abortCallbacks.load(), 1);
        QCOMPARE(gate.finishedCallbacks.load(), 0);
        QCOMPARE(throwResult.load(), false);
        QCOMPARE(slow.count(), 0);

        // Without an abort a failed work ends as an exception.
        auto* failing = new TaskInfo(TypeB);
        const QUuid failingId = failing->uuid();
        failing->finishedCallback = [&gate](TaskInfo*) { ++gate.finishedCallbacks; };
        failing->work = [&](TaskInfo* t) { throwResult = manager.ThrowExceptionTask(t); };
        manager.AddTask(failing);
        QTRY_COMPARE(ends.count(), 2);
        QCOMPARE(EndOf(ends, failingId), EndException);
        QCOMPARE(throwResult.load(), true);
        QCOMPARE(gate.finishedCallbacks.load(), 0);
    }

    void waitForTasksAndDestruction()
    {
        auto joined = std::make_shared<std::atomic<int>>(0);
        {
            TestManager manager;
            QElapsedTimer timer;
            timer.start();
            manager.WaitForTasks();
            QVERIFY(timer.elapsed() < 1000);
            // The destruction joins a running job.
            auto* task = new TaskInfo(TypeA);
            task->work = [joined](TaskInfo*) {
                QThread::msleep(200);
                ++*joined;
            };
            manager.AddTask(task);
        }
        QCOMPARE(joined->load(), 1);

        TestManager manager;
        manager.SetMaxRunning(2);
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);
        std::atomic<int> returned{0};
        std::atomic<int> aborted{0};
        std::atomic<int> queuedRan{0};
        for (int i = 0; i < 2; ++i) {
            auto* task = new TaskInfo(TypeA);
            // Ignores its abort flag on purpose: the wait must still cover it.
            task->work = [&returned](TaskInfo*) {
                QThread::msleep(300);
                ++returned;
            };
            task->abortCallback = [&aborted](TaskInfo*) { ++aborted; };
            manager.AddTask(task);
        }
        auto* queued = new TaskInfo(TypeB);
        queued->work = [&queuedRan](TaskInfo*) { ++queuedRan; };
        manager.AddTask(queued);
        QCOMPARE(queued->status(), TaskInfo::Ready);

        manager.WaitForTasks();
        QCOMPARE(returned.load(), 2);
        QCOMPARE(aborted.load(), 2);
        QCOMPARE(queuedRan.load(), 0);
        QTRY_COMPARE(ends.count(), 3);
        for (const auto& args : ends) {
            const auto status = args.at(1).value<TaskEndStatus>();
            QVERIFY(status == EndAborted || status == EndCanceled);
        }
        QVERIFY(!manager.HasTask());
    }

    void paramsSharedWithWork()
    {
        TestManager manager;
        QSignalSpy ends(&manager, &TestManager::SignalTaskEndStatus);
        auto* task = new TaskInfo(TypeA);
        task->setParam(QStringLiteral("input"), 20);
        std::atomic<bool> flag{false};
        task->work = [&flag](TaskInfo* t) {
            // Publishes its abort flag while it runs, as the video work does.
            t->setParam(QStringLiteral("isAbort"), QVariant::fromValue<void*>(&flag));
            for (int i = 0; i < 200 && !flag.load(); ++i)
                QThread::msleep(5);
            t->withParams([](QVariantMap& p) { p.remove(QStringLiteral("isAbort")); });
            t->setParam(QStringLiteral("result"), t->param(QStringLiteral("input")).toInt() + 1);
        };
        int result = 0;
        task->finishedCallback = [&result](TaskInfo* t) {
            result = t->param(QStringLiteral("result")).toInt();
        };
        manager.AddTask(task);
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(result, 21);
    }
};

QTEST_GUILESS_MAIN(TaskManagerTest)
#include "tst_taskmanager.moc"
