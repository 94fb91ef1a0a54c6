#include "ui/transfer/progresswidget.h"

#include "ui/transfer/transfercommon.h"
#include "upload/transferstats.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWidget::ProgressWidget(const SharedUploadTaskPtr& task, QWidget* parent)
    : QWidget(parent), uploadBar_(new QProgressBar(this)), errorLabel_(new QLabel(this)),
      timesLabel_(new QLabel(this)), speedLabel_(new QLabel(this)), stateLabel_(new QLabel(this))
{
    setObjectName(QStringLiteral("progressWidget"));
    uploadBar_->setObjectName(QStringLiteral("uploadBar"));
    errorLabel_->setObjectName(QStringLiteral("errorLabel"));
    timesLabel_->setObjectName(QStringLiteral("timesLabel"));
    speedLabel_->setObjectName(QStringLiteral("speedLabel"));
    stateLabel_->setObjectName(QStringLiteral("stateLabel"));
    uploadBar_->setTextVisible(false);
    uploadBar_->setRange(0, 100);
    uploadBar_->setValue(0);
    uploadBar_->setFixedHeight(4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(4);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(stateLabel_);
    top->addWidget(errorLabel_, 1);
    top->addStretch();
    top->addWidget(timesLabel_);
    layout->addLayout(top);
    layout->addWidget(uploadBar_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(speedLabel_);
    layout->addLayout(bottom);
    errorLabel_->hide();

    if (!task)
        return;
    task_ = task.data();
    const qint64 total = static_cast<qint64>(task->totalBytes());
    const qint64 uploaded = static_cast<qint64>(task->uploadBytes());
    totalBytes_ = total;
    uploadBytes_ = uploaded;
    OnStatus(task->status());
    if (total > 0)
        uploadBar_->setValue(static_cast<int>(uploaded * 100 / total));
    if (task->status() == UploadStatus::FileError)
        OnResult(false, task->message());

    connect(task.data(), &SDKUploadTask::SignalStatus, this, &ProgressWidget::OnStatus);
    connect(task.data(), &SDKUploadTask::SignalResult, this, &ProgressWidget::OnResult);
    connect(task.data(), &SDKUploadTask::SignalProgress, this, &ProgressWidget::OnProgress);
}

void ProgressWidget::SetTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

void ProgressWidget::SetProgressUpdates(bool on)
{
    if (progressOn_ == on)
        return;
    progressOn_ = on;
    if (on)
        return;
    // Speed figures of an earlier run must not leak into the next one.
    speed_ = 0;
    accumulated_ = 0;
    window_.Reset();
    speedLabel_->clear();
    timesLabel_->clear();
}

void ProgressWidget::OnStatus(int status)
{
    status_ = status;
    errorLabel_->hide();
    timesLabel_->show();
    switch (status) {
    case UploadStatus::Waiting:
        stateLabel_->setText(tr("Waiting"));
        SetProgressUpdates(false);
        break;
    case UploadStatus::Uploading:
        stateLabel_->clear();
        speedLabel_->clear();
        SetProgressUpdates(true);
        break;
    case UploadStatus::Paused:
        stateLabel_->setText(tr("Pause"));
        SetProgressUpdates(false);
        break;
    case UploadStatus::Stopped:
        stateLabel_->setText(tr("Stoped"));
        SetProgressUpdates(false);
        break;
    default:
        SetProgressUpdates(false);
        break;
    }
}

void ProgressWidget::OnResult(bool success, const QString& desc)
{
    if (success)
        return;
    SetProgressUpdates(false);
    errorLabel_->show();
    timesLabel_->hide();
    speedLabel_->clear();
    const QString shown = errorLabel_->fontMetrics().elidedText(desc, Qt::ElideRight, 160);
    errorLabel_->setText(shown);
    errorLabel_->setToolTip(shown != desc ? desc : QString());
}

void ProgressWidget::OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes)
{
    if (!progressOn_ || totalBytes <= 0)
        return;
    const int percent = static_cast<int>(uploadBytes * 100 / totalBytes);
    if (uploadBar_->value() != percent)
        uploadBar_->setValue(percent);
    accumulated_ += static_cast<quint64>(qMax(increment, 0));
    uploadBytes_ = uploadBytes;
    totalBytes_ = totalBytes;
}

quint64 ProgressWidget::OnTick()
{
    // A failed run changes the task's status without a signal, so ask the task.
    const int status = task_ ? task_->status() : status_;
    if (status != UploadStatus::Uploading || !progressOn_)
        return 0;
    speed_ = window_.Tick(accumulated_.load());
    SetTextIfChanged(speedLabel_, SpeedText(speed_));
    SetTextIfChanged(timesLabel_, RemainingTimeText(static_cast<quint64>(totalBytes_.load()),
                                                    static_cast<quint64>(uploadBytes_.load()), speed_));
    return speed_;
}
