#include "model/categorytreemodel.h"

#include "model/bmptextvalidator.h"
#include "model/categorytreemodelworker.h"

#include <QStringListModel>

CategoryTreeModel::CategoryTreeModel(QObject* parent) : QStandardItemModel(parent)
{
    qRegisterMetaType<CategoryTreeModel::TaskType>("CategoryTreeModel::TaskType");
    qRegisterMetaType<TaskEndStatus>("TaskEndStatus");
    names_ = new QStringListModel(this);
    worker_ = new CategoryTreeModelWorker(this);
}

CategoryTreeModel::~CategoryTreeModel()
{
    // The worker's jobs emit this model's signals and hand items to it; they
    // must be over before the items and the model go.
    delete worker_;
    worker_ = nullptr;
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
    const QStandardItem* item = worker_->ItemOf(cateId);
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
    const QStandardItem* item = worker_->ItemOf(cateId);
    return item ? item->index() : QModelIndex();
}

QString CategoryTreeModel::CateNameOf(qulonglong cateId) const
{
    const QStandardItem* item = worker_->ItemOf(cateId);
    return item ? item->text() : QString();
}

qulonglong CategoryTreeModel::ParentCateIdOf(qulonglong cateId) const
{
    const QStandardItem* item = worker_->ItemOf(cateId);
    return item ? item->data(ParentCateId).toULongLong() : 0;
}

QModelIndexList CategoryTreeModel::IndexesToTop(qulonglong cateId) const
{
    QModelIndexList result;
    for (const QStandardItem* item = worker_->ItemOf(cateId); item; item = item->parent())
        result.append(item->index());
    return result;
}

qulonglong CategoryTreeModel::TopCateId() const
{
    return rowCount() > 0 ? index(0, 0).data(CateId).toULongLong() : 0;
}

bool CategoryTreeModel::HasTask() const
{
    return worker_->HasTask();
}

void CategoryTreeModel::WaitForTasks()
{
    worker_->WaitForTasks();
}
