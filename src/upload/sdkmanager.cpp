#include "upload/sdkmanager.h"

#include "api/apicollection.h"
#include "base/config.h"
#include "base/logging.h"
#include "base/paths.h"
#include "upload/transferstats.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <algorithm>
#include <atomic>

#include <vector>

namespace {

const QString kUploadGroup = QStringLiteral("UploadTaskManager");

quint64 NowSeconds()
{
    return static_cast<quint64>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

SDKManager* SDKManager::instance_ = nullptr;

// A restore checks its files on the pool in chunks of this many records, and
// the interface thread takes each chunk's outcome in one short step.
constexpr int kRestoreChunk = 256;
// Records read and shown per turn of the event loop at a restore.
constexpr int kRestorePage = 500;

struct SDKManager::RestoreJob
{
    DBManager::Upload record;
    bool exists = false;
    SDKUploadTask::Prepared prepared;
};

struct SDKManager::RestoreChunk
{
    std::vector<RestoreJob> jobs;
    QFuture<void> future;
    // Set by the pool thread after its last write to jobs. The future hands
    // the chunk over as well, but through locks inside Qt that a race
    // detector cannot see; this flag states the hand-over in our own code.
    std::atomic<bool> checked{false};
};

SDKManager::SDKManager()
{
    qRegisterMetaType<SharedUploadTaskPtr>("SharedUploadTaskPtr");
    qRegisterMetaType<DBManager::Upload>("DBManager::Upload");
    tickTimer_.setInterval(1000);
    connect(&tickTimer_, &QTimer::timeout, this, &SDKManager::Tick);
    restoreTimer_.setSingleShot(true);
    restoreTimer_.setInterval(0);
    connect(&restoreTimer_, &QTimer::timeout, this, &SDKManager::RestorePage);
}

SDKManager::~SDKManager()
{
    if (instance_ == this)
        instance_ = nullptr;
}

SDKManager* SDKManager::instance()
{
    if (!instance_)
        instance_ = new SDKManager();
    return instance_;
}

void SDKManager::Destroy()
{
    if (!instance_)
        return;
    if (instance_->initialized_ || !instance_->tasks_.isEmpty())
        instance_->Shutdown();
    delete instance_;
    instance_ = nullptr;
}

bool SDKManager::InitSdk(const QString& userId, const QString& appId, const QString& appSecret)
{
    const QString logPath = LogBasePath() + QStringLiteral("_sdk.log");
    const int logRc = ORVSetSdkLogFile(logPath.toUtf8().constData());
    if (logRc != 0)
        qCritical("ORVSetSdkLogFile failed: %d, path: %s", logRc, qUtf8Printable(logPath));
    ORVSetSdkLogLevel(2);
    ORVSetSdkCachePath(WorkDir(QString()).toUtf8().constData());
    // The upload endpoint lives on the same host as the REST API.
    ORVSetSdkServiceUrl(ApiCollection::ApiBaseUrl().toUtf8().constData());

    const int rc = ORVInitSdkLibrary(userId.toUtf8().constData(), appId.toUtf8().constData(),
                                     appSecret.toUtf8().constData());
    if (rc != 0) {
        const char* desc = ORVGetSdkErrorDescription(rc);
        qCritical().noquote() << "init error code:" << rc
                              << ",error msg:" << QString::fromUtf8(desc ? desc : "");
        return false;
    }
    ORVSetSdkHttpRequest(3);
    // The same trust as the REST calls; an empty path leaves the library on the
    // system trust store rather than on a bundle that was never installed.
    ORVSetSdkCacertFile(ApiCollection::TrustedCaBundle().toUtf8().constData());
    initialized_ = true;

    // The library takes these only once it is initialised; the application
    // hands them over at start-up, before any login.
    SetProxy(proxy_.type, proxy_.host, proxy_.port, proxy_.user, proxy_.password);
    SetTrafficLimit(trafficLimit_);

    const char* version = ORVGetSdkVersion();
    qInfo().noquote() << "SDK initialled, version:" << QString::fromUtf8(version ? version : "");
    return true;
}

void SDKManager::SetProxy(int type, const QString& host, int port, const QString& user,
                          const QString& password)
{
    proxy_ = {type, host, port, user, password};
    if (!initialized_)
        return;
    if (type == 0) {
        ORVSetSdkProxy(0, nullptr, 0, nullptr, nullptr);
    } else if (type == 1) {
        ORVSetSdkProxy(1, host.toUtf8().constData(), port, user.toUtf8().constData(),
                       password.toUtf8().constData());
    }
}

void SDKManager::SetTrafficLimit(int kbps)
{
    trafficLimit_ = qMax(0, kbps);
    if (initialized_)
        ORVSetSdkTrafficLimit(trafficLimit_, 0);
}

void SDKManager::Shutdown()
{
    // Files still being checked hold library handles: finish and drop them
    // before the library goes.
    for (const std::shared_ptr<RestoreChunk>& chunk : restoreChunks_) {
        chunk->future.waitForFinished();
        chunk->jobs.clear();
    }
    restoreChunks_.clear();
    restoreReading_ = false;
    restoreTimer_.stop();
    tickTimer_.stop();
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_))
        task->Detach();
    tasks_.clear();
    transfers_.clear();
    uploading_.clear();
    unsaved_.clear();
    sumTotal_ = sumUploaded_ = 0;
    active_ = 0;
    changed_.clear();
    changedSet_.clear();
    ORVReleaseSdkLibrary();
    initialized_ = false;
}

