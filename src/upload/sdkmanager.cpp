#include "upload/sdkmanager.h"

#include "api/apicollection.h"
#include "app/config.h"
#include "app/logging.h"
#include "app/paths.h"
#include "upload/transferstats.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QtConcurrent>

#include <vector>

namespace {

const QString kUploadGroup = QStringLiteral("UploadTaskManager");
const QString kNetworkGroup = QStringLiteral("NetWorkManager");

quint64 NowSeconds()
{
    return static_cast<quint64>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

SDKManager* SDKManager::instance_ = nullptr;
bool SDKManager::scheduling_ = false;

SDKManager::SDKManager()
{
    qRegisterMetaType<SharedUploadTaskPtr>("SharedUploadTaskPtr");
    qRegisterMetaType<DBManager::Upload>("DBManager::Upload");
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
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_))
        task->Detach();
    tasks_.clear();
    ORVReleaseSdkLibrary();
    initialized_ = false;
}

bool SDKManager::ApplySettings(const Config& config)
{
    setMaxConcurrent(config.value(kUploadGroup, QStringLiteral("uploadTasksNum")).toInt());
    setAutoStart(config.value(kUploadGroup, QStringLiteral("autoStartUpload")).toBool());
    SetTrafficLimit(config.value(kUploadGroup, QStringLiteral("limitedSpeedValue")).toInt());
    return true;
}

bool SDKManager::ApplyProxySettings(const Config& config)
{
    SetProxy(config.value(kNetworkGroup, QStringLiteral("proxyType")).toInt(),
             config.value(kNetworkGroup, QStringLiteral("proxyHostName")).toString(),
             static_cast<int>(config.value(kNetworkGroup, QStringLiteral("proxyPort")).toUInt()),
             config.value(kNetworkGroup, QStringLiteral("proxyUser")).toString(),
             config.value(kNetworkGroup, QStringLiteral("proxyPassword")).toString());
    return true;
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

int SDKManager::CountStatus(int status) const
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
    SDKUploadTask* raw = task.data();
    connect(raw, &SDKUploadTask::SignalStatus, this, &SDKManager::OnTaskStatus);
    connect(raw, &SDKUploadTask::SignalRelease, this, &SDKManager::OnTaskRelease);
    connect(raw, &SDKUploadTask::SignalDeleteResult, this, &SDKManager::OnTaskDelete);
    connect(raw, &SDKUploadTask::SignalResult, this, &SDKManager::OnTaskResult);
    if (save)
        DBManager::instance()->InsertUpload(record);
    if (announce)
        emit SignalAppendUpload(task, record);
    return true;
}

void SDKManager::RestoreUploads()
{
    struct Job
    {
        DBManager::Upload record;
        bool exists = false;
        SDKUploadTask::Prepared prepared;
    };
    const QList<DBManager::Upload> records = DBManager::instance()->SelectUploads();
    std::vector<Job> jobs;
    jobs.reserve(static_cast<size_t>(records.size()));
    for (const DBManager::Upload& record : records) {
        // Already queued (a second restore): the stored record belongs to it.
        if (!record.vid.isEmpty() && tasks_.contains(record.vid))
            continue;
        Job job;
        job.record = record;
        SDKUploadTask::FillDefaults(job.record, &job.exists);
        jobs.push_back(std::move(job));
    }
    // Identifying each file reads samples of it; do that for all files at
    // once on the pool, then create the tasks here in the stored order.
    QtConcurrent::blockingMap(jobs, [](Job& job) {
        if (job.exists)
            job.prepared = SDKUploadTask::Prepare(job.record);
    });
    for (Job& job : jobs) {
        if (!CreateTask(job.record, autoStart_, false, true, job.exists ? &job.prepared : nullptr))
            DBManager::instance()->DeleteUpload(job.record.vid);
    }
    Schedule();
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
                if (task->status() == UploadStatus::Waiting) {
                    next = task;
                    break;
                }
            }
            if (!next)
                break;
            // A failed start still takes the slot; the task shows Uploading.
            next->Start(true);
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
        const int s = task->status();
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

void SDKManager::OnTaskStatus(int)
{
    Schedule();
    EmitAllUploadStatus();
}

void SDKManager::OnTaskResult(bool success, const QString&)
{
    // A failed run frees its slot without a status signal; use the slot now
    // rather than at the next unrelated event.
    if (success)
        return;
    Schedule();
    EmitAllUploadStatus();
}

void SDKManager::StartAll()
{
    int running = CountStatus(UploadStatus::Uploading);
    for (const SharedUploadTaskPtr& task : qAsConst(tasks_)) {
        const int s = task->status();
        if (running < maxConcurrent_ && s != UploadStatus::Uploading && s != UploadStatus::FileError) {
            task->Start(true);
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

void SDKManager::OnTaskRelease(bool uploadSuccess, const QString& vid)
{
    const SharedUploadTaskPtr task = tasks_.take(vid);
    if (uploadSuccess && task) {
        DBManager* db = DBManager::instance();
        db->DeleteUpload(vid);
        const DBManager::Upload& r = task->record();
        DBManager::History history;
        history.vid = vid;
        history.fileName = r.fileName;
        history.titleName = r.titleName.isEmpty() ? QFileInfo(r.fileName).fileName() : r.titleName;
        history.fileSize = FormatSize(static_cast<qint64>(r.totalBytes), 4);
        history.fileStatus = r.resultText;
        history.updateTS = NowSeconds();
        db->InsertHistory(history, true);
    }
    Schedule();
    emit SignalRemoveUpload(vid);
    // The start-all button must not stay in its running state once the last
    // upload has left the queue.
    if (tasks_.isEmpty())
        EmitAllUploadStatus();
}

void SDKManager::OnTaskDelete(bool result, const QString& vid)
{
    if (!result)
        return;
    const SharedUploadTaskPtr task = tasks_.value(vid);
    const bool stillQueued = task && task.data() == sender();
    if (stillQueued)
        tasks_.remove(vid);
    DBManager::instance()->DeleteUpload(vid);
    if (stillQueued) {
        // A delete without notify leaves no row behind either.
        Schedule();
        emit SignalRemoveUpload(vid);
        if (tasks_.isEmpty())
            EmitAllUploadStatus();
    }
}
