#include "model/categorytreemodelworker.h"

#include "account/accountmanager.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaEnum>
#include <QStringListModel>

#include <utility>
#include <vector>

using namespace ApiCollection;

namespace {
const QString kParentCateId = QStringLiteral("parentCateId");
const QString kParent = QStringLiteral("parent");
const QString kParentCateTree = QStringLiteral("parentCateTree");
const QString kName = QStringLiteral("name");
const QString kCateId = QStringLiteral("cateId");
const QString kDstCateId = QStringLiteral("dstCateId");
const QString kTopCateId = QStringLiteral("topCateId");
const QString kNewCateId = QStringLiteral("newCateId");
const QString kSucceeded = QStringLiteral("succeeded");

QString Now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

qulonglong ToId(const QJsonValue& value)
{
    return value.toVariant().toULongLong();
}

QStandardItem* ItemFromParam(const TaskInfo* task, const QString& key)
{
    return static_cast<QStandardItem*>(task->param(key).value<void*>());
}

int Type(CategoryTreeModel::TaskType type)
{
    return static_cast<int>(type);
}
} // namespace

CategoryTreeModelWorker::CategoryTreeModelWorker(CategoryTreeModel* model)
    : TaskManager(model), model_(model), folderIcon_(QStringLiteral(":/image/videoList/icon_folder.svg"))
{
    qRegisterMetaType<QStandardItem*>("QStandardItem*");
    qRegisterMetaType<QList<QStandardItem*>>("QList<QStandardItem*>");
    // Automatic connections: emitted from a pool thread, the slots run queued
    // on the interface thread, in the order the signals were sent.
    connect(this, &CategoryTreeModelWorker::SignalReadyToReloadCateTree, this,
            &CategoryTreeModelWorker::OnReadyToReloadCateTree);
    connect(this, &CategoryTreeModelWorker::SignalAppendRow, this, &CategoryTreeModelWorker::OnAppendRow);
    connect(this, &CategoryTreeModelWorker::SignalAppendRows, this, &CategoryTreeModelWorker::OnAppendRows);
}

CategoryTreeModelWorker::~CategoryTreeModelWorker()
{
    // The jobs use this object's flags and the model: wait for them first.
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
    task->startCallback = [this](TaskInfo* t) {
        addAbort_ = false;
        QStandardItem* parent = ItemOf(t->param(kParentCateId).toULongLong());
        t->setParam(kParent, QVariant::fromValue<void*>(parent));
        t->setParam(kParentCateTree,
                    parent ? parent->data(CategoryTreeModel::CateTree).toString() : QString());
    };
    task->work = [this](TaskInfo* t) { AddWork(t); };
    task->finishedCallback = [this](TaskInfo* t) { AddFinished(t); };
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
    task->finishedCallback = [this](TaskInfo* t) { MoveFinished(t); };
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
    task->finishedCallback = [this](TaskInfo* t) { RenameFinished(t); };
    task->abortCallback = [this](TaskInfo*) { renameAbort_ = true; };
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

// ---- TaskManager ------------------------------------------------------------

void CategoryTreeModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit model_->SignalTaskRunningSlowly(static_cast<CategoryTreeModel::TaskType>(task->type()), isFinish);
}

void CategoryTreeModelWorker::TaskEnd(TaskInfo* task)
{
    emit model_->SignalTaskEndStatus(task->uuid(), TaskInfo::EndStatusOf(task->status()));
}

QString CategoryTreeModelWorker::TaskTypeName(int type) const
{
    const char* key = QMetaEnum::fromType<CategoryTreeModel::TaskType>().valueToKey(type);
    return key ? QString::fromLatin1(key) : QString::number(type);
}

QString CategoryTreeModelWorker::Failure(TaskInfo* task, const ApiCollection::Failure& failure)
{
    const QString text = ErrorMessage(failure);
    qCWarning(lcWorker).noquote() << TaskTypeName(task->type()) << "failed:" << RequestErrorName(failure.code)
                                  << text;
    if (task->status() != TaskInfo::Abort)
        ThrowExceptionTask(task);
    return text;
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
    emit model_->SignalRefreshCategoryAboutToDo();
    emit model_->SignalCategoryAvailable(false);

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
            emit model_->SignalRefreshCategorySucceed();
            emit model_->SignalCategoryAvailable(true);
            emit model_->SignalRefreshCategoryDone();
            return;
        }
        qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse json";
        const Result<CateTreeResult> result = ParseGetCateTreeResponse(response.value());
        failure = result.error();
        if (result) {
            qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse cate tree";
            BuildTree(result->data);
            // Remembered only once it is what the model shows: a failed parse
            // must not make the next identical answer count as "unchanged".
            lastTree_ = std::move(comparable);
            emit model_->SignalRefreshCategorySucceed();
            emit model_->SignalCategoryAvailable(true);
            emit model_->SignalRefreshCategoryDone();
            qCDebug(lcWorker).noquote() << Now() << "get-cate-tree end";
            return;
        }
    }
    const QString text = Failure(task, failure);
    emit model_->SignalRefreshCategoryFailed(text);
    emit model_->SignalCategoryAvailable(true);
    emit model_->SignalRefreshCategoryDone();
}