void SDKManager::ApplySettings(const Config& config)
{
    const ProxySettings proxy = config.Proxy();
    SetProxy(proxy.type, proxy.host, proxy.port, proxy.user, proxy.password);
    setMaxConcurrent(config.value(kUploadGroup, QStringLiteral("uploadTasksNum")).toInt());
    setAutoStart(config.value(kUploadGroup, QStringLiteral("autoStartUpload")).toBool());
    SetTrafficLimit(config.value(kUploadGroup, QStringLiteral("limitedSpeedValue")).toInt());
}

void SDKManager::setMaxConcurrent(int value)
{
    // No slot at all would leave every upload waiting for good.
    value = qMax(1, value);
    if (value == maxConcurrent_)
        return;
    maxConcurrent_ = value;
    Schedule();
}

int SDKManager::CountStatus(UploadStatus status) const
{
    int n = 0;
    for (const SharedUploadTaskPtr& task : tasks_)
        if (task->status() == status)
            ++n;
    return n;
}

bool SDKManager::anyUploading() const
{
    return CountStatus(UploadStatus::Uploading) > 0;
}

bool SDKManager::AddUpload(qint64 cateId, const QString& fileName, const QString& title,
                           const QString& describ, const QString& tag, const QString& catePath, int luping,
                           int keepSource)
{
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
        const DBManager::Upload& r = task->record();
        if (r.cateId == cateId && r.fileName == fileName) {
            emit SignalExistUpload(r.vid);
            return true;
        }
    }
    DBManager::Upload record;
    record.fileName = fileName;
    record.titleName = title;
    record.describ = describ;
    record.tag = tag;
    record.catePath = catePath;
    record.cateId = cateId;
    record.luping = luping;
    record.keepSource = keepSource;
    record.totalBytes = 0;
    record.uploadBytes = 0;
    record.updateTS = NowSeconds();
    const bool ok = CreateTask(record, true, true, true);
    if (ok)
        Schedule();
    return ok;
}

bool SDKManager::CreateTask(DBManager::Upload& record, bool autoStart, bool save, bool announce,
                            SDKUploadTask::Prepared* prepared)
{
    // Deleted through the event loop: a task may be dropped from inside one of
    // its own signals.
    SharedUploadTaskPtr task(new SDKUploadTask(), &QObject::deleteLater);
    if (!task->Create(
            record, autoStart, [this](const QString& vid) { return contains(vid); }, prepared))
        return false;
    tasks_.insert(record.vid, task);
    Track(task.data(), record.uploadBytes);
    if (save)
        DBManager::instance()->InsertUpload(record);
    if (announce) {
        emit SignalAppendUpload(task, record);
        emit SignalUploadsAppended({record.vid});
    }
    return true;
}

