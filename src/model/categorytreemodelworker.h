#pragma once
// Loads the category tree and performs add, rename and move for
// CategoryTreeModel. The work runs on pool threads and ends in the worker's
// own signals carrying plain values (the parsed tree, ids, names); the model
// applies them to its items on the interface thread. The worker never
// touches the model or its items.

#include "api/apicollection.h"
#include "model/categorytreemodel.h"
#include "task/taskmanager.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMetaType>
#include <QVector>

// One category of a parsed tree.
struct CategoryEntry
{
    qulonglong cateId = 0;
    qulonglong parentCateId = 0;
    QString name;
    QString cateTree;
    int videoCount = 0;
    int parent = -1; // index of the parent entry in its list; -1 for the top category
};
// A whole tree, the top category first; a parent comes before its children,
// and siblings keep the order of the platform's answer.
using CategoryList = QVector<CategoryEntry>;
Q_DECLARE_METATYPE(CategoryList)

class CategoryTreeModelWorker : public TaskManager
{
    Q_OBJECT
public:
    explicit CategoryTreeModelWorker(QObject* parent = nullptr);
    ~CategoryTreeModelWorker() override;

    QUuid RefreshCategory();
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    // The answer of a category tree request reduced to what decides a
    // rebuild: its top-level object without "requestId" (which differs on
    // every answer); an empty object when the answer is not a JSON object.
    static QJsonObject ComparableTree(const QByteArray& response);
    // The categories of a tree object; children that are not objects are skipped.
    static CategoryList ParseTree(const QJsonObject& data);

signals:
    // Emitted from pool threads (the task ones from the interface thread).
    // The model forwards the outcome signals as its own signals of the same
    // names and applies the four changes to its items before it announces them.
    void SignalTaskRunningSlowly(CategoryTreeModel::TaskType type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskEndStatus status);
    void SignalCategoryAvailable(bool available);
    void SignalRefreshCategoryAboutToDo();
    void SignalRefreshCategoryDone();
    void SignalRefreshCategorySucceed();
    void SignalRefreshCategoryFailed(QString error);
    void SignalAddCategoryFailed(QString error);
    void SignalMoveCategoryReady();
    void SignalMoveCategoryFailed(QString error);
    void SignalRenameCategoryFailed(QString error);

    // A changed tree replaces the whole content.
    void SignalTreeLoaded(CategoryList tree);
    void SignalCategoryAdded(qulonglong newCateId, qulonglong parentCateId, QString name);
    void SignalCategoryMoved(qulonglong cateId, qulonglong dstCateId);
    void SignalCategoryRenamed(qulonglong cateId, QString name);

protected:
    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeName(int type) const override;

private:
    void RefreshWork(TaskInfo* task);
    void AddWork(TaskInfo* task);
    void MoveWork(TaskInfo* task);
    void RenameWork(TaskInfo* task);
    // Logs a failed operation, marks the task, returns the text for the user.
    QString Failure(TaskInfo* task, const ApiCollection::Failure& failure);

    ApiCollection::AbortFlag refreshAbort_{false};
    ApiCollection::AbortFlag addAbort_{false};
    ApiCollection::AbortFlag moveAbort_{false};
    ApiCollection::AbortFlag renameAbort_{false};
    // The last tree answer that was built into the model, compared by
    // content (refresh work only; one category task runs at a time).
    QJsonObject lastTree_;
};
