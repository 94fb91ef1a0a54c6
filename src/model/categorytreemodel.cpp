#include "model/categorytreemodel.h"

#include "model/bmptextvalidator.h"
#include "model/categorytreemodelworker.h"

#include <QStringListModel>

#include <vector>

using Worker = CategoryTreeModelWorker;

CategoryTreeModel::CategoryTreeModel(QObject* parent)
    : QStandardItemModel(parent), folderIcon_(QStringLiteral(":/image/videoList/icon_folder.svg"))
{
    qRegisterMetaType<CategoryTreeModel::TaskType>("CategoryTreeModel::TaskType");
    qRegisterMetaType<TaskEndStatus>("TaskEndStatus");
    names_ = new QStringListModel(this);
    worker_ = new CategoryTreeModelWorker(this);
    // Emitted on pool threads, so these arrive queued, in the order sent.
    connect(worker_, &Worker::SignalTaskRunningSlowly, this, &CategoryTreeModel::SignalTaskRunningSlowly);
    connect(worker_, &Worker::SignalTaskEndStatus, this, &CategoryTreeModel::SignalTaskEndStatus);
    connect(worker_, &Worker::SignalCategoryAvailable, this, &CategoryTreeModel::SignalCategoryAvailable);
    connect(worker_, &Worker::SignalRefreshCategoryAboutToDo, this,
            &CategoryTreeModel::SignalRefreshCategoryAboutToDo);
    connect(worker_, &Worker::SignalRefreshCategoryDone, this, &CategoryTreeModel::SignalRefreshCategoryDone);
    connect(worker_, &Worker::SignalRefreshCategorySucceed, this,
            &CategoryTreeModel::SignalRefreshCategorySucceed);
    connect(worker_, &Worker::SignalRefreshCategoryFailed, this,
            &CategoryTreeModel::SignalRefreshCategoryFailed);
    connect(worker_, &Worker::SignalAddCategoryFailed, this, &CategoryTreeModel::SignalAddCategoryFailed);
    connect(worker_, &Worker::SignalMoveCategoryReady, this, &CategoryTreeModel::SignalMoveCategoryReady);
    connect(worker_, &Worker::SignalMoveCategoryFailed, this, &CategoryTreeModel::SignalMoveCategoryFailed);
    connect(worker_, &Worker::SignalRenameCategoryFailed, this,
            &CategoryTreeModel::SignalRenameCategoryFailed);
    connect(worker_, &Worker::SignalTreeLoaded, this, &CategoryTreeModel::OnTreeLoaded);
    connect(worker_, &Worker::SignalCategoryAdded, this, &CategoryTreeModel::OnCategoryAdded);
    connect(worker_, &Worker::SignalCategoryMoved, this, &CategoryTreeModel::OnCategoryMoved);
    connect(worker_, &Worker::SignalCategoryRenamed, this, &CategoryTreeModel::OnCategoryRenamed);
}

CategoryTreeModel::~CategoryTreeModel()
{
    // The worker's jobs must be over before the model goes.
    delete worker_;
    worker_ = nullptr;
}

namespace {
QStandardItem* MakeItem(qulonglong cateId, qulonglong parentCateId, const QString& name,
                        const QString& cateTree, int videoCount, const QIcon& icon)
{
    auto* item = new QStandardItem(name);
    item->setToolTip(name.toHtmlEscaped());
    item->setIcon(icon);
    item->setData(QVariant::fromValue<qulonglong>(cateId), CategoryRole::CateId);
    item->setData(cateTree, CategoryRole::CateTree);
    item->setData(QVariant::fromValue<qulonglong>(parentCateId), CategoryRole::ParentCateId);
    item->setData(videoCount, CategoryRole::CateVideoCount);
    return item;
}
} // namespace

QStandardItem* CategoryTreeModel::BuildItems(const CategoryList& tree, const QIcon& icon)
{
    if (tree.isEmpty())
        return nullptr;
    std::vector<QStandardItem*> items;
    items.reserve(static_cast<size_t>(tree.size()));
    for (const CategoryEntry& e : tree) {
        QStandardItem* item = MakeItem(e.cateId, e.parentCateId, e.name, e.cateTree, e.videoCount, icon);
        // A parent is always listed before its children.
        if (e.parent >= 0 && e.parent < static_cast<int>(items.size()))
            items[static_cast<size_t>(e.parent)]->appendRow(item);
        else if (!items.empty())
            items.front()->appendRow(item);
        items.push_back(item);
    }
    items.front()->setEditable(false);
    return items.front();
}

void CategoryTreeModel::OnTreeLoaded(const CategoryList& tree)
{
    items_.clear();
    removeRows(0, rowCount());
    QStringList names;
    names.reserve(tree.size());
    for (const CategoryEntry& e : tree)
        names.append(e.name);
    if (QStandardItem* top = BuildItems(tree, folderIcon_)) {
        invisibleRootItem()->appendRow(top);
        RegisterSubtree(top);
    }
    names.removeDuplicates();
    names_->setStringList(names);
}

