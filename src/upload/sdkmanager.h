#pragma once
// Owns the upload library's lifetime and every upload task, and keeps the
// queue: at most maxConcurrent uploads run, the rest wait in vid order. It is
// also where the transfer figures live: per-task speed, the once-a-second
// statistics tick with the list totals, and the periodic saving of progress.
// Views hold vids and read from here. Lives on the interface thread.

#include "storage/dbmanager.h"
#include "upload/sdkuploadtask.h"
#include "upload/transferstats.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <unordered_map>
#include <vector>

class Config;

class SDKManager : public QObject, private SDKUploadTask::Observer
{
    Q_OBJECT
public:
    static SDKManager* instance();
    // Deletes the singleton (after Shutdown); the next instance() makes a new one.
    static void Destroy();

    bool InitSdk(const QString& userId, const QString& appId, const QString& appSecret);
    void SetProxy(int type, const QString& host, int port, const QString& user, const QString& password);
    // Total upload limit in KB/s for all running uploads; 0 = unlimited.
    void SetTrafficLimit(int kbps);
    // Destroys every handle and releases the library; stored records stay.
    void Shutdown();

    // The one way settings reach the uploads, at start-up and after every
    // change: the proxy (group "NetWorkManager") and the upload settings
    // (group "UploadTaskManager": concurrent uploads, auto-start, traffic
    // limit). The REST calls read the proxy themselves on every request.
    void ApplySettings(const Config& config);

    int maxConcurrent() const { return maxConcurrent_; }
    void setMaxConcurrent(int value);
    bool autoStart() const { return autoStart_; }
    void setAutoStart(bool value) { autoStart_ = value; }
    int trafficLimit() const { return trafficLimit_; }

    // What a view shows of one upload beside its record and status.
    struct Figures
    {
        quint64 speedKBs = 0;
        QString speedText; // empty unless uploading and measured
        QString timeText;  // remaining time; empty unless uploading and measured
        QString error;     // the last run's error or the file problem; empty when none
    };
    Figures figures(const QString& vid) const;
    // The list totals of the last tick.
    const TransferTotals& totals() const { return totals_; }
    // True while restored uploads are still being shown or checked against their files.
    bool restoring() const { return !restoreChunks_.empty() || restoreReading_; }
    // One statistics tick; the 1 s timer calls it while the queue has tasks.
    void Tick();
    // Stores the progress of every task whose uploaded bytes moved since the
    // last save, in one transaction.
    void SaveProgress();

    bool anyUploading() const;
    // Bytes every upload has sent since this manager started, pauses and
    // failures included: what an overall speed is measured on.
    quint64 sentBytes() const { return sent_; }
    bool contains(const QString& vid) const { return tasks_.contains(vid); }
    SharedUploadTaskPtr task(const QString& vid) const { return tasks_.value(vid); }
    QList<SharedUploadTaskPtr> tasks() const { return tasks_.values(); }
    bool initialized() const { return initialized_; }

