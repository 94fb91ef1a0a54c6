#include "ui/desktop/uploadnotifier.h"

#include "platform/platform.h"
#include "upload/uploadactivity.h"

#include <QGuiApplication>

UploadNotifier::UploadNotifier(UploadActivity* activity, QObject* parent) : QObject(parent)
{
    group_.setSingleShot(true);
    group_.setInterval(kGroupMs);
    connect(&group_, &QTimer::timeout, this, &UploadNotifier::FlushFailures);
    if (!activity)
        return;
    connect(activity, &UploadActivity::SignalQueueDrained, this, &UploadNotifier::OnQueueDrained);
    connect(activity, &UploadActivity::SignalUploadFailed, this, &UploadNotifier::OnUploadFailed);
}

void UploadNotifier::OnUploadFailed(const QString& title, const QString& reason)
{
    failures_ << (reason.isEmpty() ? title : tr("%1: %2").arg(title, reason));
    if (!group_.isActive())
        group_.start();
}

void UploadNotifier::FlushFailures()
{
    group_.stop();
    if (failures_.isEmpty())
        return;
    const QString title =
        failures_.size() == 1 ? tr("Upload failed") : tr("%1 uploads failed").arg(failures_.size());
    Send(title, failures_.join(QLatin1Char('\n')));
    failures_.clear();
}

void UploadNotifier::OnQueueDrained(int succeeded, int failed)
{
    // Failures still waiting for their group go out first, so the summary is last.
    FlushFailures();
    const QString body = failed > 0 ? tr("%1 files uploaded, %2 failed").arg(succeeded).arg(failed)
                                    : tr("%1 files uploaded").arg(succeeded);
    Send(tr("Uploads finished"), body);
}

void UploadNotifier::Send(const QString& title, const QString& body)
{
    if (platform::ShowNotification(QGuiApplication::applicationDisplayName(), title, body))
        return;
    if (fallback_)
        fallback_(title, body);
}
