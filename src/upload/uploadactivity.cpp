#include "upload/uploadactivity.h"

#include "upload/sdkmanager.h"
#include "upload/uploadstatus.h"

#include <QFileInfo>

UploadActivity::UploadActivity(SDKManager* manager, QObject* parent) : QObject(parent), manager_(manager)
{
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &UploadActivity::OnTick);
    connect(manager, &SDKManager::SignalAppendUpload, this,
            [this](const SharedUploadTaskPtr& task, const DBManager::Upload&) {
                Watch(task);
                if (!tick_.isActive())
                    tick_.start();
                emit SignalWorkStarted();
            });
    connect(manager, &SDKManager::SignalRemoveUpload, this, &UploadActivity::CheckDrained);
    connect(manager, &SDKManager::SignalRemoveAllUploads, this, &UploadActivity::CheckDrained);
    for (const SharedUploadTaskPtr& task : manager->tasks())
        Watch(task);
    if (!manager->tasks().isEmpty())
        tick_.start();
}

void UploadActivity::Watch(const SharedUploadTaskPtr& task)
{
    SDKUploadTask* raw = task.data();
    connect(raw, &SDKUploadTask::SignalStatus, this, [this](int status) {
        if (status == UploadStatus::Waiting || status == UploadStatus::Uploading)
            emit SignalWorkStarted();
        CheckDrained();
    });
    connect(raw, &SDKUploadTask::SignalProgress, this, [this](int increment, qlonglong, qlonglong) {
        transferred_ += static_cast<quint64>(qMax(0, increment));
    });
    connect(raw, &SDKUploadTask::SignalResult, this, [this, raw](bool success, const QString& desc) {
        if (success)
            return; // a pause, or a success that SignalRelease reports
        ++failed_;
        const DBManager::Upload& r = raw->record();
        emit SignalUploadFailed(r.titleName.isEmpty() ? QFileInfo(r.fileName).fileName() : r.titleName, desc);
        CheckDrained();
    });
    connect(raw, &SDKUploadTask::SignalRelease, this, [this](bool uploadSuccess, const QString&) {
        if (uploadSuccess)
            ++succeeded_;
        CheckDrained();
    });
}

// Deferred to the event loop: the queue starts the next upload in reaction to
// the same signal, and only after that is it clear whether work remains.
void UploadActivity::CheckDrained()
{
    if (checkPending_)
        return;
    checkPending_ = true;
    QTimer::singleShot(0, this, [this] {
        checkPending_ = false;
        const QList<SharedUploadTaskPtr> tasks = manager_->tasks();
        for (const SharedUploadTaskPtr& task : tasks) {
            const int s = task->status();
            // Paused and stopped uploads are still the user's work to do.
            if (s != UploadStatus::Failed && s != UploadStatus::FileError)
                return;
        }
        if (tasks.isEmpty()) {
            tick_.stop();
            speed_.Reset();
            transferred_ = 0;
            emit SignalTotalsChanged();
        }
        if (succeeded_ + failed_ == 0)
            return;
        const int succeeded = succeeded_;
        const int failed = failed_;
        succeeded_ = failed_ = 0;
        emit SignalQueueDrained(succeeded, failed);
    });
}

void UploadActivity::OnTick()
{
    speed_.Tick(transferred_);
    emit SignalTotalsChanged();
}

UploadActivity::Totals UploadActivity::totals() const
{
    Totals t;
    for (const SharedUploadTaskPtr& task : manager_->tasks()) {
        ++t.queued;
        const int s = task->status();
        if (s == UploadStatus::FileError)
            continue;
        if (s == UploadStatus::Waiting || s == UploadStatus::Uploading)
            ++t.active;
        t.total += task->totalBytes();
        t.uploaded += qMin(task->uploadBytes(), task->totalBytes());
    }
    t.speedKBs = t.active > 0 ? speed_.speed() : 0;
    return t;
}