void SDKManager::Track(SDKUploadTask* task, quint64 storedBytes)
{
    Transfer& t = transfers_[task];
    t.savedBytes = storedBytes;
    if (task->status() == UploadStatus::FileError)
        t.error = task->message();
    Recount(task, t);
    task->SetObserver(this);
    if (!tickTimer_.isActive())
        tickTimer_.start();
}

// The figures follow first, then the queue reacts to the change.
void SDKManager::TaskStatus(SDKUploadTask* task)
{
    OnStatusOf(task);
    Schedule();
    EmitAllUploadStatus();
    emit SignalTaskStatusChanged(task->record().vid, int(task->status()));
}

void SDKManager::TaskProgress(SDKUploadTask* task, int increment)
{
    if (increment > 0)
        sent_ += static_cast<quint64>(increment);
    OnProgress(task, increment);
}

void SDKManager::TaskResult(SDKUploadTask* task, bool success, const QString& desc)
{
    OnResultOf(task, success, desc);
    // A failed run frees its slot without a status signal; use the slot now
    // rather than at the next unrelated event.
    if (success)
        return;
    Schedule();
    EmitAllUploadStatus();
}

void SDKManager::TaskRelease(SDKUploadTask* task, bool uploadSuccess)
{
    ReleaseTask(uploadSuccess, task->record().vid);
}

void SDKManager::TaskDeleteResult(SDKUploadTask* task, bool result)
{
    DeleteResult(task, result);
}

void SDKManager::Recount(SDKUploadTask* task, Transfer& t)
{
    const UploadStatus status = task->status();
    const bool counted = status != UploadStatus::FileError;
    const quint64 total = counted ? task->totalBytes() : 0;
    const quint64 uploaded = counted ? task->uploadBytes() : 0;
    const bool active = status == UploadStatus::Waiting || status == UploadStatus::Uploading;
    sumTotal_ = sumTotal_ - t.countedTotal + total;
    sumUploaded_ = sumUploaded_ - t.countedUploaded + uploaded;
    active_ += int(active) - int(t.countedActive);
    t.countedTotal = total;
    t.countedUploaded = uploaded;
    t.countedActive = active;
    if (status == UploadStatus::Uploading)
        uploading_.insert(task);
    else
        uploading_.remove(task);
    if (task->uploadBytes() != t.savedBytes)
        unsaved_.insert(task);
}

void SDKManager::Forget(SDKUploadTask* task)
{
    auto it = transfers_.find(task);
    if (it == transfers_.end())
        return;
    sumTotal_ -= it->second.countedTotal;
    sumUploaded_ -= it->second.countedUploaded;
    active_ -= int(it->second.countedActive);
    uploading_.remove(task);
    unsaved_.remove(task);
    transfers_.erase(it);
    // A task that left the queue may still report (a delete's outcome, a
    // late result); nothing of it concerns the queue any more.
    task->SetObserver(nullptr);
}

SDKManager::Figures SDKManager::figures(const QString& vid) const
{
    Figures f;
    const SharedUploadTaskPtr task = tasks_.value(vid);
    const auto it = task ? transfers_.find(task.data()) : transfers_.end();
    if (it == transfers_.end())
        return f;
    f.error = it->second.error;
    if (const Run* run = it->second.run.get()) {
        f.speedKBs = run->speedKBs;
        f.speedText = run->speedText;
        f.timeText = run->timeText;
    }
    return f;
}

void SDKManager::OnProgress(SDKUploadTask* task, int increment)
{
    auto it = transfers_.find(task);
    if (it == transfers_.end())
        return;
    if (it->second.run && increment > 0)
        it->second.run->accumulated += static_cast<quint64>(increment);
    Recount(task, it->second);
    // Shown at the next tick with everything else that moved.
    MarkChanged(task->record().vid);
}

void SDKManager::OnStatusOf(SDKUploadTask* task)
{
    auto it = transfers_.find(task);
    if (it == transfers_.end())
        return;
    Transfer& t = it->second;
    const bool uploading = task->status() == UploadStatus::Uploading;
    // Figures of an earlier run must not leak into the next one.
    if (bool(t.run) != uploading)
        t.run.reset(uploading ? new Run : nullptr);
    t.error.clear();
    Recount(task, t);
    MarkChanged(task->record().vid);
    FlushChanged();
}

