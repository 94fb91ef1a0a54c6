#pragma once
// What the desktop shell (tray, notifications, post-upload action) needs to
// know about the upload queue: overall progress and speed, each upload that
// failed, and the moment the queue has drained. Built on the public signals
// of SDKManager only (none per task), so this is the one place to adapt
// when the queue reports its figures differently.

#include "upload/sdkuploadtask.h"
#include "upload/transferstats.h"

#include <QObject>
#include <QTimer>

class SDKManager;

class UploadActivity : public QObject
{
    Q_OBJECT
public:
    struct Totals
    {
        quint64 uploaded = 0;
        quint64 total = 0;
        quint64 speedKBs = 0;
        int active = 0; // waiting or uploading
        int queued = 0; // every task in the queue
    };

    explicit UploadActivity(SDKManager* manager, QObject* parent = nullptr);

    Totals totals() const;

signals:
    // Once a second while the queue holds uploads, and once when it empties.
    void SignalTotalsChanged();
    // An upload was queued or (re)started: whatever waits for the queue to
    // drain must wait longer.
    void SignalWorkStarted();
    // An upload ended with an error (the library gave up on it).
    void SignalUploadFailed(const QString& title, const QString& reason);
    // Nothing is left to upload (every remaining task failed or was removed)
    // after at least one upload ended since the last time.
    void SignalQueueDrained(int succeeded, int failed);

private:
    void CheckDrained();
    void OnTick();

    SDKManager* manager_;
    QTimer tick_;
    SpeedWindow speed_;
    quint64 sentBase_ = 0; // the manager's sent bytes when the speed window last started
    int succeeded_ = 0;
    int failed_ = 0;
    bool checkPending_ = false;
};
