#pragma once
// Loads the category tree and performs add, rename and move for
// CategoryTreeModel. Work runs on pool threads and builds fresh items there;
// the model itself is changed only on the interface thread, through the
// worker's own queued signals and the tasks' finished callbacks.

#include "api/apicollection.h"
#include "model/categorytreemodel.h"
#include "task/taskmanager.h"

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QJsonObject>
#include <QStandardItem>

#include <atomic>

Q_DECLARE_METATYPE(QStandardItem*)

class CategoryTreeModelWorker : public TaskManager
{
    Q_OBJECT
public:
    explicit CategoryTreeModelWorker(CategoryTreeModel* model);
    ~CategoryTreeModelWorker() override;

    QUuid RefreshCategory();
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    // Interface thread only.
    QStandardItem* ItemOf(qulonglong cateId) const { return items_.value(cateId, nullptr); }

    // The answer of a category tree request reduced to what decides a
    // rebuild: its top-level object without "requestId" (which differs on
    // every answer); an empty object when the answer is not a JSON object.
    static QJsonObject ComparableTree(const QByteArray& response);
    // Builds the items of a category tree object, owned by no model yet; the
    // top item is not editable. Appends every name to `names`.
    static QStandardItem* BuildItems(const QJsonObject& data, const QIcon& icon, QStringList* names);

signals:
    void SignalReadyToReloadCateTree();
    void SignalAppendRow(QStandardItem* item, QStandardItem* parent);
    void SignalAppendRows(QList<QStandardItem*> items, QStandardItem* parent);

protected:
    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeName(int type) const override;

private slots:
    void OnReadyToReloadCateTree();
    void OnAppendRow(QStandardItem* item, QStandardItem* parent);
    void OnAppendRows(QList<QStandardItem*> items, QStandardItem* parent);

private:
    void RefreshWork(TaskInfo* task);
    void AddWork(TaskInfo* task);
    void AddFinished(TaskInfo* task);
    void MoveWork(TaskInfo* task);
    void MoveFinished(TaskInfo* task);
    void RenameWork(TaskInfo* task);
    void RenameFinished(TaskInfo* task);

    // Pool thread: builds the items from the tree object and hands them over.
    void BuildTree(const QJsonObject& data);
    static QStandardItem* MakeItem(const QJsonObject& cate, const QIcon& icon);
    // Logs a failed operation, marks the task, returns the text for the user.
    QString Failure(TaskInfo* task, const ApiCollection::Failure& failure);
    void RegisterSubtree(QStandardItem* item);
    // Posts a change of the names list to the interface thread.
    void PostNames(const QStringList& names, bool replace);

    CategoryTreeModel* model_;
    QHash<qulonglong, QStandardItem*> items_; // interface thread only
    ApiCollection::AbortFlag refreshAbort_{false};
    ApiCollection::AbortFlag addAbort_{false};
    ApiCollection::AbortFlag moveAbort_{false};
    ApiCollection::AbortFlag renameAbort_{false};
    QIcon folderIcon_;
    // The last tree answer that was built into the model, compared by
    // content (refresh work only; one category task runs at a time).
    QJsonObject lastTree_;
};
