#pragma once
// The command line's view of the upload queue: queues files or restores the
// account's unfinished uploads through SDKManager, follows the uploads it was
// given until each has ended, stores their progress like the transfer list
// does, and reports progress and outcomes. The one place that talks to
// SDKManager and SDKUploadTask.

#include "upload/sdkuploadtask.h"
#include "upload/transferstats.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

class CliReporter;
class QEventLoop;
class Config;

class UploadRun : public QObject
{
    Q_OBJECT
public:
    struct Failure
    {
        QString vid;
        QString file;
        QString reason;
    };

    explicit UploadRun(CliReporter& reporter, QObject* parent = nullptr);
    ~UploadRun() override;

    // parallel <= 0 and limitKBps < 0 keep the settings' values.
    void Configure(int parallel, int limitKBps);

    // Queues one file; returns its vid, or a null string (reported) when the
    // file cannot be queued.
    QString Add(const QString& file, qint64 cateId, const QString& title, const QString& tags);
    // Applies the settings file's upload and proxy settings to the queue.
    static void ApplySettings(const Config& config);
    // At exit: drops every handle and releases the library; the records stay.
    static void Release();

    // Restores the account's unfinished uploads and follows all of them;
    // with start they run whatever the auto-start preference says. Without
    // follow they are only loaded (to delete some of them).
    int Restore(bool start, bool follow = true);
    // Deletes an unfinished upload of the account (its record and the
    // platform's partial upload); false when there is none.
    bool DeleteQueued(const QString& vid);
    // Computes the vid the library gives this file (identity across renames).
    static QString FileVid(const QString& file);
    void Schedule();

    // Ctrl+C: pauses every upload, stores the progress and drops the handles.
    void PauseAndStop();
    // Stores every queued upload's progress.
    void SaveProgress();

    bool finished() const { return pending_.isEmpty(); }
    int completed() const { return completed_; }
    const QList<Failure>& failures() const { return failures_; }

signals:
    // Every followed upload has ended.
    void SignalFinished();
    void SignalUploaded(const QString& vid, const QString& file);

private slots:
    void OnAppend(SharedUploadTaskPtr task);
    void OnTick();

private:
    struct Row
    {
        QString file;
        QString name;
        quint64 accumulated = 0;
        quint64 uploaded = 0;
        quint64 total = 0;
        SpeedWindow speed;
        qint64 lastEventMs = -1;
    };

    void Follow(const SharedUploadTaskPtr& task);
    void End(const QString& vid, bool success, const QString& reason);
    QString RowLine(const QString& vid, const Row& row, UploadStatus status) const;
    void Draw(bool force);

    CliReporter& reporter_;
    QHash<QString, Row> rows_;     // every followed upload
    QHash<QString, bool> pending_; // followed and not ended
    QList<Failure> failures_;
    int completed_ = 0;
    quint64 doneBytes_ = 0;
    QString lastAppended_;
    QTimer timer_;
    int ticks_ = 0;
    QElapsedTimer clock_;
    bool stopped_ = false;
    bool following_ = true;
    QEventLoop* deleteWait_ = nullptr;
};
