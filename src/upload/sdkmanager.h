#pragma once
// Owns the upload library's lifetime and every upload task, and keeps the
// queue: at most maxConcurrent uploads run, the rest wait in vid order.
// Lives on the interface thread.

#include "storage/dbmanager.h"
#include "upload/sdkuploadtask.h"

#include <QMap>
#include <QObject>
#include <QString>

class Config;

class SDKManager : public QObject
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

    // Reads the upload settings (group "UploadTaskManager") and applies them:
    // concurrent uploads, auto-start, traffic limit.
    bool ApplySettings(const Config& config);
    // Reads the proxy settings (group "NetWorkManager") and hands them on.
    bool ApplyProxySettings(const Config& config);

    int maxConcurrent() const { return maxConcurrent_; }
    void setMaxConcurrent(int value);
    bool autoStart() const { return autoStart_; }
    void setAutoStart(bool value) { autoStart_ = value; }
    int trafficLimit() const { return trafficLimit_; }

    bool anyUploading() const;
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
    void SignalRemoveUpload(const QString& vid);
    void SignalRemoveAllUploads();
    void SignalAllUploadStatus(bool allStart);

public slots:
    void OnTaskStatus(int status);
    void OnTaskDelete(bool result, const QString& vid);
    void OnTaskRelease(bool uploadSuccess, const QString& vid);

private slots:
    void OnTaskResult(bool success, const QString& desc);

private:
    SDKManager();
    ~SDKManager() override;

    bool CreateTask(DBManager::Upload& record, bool autoStart, bool save, bool announce,
                    SDKUploadTask::Prepared* prepared = nullptr);
    int CountStatus(int status) const;
    void EmitAllUploadStatus();

    static SDKManager* instance_;
    static bool scheduling_;

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
};
