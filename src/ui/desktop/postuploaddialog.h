#pragma once
// The countdown before the post-upload action: what will happen, the seconds
// left, and a button to call it off.

#include "ui/desktop/postuploadaction.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class PostUploadDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PostUploadDialog(PostUploadAction* action, QWidget* parent = nullptr);

    QString text() const;

public slots:
    // Escape and the window's close button call the countdown off, like the button.
    void reject() override;

private:
    void OnStarted(PostUploadAction::Choice choice, int seconds);
    void OnTick(int remaining);

    PostUploadAction* action_;
    PostUploadAction::Choice choice_ = PostUploadAction::Choice::Nothing;
    QLabel* textLabel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};
