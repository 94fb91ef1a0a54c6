#include "model/categorytreemodelworker.h"

#include "account/accountmanager.h"
#include "model/taskfailure.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaEnum>

#include <utility>
#include <vector>

using namespace ApiCollection;

namespace {
const QString kParentCateId = QStringLiteral("parentCateId");
const QString kName = QStringLiteral("name");
const QString kCateId = QStringLiteral("cateId");
const QString kDstCateId = QStringLiteral("dstCateId");
const QString kTopCateId = QStringLiteral("topCateId");

QString Now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

qulonglong ToId(const QJsonValue& value)
{
    return value.toVariant().toULongLong();
}

int Type(CategoryTreeModel::TaskType type)
{
    return static_cast<int>(type);
}
} // namespace

CategoryTreeModelWorker::CategoryTreeModelWorker(QObject* parent) : TaskManager(parent)
{
    qRegisterMetaType<CategoryList>("CategoryList");
}

CategoryTreeModelWorker::~CategoryTreeModelWorker()
{
    // The jobs use this object's flags: wait for them first.
    StopAndJoin();
}

// ---- Queuing ----------------------------------------------------------------

QUuid CategoryTreeModelWorker::RefreshCategory()
{
    if (!TasksOfType(Type(CategoryTreeModel::TaskType::RefreshCategory)).isEmpty()) {
        qCInfo(lcWorker) << "RefreshCategory is running";
        return QUuid();
    }
    auto* task = new TaskInfo(Type(CategoryTreeModel::TaskType::RefreshCategory));
    const AccountManager* account = AccountManager::Current();
    task->setParam(kTopCateId, QVariant::fromValue<qulonglong>(account ? account->cateId() : 0));
    // Cleared here rather than in the work, so that an abort that arrives
    // before the job starts is not lost.
    task->startCallback = [this](TaskInfo*) { refreshAbort_ = false; };
    task->work = [this](TaskInfo* t) { RefreshWork(t); };
    task->abortCallback = [this](TaskInfo*) { refreshAbort_ = true; };
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::AddCategory(qulonglong parentCateId, const QString& name)
{
    auto* task = new TaskInfo(Type(CategoryTreeModel::TaskType::AddCategory));
    task->setParam(kParentCateId, QVariant::fromValue<qulonglong>(parentCateId));
    task->setParam(kName, name);
    task->startCallback = [this](TaskInfo*) { addAbort_ = false; };
    task->work = [this](TaskInfo* t) { AddWork(t); };
    task->abortCallback = [this](TaskInfo*) { addAbort_ = true; };
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::MoveCategory(qulonglong cateId, qulonglong dstCateId)
{
    auto* task = new TaskInfo(Type(CategoryTreeModel::TaskType::MoveCategory));
    task->setParam(kCateId, QVariant::fromValue<qulonglong>(cateId));
    task->setParam(kDstCateId, QVariant::fromValue<qulonglong>(dstCateId));
    task->startCallback = [this](TaskInfo*) { moveAbort_ = false; };
    task->work = [this](TaskInfo* t) { MoveWork(t); };
    task->abortCallback = [this](TaskInfo*) { moveAbort_ = true; };
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::RenameCategory(qulonglong cateId, const QString& name)
{
    auto* task = new TaskInfo(Type(CategoryTreeModel::TaskType::RenameCategory));
    task->setParam(kCateId, QVariant::fromValue<qulonglong>(cateId));
    task->setParam(kName, name);
    task->startCallback = [this](TaskInfo*) { renameAbort_ = false; };
    task->work = [this](TaskInfo* t) { RenameWork(t); };
    task->abortCallback = [this](TaskInfo*) { renameAbort_ = true; };
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

// ---- TaskManager ------------------------------------------------------------

void CategoryTreeModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit SignalTaskRunningSlowly(static_cast<CategoryTreeModel::TaskType>(task->type()), isFinish);
}

void CategoryTreeModelWorker::TaskEnd(TaskInfo* task)
{
    emit SignalTaskEndStatus(task->uuid(), TaskInfo::EndStatusOf(task->status()));
}

QString CategoryTreeModelWorker::TaskTypeName(int type) const
{
    const char* key = QMetaEnum::fromType<CategoryTreeModel::TaskType>().valueToKey(type);
    return key ? QString::fromLatin1(key) : QString::number(type);
}

QString CategoryTreeModelWorker::Failure(TaskInfo* task, const ApiCollection::Failure& failure)
{
    return FailTask(*this, task, TaskTypeName(task->type()), failure);
}

// ---- Refresh ----------------------------------------------------------------

QJsonObject CategoryTreeModelWorker::ComparableTree(const QByteArray& response)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(response, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QJsonObject();
    QJsonObject root = doc.object();
    root.remove(QStringLiteral("requestId"));
    return root;
}

void CategoryTreeModelWorker::RefreshWork(TaskInfo* task)
{
    emit SignalRefreshCategoryAboutToDo();
    emit SignalCategoryAvailable(false);

    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start require";
    const Result<QByteArray> response =
        GetCateTreeRequest(task->uuid(), task->param(kTopCateId).toULongLong(), &refreshAbort_);
    ApiCollection::Failure failure = response.error();
    if (response) {
        qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start check json(raw byte array) is same";
        // Compared by content: a requestId of any length, or members in
        // another order, cannot hide a change or fake one.
        QJsonObject comparable = ComparableTree(response.value());
        if (!comparable.isEmpty() && comparable == lastTree_) {
            qCDebug(lcWorker).noquote() << Now() << "get-cate-tree no need update";
            emit SignalRefreshCategorySucceed();
            emit SignalCategoryAvailable(true);
            emit SignalRefreshCategoryDone();
            return;
        }
        qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse json";
        const Result<CateTreeResult> result = ParseGetCateTreeResponse(response.value());
        failure = result.error();
        if (result) {
            qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse cate tree";
            qCDebug(lcWorker).noquote() << "addChildren start" << Now();
            CategoryList tree = ParseTree(result->data);
            qCDebug(lcWorker).noquote() << "addChildren end" << Now();
            emit SignalTreeLoaded(std::move(tree));
            // Remembered only once it is what the model shows: a failed parse
            // must not make the next identical answer count as "unchanged".
            lastTree_ = std::move(comparable);
            emit SignalRefreshCategorySucceed();
            emit SignalCategoryAvailable(true);
            emit SignalRefreshCategoryDone();
            qCDebug(lcWorker).noquote() << Now() << "get-cate-tree end";
            return;
        }
    }
    const QString text = Failure(task, failure);
    emit SignalRefreshCategoryFailed(text);
    emit SignalCategoryAvailable(true);
    emit SignalRefreshCategoryDone();
}

CategoryList CategoryTreeModelWorker::ParseTree(const QJsonObject& data)
{
    const auto entry = [](const QJsonObject& cate, int parent) {
        CategoryEntry e;
        e.cateId = ToId(cate.value(QStringLiteral("cateId")));
        e.parentCateId = ToId(cate.value(QStringLiteral("parentId")));
        e.name = cate.value(QStringLiteral("cateName")).toString();
        e.cateTree = cate.value(QStringLiteral("cateTree")).toVariant().toString();
        e.videoCount = cate.value(QStringLiteral("videoCount")).toVariant().toInt();
        e.parent = parent;
        return e;
    };
    CategoryList list{entry(data, -1)};
    // With an explicit stack: a deep tree cannot exhaust the pool thread's
    // stack. A category's children are listed together, in answer order.
    std::vector<std::pair<QJsonArray, int>> pending;
    pending.emplace_back(data.value(QStringLiteral("children")).toArray(), 0);
    while (!pending.empty()) {
        auto [children, parent] = std::move(pending.back());
        pending.pop_back();
        for (const QJsonValue& child : qAsConst(children)) {
            if (!child.isObject())
                continue;
            const QJsonObject cate = child.toObject();
            list.append(entry(cate, parent));
            const QJsonValue grandChildren = cate.value(QStringLiteral("children"));
            if (grandChildren.isArray() && !grandChildren.toArray().isEmpty())
                pending.emplace_back(grandChildren.toArray(), list.size() - 1);
        }
    }
    return list;
}

// ---- Add --------------------------------------------------------------------

void CategoryTreeModelWorker::AddWork(TaskInfo* task)
{
    const qulonglong parentId = task->param(kParentCateId).toULongLong();
    const QString name = task->param(kName).toString();
    const Result<AddCategoryResult> result =
        Parsed(AddCategoryRequest(task->uuid(), parentId, name, &addAbort_), ParseAddCategoryResponse);
    if (!result) {
        emit SignalAddCategoryFailed(Failure(task, result.error()));
        return;
    }
    emit SignalCategoryAdded(result->cateId, parentId, name);
}

// ---- Move -------------------------------------------------------------------

void CategoryTreeModelWorker::MoveWork(TaskInfo* task)
{
    const Result<ApiResult> result =
        Parsed(MoveCategoryRequest(task->uuid(), task->param(kCateId).toULongLong(),
                                   task->param(kDstCateId).toULongLong(), &moveAbort_),
               ParseMoveCategoryResponse);
    if (!result) {
        emit SignalMoveCategoryFailed(Failure(task, result.error()));
        return;
    }
    emit SignalMoveCategoryReady();
    emit SignalCategoryMoved(task->param(kCateId).toULongLong(), task->param(kDstCateId).toULongLong());
}

// ---- Rename -----------------------------------------------------------------

void CategoryTreeModelWorker::RenameWork(TaskInfo* task)
{
    const Result<ApiResult> result =
        Parsed(RenameCategoryRequest(task->uuid(), task->param(kCateId).toULongLong(),
                                     task->param(kName).toString(), &renameAbort_),
               ParseRenameCategoryResponse);
    if (!result) {
        emit SignalRenameCategoryFailed(Failure(task, result.error()));
        return;
    }
    emit SignalCategoryRenamed(task->param(kCateId).toULongLong(), task->param(kName).toString());
}