void SDKManager::OnResultOf(SDKUploadTask* task, bool success, const QString& desc)
{
    auto it = transfers_.find(task);
    if (success || it == transfers_.end())
        return;
    it->second.run.reset();
    it->second.error = desc;
    // A failed run leaves Uploading without a status signal.
    Recount(task, it->second);
    const QString vid = task->record().vid;
    MarkChanged(vid);
    FlushChanged();
    emit SignalUploadFailed(vid, desc);
}

void SDKManager::MarkChanged(const QString& vid)
{
    if (!changedSet_.contains(vid)) {
        changedSet_.insert(vid);
        changed_.append(vid);
    }
}

void SDKManager::FlushChanged()
{
    if (changed_.isEmpty())
        return;
    const QStringList vids = std::move(changed_);
    changed_.clear();
    changedSet_.clear();
    emit SignalTasksUpdated(vids);
}

void SDKManager::Tick()
{
    // Counts this manager's ticks only; every third one stores the progress.
    const bool save = ticks_++ % 3 == 0;
    quint64 speedSum = 0;
    for (SDKUploadTask* task : qAsConst(uploading_)) {
        auto it = transfers_.find(task);
        if (it == transfers_.end() || !it->second.run)
            continue;
        const DBManager::Upload& r = task->record();
        Run& f = *it->second.run;
        f.speedKBs = f.window.Tick(f.accumulated);
        QString speed = SpeedText(f.speedKBs);
        QString time = RemainingTimeText(r.totalBytes, r.uploadBytes, f.speedKBs);
        if (speed != f.speedText || time != f.timeText) {
            f.speedText = std::move(speed);
            f.timeText = std::move(time);
            MarkChanged(r.vid);
        }
        speedSum += f.speedKBs;
    }
    if (save)
        SaveProgress();
    FlushChanged();
    if (sumUploaded_ > sumTotal_)
        return;
    TransferTotals totals;
    totals.valid = true;
    totals.total = sumTotal_;
    totals.uploaded = sumUploaded_;
    totals.speedText = TotalSpeedText(speedSum, active_);
    totals_ = totals;
    emit SignalTotals(static_cast<qint64>(totals.uploaded), static_cast<qint64>(totals.total),
                      totals.speedText);
}

void SDKManager::SaveProgress()
{
    QList<DBManager::Upload> moved;
    QList<SDKUploadTask*> tasks;
    for (SDKUploadTask* task : qAsConst(unsaved_)) {
        moved.append(task->record());
        tasks.append(task);
    }
    if (moved.isEmpty() || !DBManager::instance()->InsertUploads(moved))
        return;
    for (int i = 0; i < tasks.size(); ++i) {
        auto it = transfers_.find(tasks[i]);
        if (it != transfers_.end())
            it->second.savedBytes = moved[i].uploadBytes;
        unsaved_.remove(tasks[i]);
    }
}

void SDKManager::QueueEmptied()
{
    tickTimer_.stop();
    totals_ = TransferTotals();
    emit SignalTotals(0, 0, QString());
    EmitAllUploadStatus();
    emit SignalQueueDrained();
}

void SDKManager::RestoreUploads()
{
    // Rows show at once: a stored record with its vid becomes a task without
    // a handle, which cannot start. Its file is checked on the pool; only then
    // does the task get its handle (or become FileError). The records are
    // read and shown a page per turn of the event loop, so that the window
    // stays live however long the queue is. A restore under way reads on.
    if (restoreReading_)
        return;
    restoreReading_ = true;
    restoreCursor_ = DBManager::UploadCursor();
    RestorePage();
}

