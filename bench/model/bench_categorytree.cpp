// Category tree loading for an account with 10,000 categories: a full
// refresh from request to the last row appended, the part of it after the
// answer arrived, an unchanged refresh (which must not rebuild), and the
// item building alone. Prints figures; goals: rows built within 300 ms of
// the answer, no rebuild when nothing changed.

#include "modelenv.h"

#include "api/apicollection.h"
#include "model/categorytreemodel.h"
#include "model/categorytreemodelworker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QSignalSpy>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
QElapsedTimer clock_;
std::atomic<qint64> answerAt{-1};
std::atomic<qint64> comparedAt{-1};
std::atomic<qint64> parsedAt{-1};
std::atomic<qint64> builtAt{-1};
// Thread CPU time of the pool thread at the same two marks (the handler runs
// on the thread that logs).
std::atomic<double> answerCpu{0};
std::atomic<double> builtCpu{0};
double ThreadCpuMs();
QtMessageHandler previous = nullptr;

void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The worker's debug line right after the answer arrived marks the time.
    if (message.contains(QLatin1String("get-cate-tree start check json"))) {
        answerAt = clock_.nsecsElapsed();
        answerCpu = ThreadCpuMs();
        return;
    }
    // The steps after it: compared, parsed, items built.
    if (message.contains(QLatin1String("get-cate-tree start parse json"))) {
        comparedAt = clock_.nsecsElapsed();
        return;
    }
    if (message.contains(QLatin1String("get-cate-tree start parse cate tree"))) {
        parsedAt = clock_.nsecsElapsed();
        return;
    }
    if (message.contains(QLatin1String("addChildren end"))) {
        builtAt = clock_.nsecsElapsed();
        builtCpu = ThreadCpuMs();
        return;
    }
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    previous(type, context, message);
}

int CountRows(const QAbstractItemModel& model, const QModelIndex& parent = QModelIndex())
{
    int count = 0;
    for (int row = 0; row < model.rowCount(parent); ++row)
        count += 1 + CountRows(model, model.index(row, 0, parent));
    return count;
}

double Ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// CPU time of the calling thread: unlike wall time it does not grow when
// the machine is busy with other work.
double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int categories = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    previous = qInstallMessageHandler(Handler);
    QLoggingCategory::setFilterRules(QStringLiteral("Worker.debug=true"));
    clock_.start();

    orvtest::ModelEnv env;
    QString error;
    if (!env.Start(&error)) {
        std::fprintf(stderr, "server: %s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer seedTimer;
    seedTimer.start();
    const QString email = env.server().SeedLarge(categories, 0);
    std::printf("seeded %d categories in %.0f ms\n", categories, double(seedTimer.elapsed()));

    error = env.Login(email);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "login: %s\n", qPrintable(error));
        return 1;
    }

    CategoryTreeModel model;
    qint64 appendedAt = -1;
    int removals = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex& parent) {
        if (!parent.isValid())
            appendedAt = clock_.nsecsElapsed();
    });
    QObject::connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, [&] { ++removals; });
    orvtest::QueuedSpy failed(&model, &CategoryTreeModel::SignalRefreshCategoryFailed);
    // One refresh to the end of its task; false when refused, failed or stuck.
    const auto refresh = [&model, &failed] {
        orvtest::QueuedSpy ends(&model, &CategoryTreeModel::SignalTaskEndStatus);
        const QUuid id = model.RefreshCategory();
        if (id.isNull()) {
            std::fprintf(stderr, "refresh refused\n");
            return false;
        }
        const bool ended = QTest::qWaitFor([&] { return !ends.isEmpty(); }, 120000);
        if (!ended || !failed.isEmpty()) {
            std::fprintf(stderr, "refresh %s\n",
                         ended ? qPrintable(failed.first().first().toString()) : "stuck");
            return false;
        }
        return true;
    };

    // Full refresh.
    answerAt = -1;
    const qint64 start = clock_.nsecsElapsed();
    if (!refresh())
        return 1;
    const qint64 finished = clock_.nsecsElapsed();
    const int rows = CountRows(model);
    std::printf("full refresh: %d rows\n", rows);
    std::printf("  request -> last row appended: %.1f ms\n", Ms(appendedAt - start));
    std::printf("  request -> task ended:        %.1f ms\n", Ms(finished - start));
    const double afterAnswer = Ms(appendedAt - answerAt.load());
    std::printf("  answer in -> rows appended:   %.1f ms (goal <= 300 ms, ratio %.2f)\n", afterAnswer,
                afterAnswer / 300.0);
    std::printf("    compare with last answer:   %.1f ms\n", Ms(comparedAt - answerAt));
    std::printf("    parse envelope:             %.1f ms\n", Ms(parsedAt - comparedAt));
    std::printf("    build items (pool thread):  %.1f ms\n", Ms(builtAt - parsedAt));
    std::printf("  pool thread CPU from answer to built items: %.1f ms (goal <= 300 ms, ratio %.2f)\n",
                builtCpu - answerCpu, (builtCpu - answerCpu) / 300.0);

    // Unchanged refresh.
    std::vector<double> unchanged;
    for (int i = 0; i < 3; ++i) {
        removals = 0;
        const qint64 t0 = clock_.nsecsElapsed();
        if (!refresh())
            return 1;
        unchanged.push_back(Ms(clock_.nsecsElapsed() - t0));
        if (removals != 0) {
            std::printf("unchanged refresh REBUILT the tree\n");
            return 1;
        }
    }
    std::printf("unchanged refresh: median %.1f ms, rebuild: no (rows removed: 0)\n", Median(unchanged));

    // Item building alone, from the parsed answer.
    const ApiCollection::Result<QByteArray> answer =
        ApiCollection::GetCateTreeRequest(QUuid::createUuid(), env.account().cateId(), nullptr);
    if (!answer || !ApiCollection::ParseGetCateTreeResponse(answer.value()))
        return 1;
    const QByteArray& response = answer.value();
    std::printf("answer size: %.1f KiB\n", response.size() / 1024.0);
    // Each step of a rebuild once the answer is in, measured alone on this
    // thread: wall time and thread CPU time.
    std::vector<double> compare, parse, build, append, compareCpu, parseCpu, buildCpu, appendCpu;
    const QIcon icon(QStringLiteral(":/image/videoList/icon_folder.svg"));
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        double cpu = ThreadCpuMs();
        const QJsonObject key = CategoryTreeModelWorker::ComparableTree(response);
        compare.push_back(Ms(t.nsecsElapsed()));
        compareCpu.push_back(ThreadCpuMs() - cpu);
        if (key.isEmpty())
            return 1;

        t.restart();
        cpu = ThreadCpuMs();
        const ApiCollection::Result<ApiCollection::CateTreeResult> parsed =
            ApiCollection::ParseGetCateTreeResponse(response);
        if (!parsed)
            return 1;
        parse.push_back(Ms(t.nsecsElapsed()));
        parseCpu.push_back(ThreadCpuMs() - cpu);

        t.restart();
        cpu = ThreadCpuMs();
        const CategoryList list = CategoryTreeModelWorker::ParseTree(parsed->data);
        QStringList names;
        for (const CategoryEntry& e : list)
            names.append(e.name);
        names.removeDuplicates();
        QStandardItem* top = CategoryTreeModel::BuildItems(list, icon);
        build.push_back(Ms(t.nsecsElapsed()));
        buildCpu.push_back(ThreadCpuMs() - cpu);

        QStandardItemModel target;
        t.restart();
        cpu = ThreadCpuMs();
        target.invisibleRootItem()->appendRow(top);
        append.push_back(Ms(t.nsecsElapsed()));
        appendCpu.push_back(ThreadCpuMs() - cpu);
    }
    const double total = Median(compareCpu) + Median(parseCpu) + Median(buildCpu) + Median(appendCpu);
    std::printf("steps after the answer, alone (median wall / thread CPU):\n");
    std::printf("  compare with last answer:   %7.1f / %7.1f ms\n", Median(compare), Median(compareCpu));
    std::printf("  parse envelope:             %7.1f / %7.1f ms\n", Median(parse), Median(parseCpu));
    std::printf("  build items (pool thread):  %7.1f / %7.1f ms\n", Median(build), Median(buildCpu));
    std::printf("  append subtree (interface): %7.1f / %7.1f ms\n", Median(append), Median(appendCpu));
    std::printf("  sum of CPU: %.1f ms (goal <= 300 ms, ratio %.2f)\n", total, total / 300.0);
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().trimmed() : QByteArray("?");
    std::printf("load average at the end: %s\n", load.constData());
    return 0;
}
