#pragma once
// The account's category tree as standard items, shared by every tree view,
// category picker and category search of the application. Loading and the
// add, rename and move operations run as tasks of the model's worker; the
// model applies their results to its items on the interface thread. The
// items' data roles are in model/categoryroles.h.

#include "model/categoryroles.h"
#include "task/taskinfo.h"

#include <QHash>
#include <QIcon>
#include <QModelIndexList>
#include <QStandardItemModel>
#include <QUuid>
#include <QVector>

class CategoryTreeModelWorker;
class QStringListModel;
struct CategoryEntry;
using CategoryList = QVector<CategoryEntry>;

class CategoryTreeModel : public QStandardItemModel
{
    Q_OBJECT
public:
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

    // The items of a parsed tree, owned by no model yet; the top item is not editable.
    static QStandardItem* BuildItems(const CategoryList& tree, const QIcon& icon);

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
    // The worker's results, applied on the interface thread.
    void OnTreeLoaded(const CategoryList& tree);
    void OnCategoryAdded(qulonglong newCateId, qulonglong parentCateId, const QString& name);
    void OnCategoryMoved(qulonglong cateId, qulonglong dstCateId);
    void OnCategoryRenamed(qulonglong cateId, const QString& name);
    void AddNames(const QStringList& names);
    QStandardItem* ItemOf(qulonglong cateId) const { return items_.value(cateId, nullptr); }
    void RegisterSubtree(QStandardItem* item);

    CategoryTreeModelWorker* worker_ = nullptr;
    QStringListModel* names_ = nullptr;
    QHash<qulonglong, QStandardItem*> items_;
    QIcon folderIcon_;
};