void SDKManager::RestorePage()
{
    if (!restoreReading_)
        return;
    // A failed read has been logged and ends the restore like a last page.
    const QList<DBManager::Upload> page =
        DBManager::instance()->SelectUploads(&restoreCursor_, kRestorePage).valueOr({});
    // A short page is the last one.
    restoreReading_ = page.size() == kRestorePage;
    std::vector<RestoreJob> jobs;
    QStringList shown;
    jobs.reserve(static_cast<size_t>(page.size()));
    for (const DBManager::Upload& record : page) {
        const QString& vid = record.vid;
        // Already queued (a second restore): the stored record belongs to it.
        if (!vid.isEmpty() && tasks_.contains(vid))
            continue;
        RestoreJob job;
        job.record = record;
        if (!vid.isEmpty()) {
            SharedUploadTaskPtr task(new SDKUploadTask(), &QObject::deleteLater);
            task->Adopt(record, autoStart_);
            tasks_.insert(vid, task);
            Track(task.data(), record.uploadBytes);
            emit SignalAppendUpload(task, record);
            shown << vid;
        }
        jobs.push_back(std::move(job));
    }
    if (!shown.isEmpty())
        emit SignalUploadsAppended(shown);
    for (size_t first = 0; first < jobs.size(); first += kRestoreChunk) {
        auto chunk = std::make_shared<RestoreChunk>();
        const size_t last = std::min(jobs.size(), first + kRestoreChunk);
        chunk->jobs.reserve(last - first);
        for (size_t i = first; i < last; ++i)
            chunk->jobs.push_back(std::move(jobs[i]));
        RestoreChunk* raw = chunk.get();
        chunk->future = QtConcurrent::run([raw] {
            for (RestoreJob& job : raw->jobs) {
                SDKUploadTask::FillDefaults(job.record, &job.exists);
                if (job.exists)
                    job.prepared = SDKUploadTask::Prepare(job.record);
            }
            raw->checked.store(true, std::memory_order_release);
        });
        auto* watcher = new QFutureWatcher<void>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, chunk] {
            watcher->deleteLater();
            FinishRestoreChunk(chunk);
        });
        watcher->setFuture(chunk->future);
        restoreChunks_.push_back(std::move(chunk));
    }
    if (restoreReading_)
        restoreTimer_.start();
    else if (restoreChunks_.empty())
        emit SignalRestoreFinished();
    Schedule();
}

void SDKManager::FinishRestoreChunk(const std::shared_ptr<RestoreChunk>& chunk)
{
    const auto pending = std::find(restoreChunks_.begin(), restoreChunks_.end(), chunk);
    if (pending == restoreChunks_.end())
        return; // shut down meanwhile
    if (!chunk->checked.load(std::memory_order_acquire))
        return; // not reached: the future finishes after the flag is set
    restoreChunks_.erase(pending);
    for (RestoreJob& job : chunk->jobs) {
        if (job.record.vid.isEmpty()) {
            // Never identified before: a task only if the file is there.
            if (!CreateTask(job.record, autoStart_, false, true, job.exists ? &job.prepared : nullptr))
                DBManager::instance()->DeleteUpload(job.record.vid);
            continue;
        }
        const SharedUploadTaskPtr task = tasks_.value(job.record.vid);
        if (!task || task->created())
            continue;
        if (task->Complete(job.record, job.exists, job.exists ? &job.prepared : nullptr)) {
            auto it = transfers_.find(task.data());
            if (it != transfers_.end()) {
                if (task->status() == UploadStatus::FileError)
                    it->second.error = task->message();
                Recount(task.data(), it->second);
            }
            MarkChanged(job.record.vid);
            continue;
        }
        // The library refused the file: the record cannot be resumed.
        tasks_.remove(job.record.vid);
        Forget(task.data());
        DBManager::instance()->DeleteUpload(job.record.vid);
        emit SignalRemoveUpload(job.record.vid);
    }
    FlushChanged();
    Schedule();
    EmitAllUploadStatus();
    if (tasks_.isEmpty())
        QueueEmptied();
    if (!restoring())
        emit SignalRestoreFinished();
}

void SDKManager::Schedule()
{
    if (scheduling_)
        return;
    scheduling_ = true;
    const int running = CountStatus(UploadStatus::Uploading);
    if (running <= maxConcurrent_) {
        for (int i = running; i < maxConcurrent_; ++i) {
            SharedUploadTaskPtr next;
            for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
                // A restored task whose file is still being checked waits.
                if (task->status() == UploadStatus::Waiting && task->created()) {
                    next = task;
                    break;
                }
            }
            if (!next)
                break;
            // A failed start still takes the slot; the task shows Uploading.
            // A file found gone or changed on the way takes none.
            next->Start(true);
            if (next->status() == UploadStatus::FileError)
                --i;
        }
    } else {
        int excess = running - maxConcurrent_;
        for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
            if (excess <= 0)
                break;
            if (task->status() != UploadStatus::Uploading)
                continue;
            task->PauseToWaiting();
            --excess;
        }
    }
    scheduling_ = false;
}