QStandardItem* CategoryTreeModelWorker::MakeItem(const QJsonObject& cate, const QIcon& icon)
{
    const QString name = cate.value(QStringLiteral("cateName")).toString();
    auto* item = new QStandardItem(name);
    item->setToolTip(name.toHtmlEscaped());
    item->setIcon(icon);
    item->setData(QVariant::fromValue<qulonglong>(ToId(cate.value(QStringLiteral("cateId")))),
                  CategoryTreeModel::CateId);
    item->setData(cate.value(QStringLiteral("cateTree")).toVariant().toString(), CategoryTreeModel::CateTree);
    item->setData(QVariant::fromValue<qulonglong>(ToId(cate.value(QStringLiteral("parentId")))),
                  CategoryTreeModel::ParentCateId);
    item->setData(cate.value(QStringLiteral("videoCount")).toVariant().toInt(),
                  CategoryTreeModel::CateVideoCount);
    return item;
}

QStandardItem* CategoryTreeModelWorker::BuildItems(const QJsonObject& data, const QIcon& icon,
                                                   QStringList* names)
{
    QStandardItem* top = MakeItem(data, icon);
    top->setEditable(false);
    if (names)
        names->append(top->text());
    // Depth-first with an explicit stack: a deep tree cannot exhaust the
    // pool thread's stack, and siblings keep the order of the answer.
    std::vector<std::pair<QJsonArray, QStandardItem*>> pending;
    pending.emplace_back(data.value(QStringLiteral("children")).toArray(), top);
    while (!pending.empty()) {
        auto [children, parent] = std::move(pending.back());
        pending.pop_back();
        for (const QJsonValue& child : qAsConst(children)) {
            if (!child.isObject())
                continue;
            const QJsonObject cate = child.toObject();
            QStandardItem* item = MakeItem(cate, icon);
            parent->appendRow(item);
            if (names)
                names->append(item->text());
            const QJsonValue grandChildren = cate.value(QStringLiteral("children"));
            if (grandChildren.isArray() && !grandChildren.toArray().isEmpty())
                pending.emplace_back(grandChildren.toArray(), item);
        }
    }
    return top;
}

void CategoryTreeModelWorker::BuildTree(const QJsonObject& data)
{
    emit SignalReadyToReloadCateTree();
    QStringList names;
    qCDebug(lcWorker).noquote() << "addChildren start" << Now();
    QStandardItem* top = BuildItems(data, folderIcon_, &names);
    emit SignalAppendRow(top, model_->invisibleRootItem());
    names.removeDuplicates();
    PostNames(names, true);
    qCDebug(lcWorker).noquote() << "addChildren end" << Now();
}

// ---- Add --------------------------------------------------------------------

void CategoryTreeModelWorker::AddWork(TaskInfo* task)
{
    const qulonglong parentId = task->param(kParentCateId).toULongLong();
    const QString name = task->param(kName).toString();
    const Result<AddCategoryResult> result =
        Parsed(AddCategoryRequest(task->uuid(), parentId, name, &addAbort_), ParseAddCategoryResponse);
    if (!result) {
        emit model_->SignalAddCategoryFailed(Failure(task, result.error()));
        return;
    }
    const qulonglong newId = result->cateId;
    auto* item = new QStandardItem(name);
    item->setToolTip(name.toHtmlEscaped());
    item->setIcon(folderIcon_);
    item->setData(QVariant::fromValue<qulonglong>(newId), CategoryTreeModel::CateId);
    item->setData(task->param(kParentCateTree).toString() + QLatin1Char(',') + QString::number(newId),
                  CategoryTreeModel::CateTree);
    item->setData(QVariant::fromValue<qulonglong>(parentId), CategoryTreeModel::ParentCateId);
    item->setData(0, CategoryTreeModel::CateVideoCount);
    task->setParam(kNewCateId, QVariant::fromValue<qulonglong>(newId));
    emit SignalAppendRow(item, ItemFromParam(task, kParent));
    emit model_->SignalAddCategorySucceed(newId, parentId, name);
}

void CategoryTreeModelWorker::AddFinished(TaskInfo* task)
{
    PostNames({task->param(kName).toString()}, false);
}

// ---- Move -------------------------------------------------------------------

