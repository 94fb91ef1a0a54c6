#pragma once
#include <QDialog>

class TitleBar;

// Program name, version, copyright and the toolkit's licence notice.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    TitleBar* titleBar_ = nullptr;
};
