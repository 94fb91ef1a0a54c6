#pragma once
// What the model workers do when a task's request fails.

#include "api/apicollection.h"
#include "task/taskmanager.h"

// Logs the failure under the task's name, marks the task failed unless it was
// aborted, and returns the text for the user.
QString FailTask(TaskManager& manager, TaskInfo* task, const QString& taskName,
                 const ApiCollection::Failure& failure);
