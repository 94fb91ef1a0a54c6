#pragma once
// The account's category tree as standard items, shared by every tree view,
// category picker and category search of the application. Loading and the
// add, rename and move operations run as tasks of the model's worker.

#include "task/taskinfo.h"

#include <QModelIndexList>
#include <QStandardItemModel>
#include <QUuid>

class CategoryTreeModelWorker;
class QStringListModel;

class CategoryTreeModel : public QStandardItemModel
{
    Q_OBJECT
public:
    enum Role
    {
        CateId = Qt::UserRole,       // 256, qulonglong
        CateTree = Qt::UserRole + 1, // 257, ids from the top down, joined by ","
        ParentCateId = Qt::UserRole + 2,
        CateVideoCount = Qt::UserRole + 3,
    };
    Q_ENUM(Role)

    // Scoped so that the keys can share their names with the operations.
    enum class TaskType
    {
        RefreshCategory = 0,
        AddCategory = 1,
        MoveCategory = 2,
        RenameCategory = 3,
    };
    Q_ENUM(TaskType)

    explicit CategoryTreeModel(QObject* parent = nullptr);
    ~CategoryTreeModel() override;

    // Each returns the queued task's uuid, or a null uuid when refused.
    QUuid RefreshCategory();
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    // Whether a direct child of cateId is named exactly `name`.
    bool IsCateNameAlreadyInCateId(qulonglong cateId, const QString& name) const;

    // Lookups by id; invalid index / empty text / 0 when the id is unknown.
    QModelIndex IndexOfCateId(qulonglong cateId) const;
    QString CateNameOf(qulonglong cateId) const;
    qulonglong ParentCateIdOf(qulonglong cateId) const;
    // The indexes from the category up to the top category, in that order.
    QModelIndexList IndexesToTop(qulonglong cateId) const;
    qulonglong TopCateId() const;

    // Names of all categories, without duplicates, for the search completer.
    QStringListModel* NamesModel() const { return names_; }
    CategoryTreeModelWorker* Worker() const { return worker_; }

    bool HasTask() const;
    // Part of the application's stop sequence.
    void WaitForTasks();

signals:
    void SignalTaskRunningSlowly(CategoryTreeModel::TaskType type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskEndStatus status);
    void SignalCategoryAvailable(bool available);
    void SignalRefreshCategoryAboutToDo();
    void SignalRefreshCategoryReady();
    void SignalRefreshCategoryDone();
    void SignalRefreshCategorySucceed();
    void SignalRefreshCategoryFailed(QString error);
    void SignalAddCategorySucceed(qulonglong newCateId, qulonglong parentCateId, QString name);
    void SignalAddCategoryFailed(QString error);
    void SignalMoveCategoryReady();
    void SignalMoveCategorySucceed(qulonglong cateId, qulonglong dstCateId);
    void SignalMoveCategoryFailed(QString error);
    void SignalRenameCategorySucceed(qulonglong cateId, QString name);
    void SignalRenameCategoryFailed(QString error);

private:
    CategoryTreeModelWorker* worker_ = nullptr;
    QStringListModel* names_ = nullptr;
};
