#pragma once
// Status cell of a queued upload: state text, progress bar, speed and
// remaining time, or the error of the last run.

#include "upload/sdkuploadtask.h"
#include "upload/transferstats.h"

#include <QPointer>
#include <QWidget>

#include <atomic>

class QLabel;
class QProgressBar;

class ProgressWidget : public QWidget
{
    Q_OBJECT
public:
    ProgressWidget(const SharedUploadTaskPtr& task, QWidget* parent = nullptr);

    // One statistics tick (every second while the list has rows): updates the
    // speed and time labels of an uploading row and returns its speed in KB/s.
    quint64 OnTick();

    int status() const { return status_; }
    quint64 speed() const { return speed_; }
    qint64 uploadBytes() const { return uploadBytes_.load(); }
    qint64 totalBytes() const { return totalBytes_.load(); }

    QProgressBar* uploadBar() const { return uploadBar_; }
    QLabel* errorLabel() const { return errorLabel_; }
    QLabel* timesLabel() const { return timesLabel_; }
    QLabel* speedLabel() const { return speedLabel_; }
    QLabel* stateLabel() const { return stateLabel_; }

public slots:
    void OnStatus(int status);
    void OnResult(bool success, const QString& desc);
    void OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);

private:
    void SetProgressUpdates(bool on);
    static void SetTextIfChanged(QLabel* label, const QString& text);

    QPointer<SDKUploadTask> task_;
    int status_ = 3;
    bool progressOn_ = false;
    std::atomic<qint64> uploadBytes_{0};
    std::atomic<qint64> totalBytes_{0};
    std::atomic<quint64> accumulated_{0};
    SpeedWindow window_;
    quint64 speed_ = 0;

    QProgressBar* uploadBar_;
    QLabel* errorLabel_;
    QLabel* timesLabel_;
    QLabel* speedLabel_;
    QLabel* stateLabel_;
};
