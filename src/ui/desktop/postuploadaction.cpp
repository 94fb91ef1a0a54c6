#include "ui/desktop/postuploadaction.h"

#include "platform/platform.h"
#include "upload/uploadactivity.h"

#include <QDebug>
#include <QPointer>

PostUploadAction::PostUploadAction(UploadActivity* activity, QObject* parent) : QObject(parent)
{
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &PostUploadAction::OnTick);
    if (!activity)
        return;
    connect(activity, &UploadActivity::SignalQueueDrained, this, [this](int succeeded, int) {
        if (succeeded > 0)
            StartCountdown();
    });
    connect(activity, &UploadActivity::SignalWorkStarted, this, &PostUploadAction::Cancel);
}

void PostUploadAction::setChoice(Choice choice)
{
    if (choice == choice_)
        return;
    choice_ = choice;
    qInfo() << "post upload action:" << choice;
    emit SignalChoiceChanged(choice);
}

bool PostUploadAction::StartCountdown()
{
    if (choice_ == Choice::Nothing || counting())
        return false;
    pending_ = choice_;
    remaining_ = countdownSeconds_;
    qInfo() << "post upload countdown started:" << pending_ << remaining_;
    emit SignalCountdownStarted(pending_, remaining_);
    if (remaining_ == 0)
        OnTick();
    else
        timer_.start();
    return true;
}

void PostUploadAction::Cancel()
{
    if (!counting())
        return;
    timer_.stop();
    qInfo() << "post upload countdown cancelled";
    emit SignalCountdownEnded(false);
}

void PostUploadAction::OnTick()
{
    remaining_ = qMax(0, remaining_ - 1);
    emit SignalCountdownTick(remaining_);
    if (remaining_ > 0)
        return;
    timer_.stop();
    const Choice action = pending_;
    // The choice is for one batch: the next one starts from nothing again.
    setChoice(Choice::Nothing);
    emit SignalCountdownEnded(true);
    Perform(action);
}

void PostUploadAction::Perform(Choice choice)
{
    switch (choice) {
    case Choice::Nothing:
        return;
    case Choice::Quit:
        emit SignalQuitRequested();
        return;
    case Choice::Sleep:
    case Choice::Shutdown:
        break;
    }
    const auto action =
        choice == Choice::Sleep ? platform::PowerAction::Suspend : platform::PowerAction::PowerOff;
    QPointer<PostUploadAction> self(this);
    platform::RequestPowerAction(action, [self](bool ok, const QString& error) {
        if (!ok && self)
            emit self->SignalPerformFailed(error);
    });
}
