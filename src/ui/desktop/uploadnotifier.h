#pragma once
// Desktop notifications about uploads: one when the queue drains, one for
// uploads that failed. Failures close together are grouped into a single
// notification, so a lost connection does not flood the desktop.

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class UploadActivity;

class UploadNotifier : public QObject
{
    Q_OBJECT
public:
    // Shows one notification; false when the desktop has no notification service.
    using Sender = std::function<bool(const QString& title, const QString& body)>;
    static constexpr int kGroupMs = 3000;

    explicit UploadNotifier(UploadActivity* activity, QObject* parent = nullptr);

    // Where notifications go when the desktop has no notification service
    // (the tray icon's message).
    void setFallback(Sender fallback) { fallback_ = std::move(fallback); }
    void setGroupInterval(int ms) { group_.setInterval(ms); }

    void OnQueueDrained(int succeeded, int failed);
    // Any other notice (through the same service, or the fallback).
    void Send(const QString& title, const QString& body);
    void OnUploadFailed(const QString& title, const QString& reason);

private:
    void FlushFailures();

    QTimer group_;
    QStringList failures_;
    Sender fallback_;
};
