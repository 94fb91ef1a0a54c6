#include "model/taskfailure.h"

QString FailTask(TaskManager& manager, TaskInfo* task, const QString& taskName,
                 const ApiCollection::Failure& failure)
{
    const QString text = ApiCollection::ErrorMessage(failure);
    qCWarning(lcWorker).noquote() << taskName << "failed:" << ApiCollection::RequestErrorName(failure.code)
                                  << text;
    if (task->status() != TaskInfo::Abort)
        manager.ThrowExceptionTask(task);
    return text;
}