void CategoryTreeModelWorker::MoveWork(TaskInfo* task)
{
    const Result<ApiResult> result =
        Parsed(MoveCategoryRequest(task->uuid(), task->param(kCateId).toULongLong(),
                                   task->param(kDstCateId).toULongLong(), &moveAbort_),
               ParseMoveCategoryResponse);
    if (!result) {
        emit model_->SignalMoveCategoryFailed(Failure(task, result.error()));
        return;
    }
    task->setParam(kSucceeded, true);
    emit model_->SignalMoveCategoryReady();
}

void CategoryTreeModelWorker::MoveFinished(TaskInfo* task)
{
    if (!task->param(kSucceeded).toBool())
        return;
    const qulonglong cateId = task->param(kCateId).toULongLong();
    const qulonglong dstCateId = task->param(kDstCateId).toULongLong();
    QStandardItem* item = ItemOf(cateId);
    QStandardItem* dst = ItemOf(dstCateId);
    bool placeable = item && dst;
    // Never hang an item below itself: that would cut its subtree off the tree.
    for (QStandardItem* p = dst; placeable && p; p = p->parent())
        if (p == item)
            placeable = false;
    if (!placeable) {
        qCWarning(lcWorker) << "MoveCategory: the moved category or its destination is not in the tree"
                            << cateId << dstCateId;
    } else {
        item->setData(dst->data(CategoryTreeModel::CateTree).toString() + QLatin1Char(',') +
                          QString::number(cateId),
                      CategoryTreeModel::CateTree);
        item->setData(QVariant::fromValue<qulonglong>(dstCateId), CategoryTreeModel::ParentCateId);
        QStandardItem* oldParent = item->parent() ? item->parent() : model_->invisibleRootItem();
        const QList<QStandardItem*> row = oldParent->takeRow(item->row());
        dst->appendRow(row);
    }
    emit model_->SignalMoveCategorySucceed(cateId, dstCateId);
}

// ---- Rename -----------------------------------------------------------------

void CategoryTreeModelWorker::RenameWork(TaskInfo* task)
{
    const Result<ApiResult> result =
        Parsed(RenameCategoryRequest(task->uuid(), task->param(kCateId).toULongLong(),
                                     task->param(kName).toString(), &renameAbort_),
               ParseRenameCategoryResponse);
    if (!result) {
        emit model_->SignalRenameCategoryFailed(Failure(task, result.error()));
        return;
    }
    task->setParam(kSucceeded, true);
}

void CategoryTreeModelWorker::RenameFinished(TaskInfo* task)
{
    if (!task->param(kSucceeded).toBool())
        return;
    const qulonglong cateId = task->param(kCateId).toULongLong();
    const QString name = task->param(kName).toString();
    if (QStandardItem* item = ItemOf(cateId)) {
        item->setText(name);
        item->setToolTip(name.toHtmlEscaped());
    }
    PostNames({name}, false);
    emit model_->SignalRenameCategorySucceed(cateId, name);
}

// ---- Interface-thread side --------------------------------------------------

void CategoryTreeModelWorker::OnReadyToReloadCateTree()
{
    items_.clear();
    model_->removeRows(0, model_->rowCount());
}

void CategoryTreeModelWorker::OnAppendRow(QStandardItem* item, QStandardItem* parent)
{
    if (!item)
        return;
    if (!parent) {
        qCWarning(lcWorker) << "AppendRow: the parent category is not in the tree";
        delete item;
        return;
    }
    parent->appendRow(item);
    RegisterSubtree(item);
}

void CategoryTreeModelWorker::OnAppendRows(QList<QStandardItem*> items, QStandardItem* parent)
{
    for (QStandardItem* item : qAsConst(items))
        OnAppendRow(item, parent);
}

void CategoryTreeModelWorker::RegisterSubtree(QStandardItem* item)
{
    std::vector<QStandardItem*> pending{item};
    while (!pending.empty()) {
        QStandardItem* current = pending.back();
        pending.pop_back();
        items_.insert(current->data(CategoryTreeModel::CateId).toULongLong(), current);
        for (int row = 0; row < current->rowCount(); ++row)
            if (QStandardItem* child = current->child(row))
                pending.push_back(child);
    }
}

void CategoryTreeModelWorker::PostNames(const QStringList& names, bool replace)
{
    QMetaObject::invokeMethod(
        this,
        [this, names, replace] {
            QStringListModel* model = model_->NamesModel();
            if (replace) {
                model->setStringList(names);
                return;
            }
            QStringList list = model->stringList();
            bool changed = false;
            for (const QString& name : names)
                if (!list.contains(name)) {
                    list.append(name);
                    changed = true;
                }
            if (changed)
                model->setStringList(list);
        },
        Qt::QueuedConnection);
}
