#pragma once
// One upload: owns its record and, from its first run on, one uploader handle
// of the upload library, and turns the library's callbacks (on library
// threads) into slot calls and signals on the interface thread. A queued
// upload that has not run holds no handle: a long queue would hold thousands.

#include "storage/dbmanager.h"
#include "upload/uploadstatus.h"

#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <functional>

#include "orv_uploader.h"

class SDKUploadTask : public QObject
{
    Q_OBJECT
public:
    using VidExists = std::function<bool(const QString&)>;

    // The library's share of Create for a file that exists: a handle holding
    // the record's parameters, and the vid the library computed. Safe on any
    // thread, so the queue prepares many records at once when it restores them.
    class Prepared
    {
    public:
        Prepared() = default;
        Prepared(Prepared&& other) noexcept { *this = std::move(other); }
        Prepared& operator=(Prepared&& other) noexcept;
        Prepared(const Prepared&) = delete;
        Prepared& operator=(const Prepared&) = delete;
        ~Prepared();

        ORVUploaderHandle handle = nullptr; // owned until Create takes it
        int rc = -1;                        // of ORVUploaderSetParam
        QString sdkVid;
    };

    // The queue's owner hears of every change before the signals go out,
    // through a plain call instead of a connection per signal and task:
    // a queue holds tens of thousands of tasks.
    class Observer
    {
    public:
        virtual void TaskStatus(SDKUploadTask* task) = 0;
        virtual void TaskProgress(SDKUploadTask* task, int increment) = 0;
        virtual void TaskResult(SDKUploadTask* task, bool success, const QString& desc) = 0;
        virtual void TaskRelease(SDKUploadTask* task, bool uploadSuccess) = 0;
        virtual void TaskDeleteResult(SDKUploadTask* task, bool result) = 0;

    protected:
        ~Observer() = default;
    };

    explicit SDKUploadTask(QObject* parent = nullptr);
    ~SDKUploadTask() override;

    // Fills the title (from the file name) and the size (0 for a missing file).
    static void FillDefaults(DBManager::Upload& record, bool* exists);
    static Prepared Prepare(const DBManager::Upload& record);

    // Makes the uploader handle for `record` and fills in its vid, title and
    // size. False (and no handle) when the library refuses the file, when a new
    // file's vid is already queued, or when a new record's file is missing.
    // `prepared` (optional) is Prepare's result for this record.
    bool Create(DBManager::Upload& record, bool autoStart, const VidExists& vidExists,
                Prepared* prepared = nullptr);
    // A stored record shown at once while its file is checked elsewhere: the
    // task has no handle (it cannot start) until Complete.
    void Adopt(const DBManager::Upload& record, bool autoStart);
    // Finishes an adopted task with the file check's outcome (`record` with
    // FillDefaults applied, `prepared` from Prepare when the file exists).
    // False when the library refuses the file; the task must then be dropped.
    bool Complete(const DBManager::Upload& record, bool exists, Prepared* prepared);
    // Starts (or resumes) or pauses the upload; the status follows the request.
    bool Start(bool start);
    // Pauses; requeue puts the task back to Waiting instead of Paused.
    void Pause(bool requeue);
    // Asynchronous delete; the outcome arrives in OnDelete.
    void Delete(bool notify);

    UploadStatus status() const { return status_; }
    const DBManager::Upload& record() const { return record_; }
    quint64 totalBytes() const { return record_.totalBytes; }
    quint64 uploadBytes() const { return record_.uploadBytes; }
    // The file problem found at creation ("FileChanage" / "FileNoExist"), translated.
    QString message() const { return message_; }
    bool created() const { return created_; }
    bool deleting() const { return deleting_; }

    // For the queue: pause through the library and requeue without the
    // checks of Pause (the caller has made them).
    void PauseToWaiting();
    // At exit: drops the handle without any further signal.
    void Detach();
    void SetObserver(Observer* observer) { observer_ = observer; }

signals:
    void SignalStatus(int status);
    void SignalResult(bool success, const QString& desc);
    void SignalRelease(bool uploadSuccess, const QString& vid);
    void SignalProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);
    void SignalDeleteResult(bool result, const QString& vid);

public slots:
    void OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);
    void OnResult(int code, const QString& desc);
    void OnDelete(int code, const QString& desc);

private:
    void SetStatus(UploadStatus status);
    // Create's steps after FillDefaults; `fileProblem` tells whether the file
    // is gone or changed.
    bool TakeHandle(DBManager::Upload& record, bool exists, const VidExists& vidExists, Prepared* prepared,
                    bool* fileProblem);
    void DestroyHandle();
    // Makes the handle of a task that has none yet, checking the file again;
    // false when the file turned out gone or changed (the task is FileError).
    bool EnsureHandle();
    QString DescriptionMessage(const QString& desc) const;

    Observer* observer_ = nullptr;
    bool created_ = false;
    bool deleting_ = false;
    bool notify_ = true;
    UploadStatus status_ = UploadStatus::Stopped;
    ORVUploaderHandle handle_ = nullptr;
    DBManager::Upload record_;
    QString message_;
};

using SharedUploadTaskPtr = QSharedPointer<SDKUploadTask>;
Q_DECLARE_METATYPE(SharedUploadTaskPtr)
