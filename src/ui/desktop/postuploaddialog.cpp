#include "ui/desktop/postuploaddialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

PostUploadDialog::PostUploadDialog(PostUploadAction* action, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint), action_(action)
{
    setObjectName(QStringLiteral("PostUploadDialog"));
    setWindowTitle(tr("Uploads finished"));
    // Closing it must never end the program, even with the main window in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumWidth(380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(14);
    textLabel_ = new QLabel(this);
    textLabel_->setObjectName(QStringLiteral("countdownLabel"));
    textLabel_->setWordWrap(true);
    layout->addWidget(textLabel_);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("countdownBar"));
    bar_->setTextVisible(false);
    bar_->setFixedHeight(6);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelBtn_ = new QPushButton(tr("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn_->setDefault(true);
    buttons->addWidget(cancelBtn_);
    layout->addLayout(buttons);

    connect(cancelBtn_, &QPushButton::clicked, action_, &PostUploadAction::Cancel);
    connect(action_, &PostUploadAction::SignalCountdownStarted, this, &PostUploadDialog::OnStarted);
    connect(action_, &PostUploadAction::SignalCountdownTick, this, &PostUploadDialog::OnTick);
    connect(action_, &PostUploadAction::SignalCountdownEnded, this, &QDialog::hide);
}

QString PostUploadDialog::text() const
{
    return textLabel_->text();
}

void PostUploadDialog::OnStarted(PostUploadAction::Choice choice, int seconds)
{
    choice_ = choice;
    bar_->setRange(0, qMax(1, seconds));
    OnTick(seconds);
    show();
    raise();
    activateWindow();
}

void PostUploadDialog::OnTick(int remaining)
{
    bar_->setValue(remaining);
    switch (choice_) {
    case PostUploadAction::Choice::Shutdown:
        textLabel_->setText(
            tr("All uploads are done. The computer shuts down in %1 seconds.").arg(remaining));
        break;
    case PostUploadAction::Choice::Sleep:
        textLabel_->setText(
            tr("All uploads are done. The computer goes to sleep in %1 seconds.").arg(remaining));
        break;
    case PostUploadAction::Choice::Quit:
    case PostUploadAction::Choice::Nothing:
        textLabel_->setText(tr("All uploads are done. The client quits in %1 seconds.").arg(remaining));
        break;
    }
}

void PostUploadDialog::reject()
{
    action_->Cancel();
    QDialog::reject();
}