void SDKManager::EmitAllUploadStatus()
{
    if (tasks_.isEmpty()) {
        emit SignalAllUploadStatus(false);
        return;
    }
    bool allActive = true;
    bool allIdle = true;
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
        const UploadStatus s = task->status();
        if (s == UploadStatus::Waiting || s == UploadStatus::Uploading)
            allIdle = false;
        else
            allActive = false;
    }
    if (allIdle)
        emit SignalAllUploadStatus(false);
    else if (allActive)
        emit SignalAllUploadStatus(true);
}

void SDKManager::StartAll()
{
    int running = CountStatus(UploadStatus::Uploading);
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
        const UploadStatus s = task->status();
        if (!task->created())
            continue;
        if (running < maxConcurrent_ && s != UploadStatus::Uploading && s != UploadStatus::FileError) {
            task->Start(true);
            if (task->status() != UploadStatus::FileError)
                ++running;
        } else if ((s == UploadStatus::Paused || s == UploadStatus::Stopped) && task->created()) {
            task->PauseToWaiting();
        }
    }
}

void SDKManager::PauseAll()
{
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_))
        task->Start(false);
}

void SDKManager::StartOrPause(const QString& vid, bool start)
{
    const SharedUploadTaskPtr task = tasks_.value(vid);
    if (!task)
        return;
    if (!start)
        task->Start(false);
    else if (CountStatus(UploadStatus::Uploading) < maxConcurrent_)
        task->Start(true);
    else
        task->Pause(true);
}

void SDKManager::DeleteTask(const QString& vid)
{
    const SharedUploadTaskPtr task = tasks_.value(vid);
    if (task && task->created() && !task->deleting())
        task->Delete(true);
}

void SDKManager::DeleteAllTasks()
{
    // Copy: a delete may complete synchronously in a future library.
    const QList<SharedUploadTaskPtr> all = tasks_.values();
    for (const SharedUploadTaskPtr& task : all) {
        if (task->created() && !task->deleting())
            task->Delete(true);
    }
}

void SDKManager::ReleaseTask(bool uploadSuccess, const QString& vid)
{
    const SharedUploadTaskPtr task = tasks_.take(vid);
    if (task)
        Forget(task.data());
    if (uploadSuccess && task) {
        DBManager* db = DBManager::instance();
        db->DeleteUpload(vid);
        const DBManager::Upload& r = task->record();
        DBManager::History history;
        history.vid = vid;
        history.fileName = r.fileName;
        history.titleName = r.titleName.isEmpty() ? QFileInfo(r.fileName).fileName() : r.titleName;
        history.fileSize = r.totalBytes;
        history.fileStatus = r.resultText;
        history.updateTS = NowSeconds();
        db->InsertHistory(history, true);
        emit SignalUploadSucceeded(vid);
    }
    Schedule();
    emit SignalRemoveUpload(vid);
    // The start-all button must not stay in its running state once the last
    // upload has left the queue.
    if (tasks_.isEmpty())
        QueueEmptied();
}

void SDKManager::DeleteResult(SDKUploadTask* deleted, bool result)
{
    const QString vid = deleted->record().vid;
    if (!result) {
        emit SignalDeleteUploadFailed(vid);
        return;
    }
    const SharedUploadTaskPtr task = tasks_.value(vid);
    const bool stillQueued = task && task.data() == deleted;
    if (stillQueued) {
        tasks_.remove(vid);
        Forget(task.data());
    }
    DBManager::instance()->DeleteUpload(vid);
    if (stillQueued) {
        // A delete without notify leaves no row behind either.
        Schedule();
        emit SignalRemoveUpload(vid);
        if (tasks_.isEmpty())
            QueueEmptied();
    }
}
