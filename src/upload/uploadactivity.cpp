#include "upload/uploadactivity.h"

#include "upload/sdkmanager.h"
#include "upload/uploadstatus.h"

#include <QFileInfo>

UploadActivity::UploadActivity(SDKManager* manager, QObject* parent)
    : QObject(parent), manager_(manager), sentBase_(manager->sentBytes())
{
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &UploadActivity::OnTick);
    connect(manager, &SDKManager::SignalUploadsAppended, this, [this] {
        if (!tick_.isActive())
            tick_.start();
        emit SignalWorkStarted();
    });
    connect(manager, &SDKManager::SignalTaskStatusChanged, this, [this](const QString&, int status) {
        const auto s = static_cast<UploadStatus>(status);
        if (s == UploadStatus::Waiting || s == UploadStatus::Uploading)
            emit SignalWorkStarted();
        CheckDrained();
    });
    connect(manager, &SDKManager::SignalUploadFailed, this, [this](const QString& vid, const QString& desc) {
        ++failed_;
        const SharedUploadTaskPtr task = manager_->task(vid);
        const DBManager::Upload r = task ? task->record() : DBManager::Upload();
        emit SignalUploadFailed(r.titleName.isEmpty() ? QFileInfo(r.fileName).fileName() : r.titleName, desc);
        CheckDrained();
    });
    connect(manager, &SDKManager::SignalUploadSucceeded, this, [this] { ++succeeded_; });
    connect(manager, &SDKManager::SignalRemoveUpload, this, &UploadActivity::CheckDrained);
    connect(manager, &SDKManager::SignalRemoveAllUploads, this, &UploadActivity::CheckDrained);
    if (!manager->tasks().isEmpty())
        tick_.start();
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
            const UploadStatus s = task->status();
            // Paused and stopped uploads are still the user's work to do.
            if (s != UploadStatus::Failed && s != UploadStatus::FileError)
                return;
        }
        if (tasks.isEmpty()) {
            tick_.stop();
            speed_.Reset();
            sentBase_ = manager_->sentBytes();
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
    speed_.Tick(manager_->sentBytes() - sentBase_);
    emit SignalTotalsChanged();
}

UploadActivity::Totals UploadActivity::totals() const
{
    Totals t;
    for (const SharedUploadTaskPtr& task : manager_->tasks()) {
        ++t.queued;
        const UploadStatus s = task->status();
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