    // Queue operations.
    bool AddUpload(qint64 cateId, const QString& fileName, const QString& title, const QString& describ,
                   const QString& tag, const QString& catePath, int luping, int keepSource);
    void RestoreUploads();
    void Schedule();
    void StartAll();
    void PauseAll();
    void StartOrPause(const QString& vid, bool start);
    void DeleteTask(const QString& vid);
    void DeleteAllTasks();

signals:
    void SignalExistUpload(const QString& vid);
    void SignalAppendUpload(SharedUploadTaskPtr task, const DBManager::Upload& record);
    // After SignalAppendUpload: the vids just queued, many at once at a restore.
    void SignalUploadsAppended(const QStringList& vids);
    void SignalRemoveUpload(const QString& vid);
    void SignalRemoveAllUploads();
    void SignalAllUploadStatus(bool allStart);
    // Tasks whose status, progress, speed or error changed; once per tick for
    // progress, at once for status changes and results.
    void SignalTasksUpdated(const QStringList& vids);
    // The list summary after every tick; (0, 0, "") when the queue empties.
    void SignalTotals(qint64 uploaded, qint64 total, const QString& speedText);
    // The last task left the queue.
    void SignalQueueDrained();
    // A task's status changed (after the queue has reacted to it).
    void SignalTaskStatusChanged(const QString& vid, int status);
    // An upload's run ended with an error (message as shown in its row).
    void SignalUploadFailed(const QString& vid, const QString& message);
    // An upload reached the platform; its row leaves the queue next.
    void SignalUploadSucceeded(const QString& vid);
    // The library refused to delete an upload; it stays queued.
    void SignalDeleteUploadFailed(const QString& vid);
    // Every restored upload has been checked against its file.
    void SignalRestoreFinished();

private:
    // The figures of a run, kept only while the task is Uploading: most of a
    // long queue waits and needs none of them.
    struct Run
    {
        quint64 accumulated = 0; // bytes reported while this run uploads
        SpeedWindow window;
        quint64 speedKBs = 0;
        QString speedText;
        QString timeText;
    };
    struct Transfer
    {
        std::unique_ptr<Run> run; // set while the task is Uploading and its bytes count
        QString error;            // the last run's error or the file problem
        quint64 savedBytes = 0;   // uploadBytes as last stored
        // This task's share of the running totals, as last counted.
        quint64 countedTotal = 0;
        quint64 countedUploaded = 0;
        bool countedActive = false;
    };
    struct RestoreJob;
    struct RestoreChunk;

    void Track(SDKUploadTask* task, quint64 storedBytes);
    // Brings the running totals and the sets below up to date with `task`.
    void Recount(SDKUploadTask* task, Transfer& t);
    // Drops a task that leaves the queue from the figures.
    void Forget(SDKUploadTask* task);
    void OnProgress(SDKUploadTask* task, int increment);
    void OnStatusOf(SDKUploadTask* task);
    void OnResultOf(SDKUploadTask* task, bool success, const QString& desc);
    void FinishRestoreChunk(const std::shared_ptr<RestoreChunk>& chunk);
    void RestorePage();
    void ReleaseTask(bool uploadSuccess, const QString& vid);
    void DeleteResult(SDKUploadTask* task, bool result);

    // SDKUploadTask::Observer
    void TaskStatus(SDKUploadTask* task) override;
    void TaskProgress(SDKUploadTask* task, int increment) override;
    void TaskResult(SDKUploadTask* task, bool success, const QString& desc) override;
    void TaskRelease(SDKUploadTask* task, bool uploadSuccess) override;
    void TaskDeleteResult(SDKUploadTask* task, bool result) override;
    void MarkChanged(const QString& vid);
    void FlushChanged();
    void QueueEmptied();

    SDKManager();
    ~SDKManager() override;

    bool CreateTask(DBManager::Upload& record, bool autoStart, bool save, bool announce,
                    SDKUploadTask::Prepared* prepared = nullptr);
    int CountStatus(UploadStatus status) const;
    void EmitAllUploadStatus();

    static SDKManager* instance_;

    struct Proxy
    {
        int type = 0;
        QString host;
        int port = 0;
        QString user;
        QString password;
    };

    QMap<QString, SharedUploadTaskPtr> tasks_;
    Proxy proxy_;
    int maxConcurrent_ = 3;
    bool autoStart_ = true;
    int trafficLimit_ = 0;
    bool initialized_ = false;
    // Set while Schedule runs: starting a task reports its new status, which
    // comes back here and must not schedule again halfway through.
    bool scheduling_ = false;

    std::unordered_map<const SDKUploadTask*, Transfer> transfers_;
    // Kept up to date on every event, so that a tick costs in proportion to
    // the running uploads, not to the length of the queue.
    QSet<SDKUploadTask*> uploading_;
    QSet<SDKUploadTask*> unsaved_;
    quint64 sumTotal_ = 0;
    quint64 sumUploaded_ = 0;
    int active_ = 0;
    QStringList changed_;
    QSet<QString> changedSet_;
    QTimer tickTimer_;
    quint64 ticks_ = 0;
    TransferTotals totals_;
    quint64 sent_ = 0;
    std::vector<std::shared_ptr<RestoreChunk>> restoreChunks_;
    // The stored records are read a page per turn of the event loop.
    DBManager::UploadCursor restoreCursor_;
    bool restoreReading_ = false;
    QTimer restoreTimer_;
};