void CategoryTreeModel::OnCategoryAdded(qulonglong newCateId, qulonglong parentCateId, const QString& name)
{
    if (QStandardItem* parent = ItemOf(parentCateId)) {
        const QString cateTree =
            parent->data(CategoryRole::CateTree).toString() + QLatin1Char(',') + QString::number(newCateId);
        QStandardItem* item = MakeItem(newCateId, parentCateId, name, cateTree, 0, folderIcon_);
        parent->appendRow(item);
        items_.insert(newCateId, item);
    } else {
        qCWarning(lcWorker) << "AppendRow: the parent category is not in the tree";
    }
    emit SignalAddCategorySucceed(newCateId, parentCateId, name);
    AddNames({name});
}

void CategoryTreeModel::OnCategoryMoved(qulonglong cateId, qulonglong dstCateId)
{
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
        item->setData(dst->data(CategoryRole::CateTree).toString() + QLatin1Char(',') +
                          QString::number(cateId),
                      CategoryRole::CateTree);
        item->setData(QVariant::fromValue<qulonglong>(dstCateId), CategoryRole::ParentCateId);
        QStandardItem* oldParent = item->parent() ? item->parent() : invisibleRootItem();
        const QList<QStandardItem*> row = oldParent->takeRow(item->row());
        dst->appendRow(row);
    }
    emit SignalMoveCategorySucceed(cateId, dstCateId);
}

void CategoryTreeModel::OnCategoryRenamed(qulonglong cateId, const QString& name)
{
    if (QStandardItem* item = ItemOf(cateId)) {
        item->setText(name);
        item->setToolTip(name.toHtmlEscaped());
    }
    AddNames({name});
    emit SignalRenameCategorySucceed(cateId, name);
}

void CategoryTreeModel::AddNames(const QStringList& names)
{
    QStringList list = names_->stringList();
    bool changed = false;
    for (const QString& name : names)
        if (!list.contains(name)) {
            list.append(name);
            changed = true;
        }
    if (changed)
        names_->setStringList(list);
}

void CategoryTreeModel::RegisterSubtree(QStandardItem* item)
{
    std::vector<QStandardItem*> pending{item};
    while (!pending.empty()) {
        QStandardItem* current = pending.back();
        pending.pop_back();
        items_.insert(current->data(CategoryRole::CateId).toULongLong(), current);
        for (int row = 0; row < current->rowCount(); ++row)
            if (QStandardItem* child = current->child(row))
                pending.push_back(child);
    }
}

QUuid CategoryTreeModel::RefreshCategory()
{
    return worker_->RefreshCategory();
}

QUuid CategoryTreeModel::AddCategory(qulonglong parentCateId, const QString& name)
{
    return worker_->AddCategory(parentCateId, name);
}

QUuid CategoryTreeModel::MoveCategory(qulonglong cateId, qulonglong dstCateId)
{
    return worker_->MoveCategory(cateId, dstCateId);
}

QUuid CategoryTreeModel::RenameCategory(qulonglong cateId, const QString& name)
{
    QString refusal;
    if (name.isEmpty())
        refusal = tr("CategoryTreeModel.RenameCateNameEmpty");
    else if (!BmpTextValidator::IsValid(name))
        refusal = tr("CategoryTreeModel.RenameCateNameMySQLIncompatible");
    if (!refusal.isEmpty()) {
        qCWarning(lcWorker).noquote() << "RenameCategory failed:" << refusal;
        emit SignalRenameCategoryFailed(refusal);
        return QUuid();
    }
    return worker_->RenameCategory(cateId, name);
}

bool CategoryTreeModel::IsCateNameAlreadyInCateId(qulonglong cateId, const QString& name) const
{
    const QStandardItem* item = ItemOf(cateId);
    if (!item) {
        qCWarning(lcWorker) << "IsCateNameAlreadyInCateId(): cateId not valid";
        return false;
    }
    for (int row = 0; row < item->rowCount(); ++row) {
        const QStandardItem* child = item->child(row);
        if (child && child->text() == name)
            return true;
    }
    return false;
}

QModelIndex CategoryTreeModel::IndexOfCateId(qulonglong cateId) const
{
    const QStandardItem* item = ItemOf(cateId);
    return item ? item->index() : QModelIndex();
}

QString CategoryTreeModel::CateNameOf(qulonglong cateId) const
{
    const QStandardItem* item = ItemOf(cateId);
    return item ? item->text() : QString();
}

qulonglong CategoryTreeModel::ParentCateIdOf(qulonglong cateId) const
{
    const QStandardItem* item = ItemOf(cateId);
    return item ? item->data(CategoryRole::ParentCateId).toULongLong() : 0;
}

QModelIndexList CategoryTreeModel::IndexesToTop(qulonglong cateId) const
{
    QModelIndexList result;
    for (const QStandardItem* item = ItemOf(cateId); item; item = item->parent())
        result.append(item->index());
    return result;
}

qulonglong CategoryTreeModel::TopCateId() const
{
    return rowCount() > 0 ? index(0, 0).data(CategoryRole::CateId).toULongLong() : 0;
}

bool CategoryTreeModel::HasTask() const
{
    return worker_->HasTask();
}

void CategoryTreeModel::WaitForTasks()
{
    worker_->WaitForTasks();
}
