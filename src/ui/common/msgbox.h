#pragma once
#include <QDialog>
#include <QDialogButtonBox>

class QLabel;
class TitleBar;

// The modal question of the program, in the program's own frameless look.
class MsgBox : public QDialog
{
    Q_OBJECT
public:
    enum Type
    {
        Info = 0,
        Warning = 1
    };

    MsgBox(QWidget* parent, Type type, const QString& title, const QString& text,
           QDialogButtonBox::StandardButtons buttons, QDialogButtonBox::StandardButton defaultButton);

    // Run modally; return the QDialogButtonBox::StandardButton clicked (NoButton when closed otherwise).
    static int information(QWidget* parent, const QString& title, const QString& text,
                           QDialogButtonBox::StandardButtons buttons = QDialogButtonBox::Ok,
                           QDialogButtonBox::StandardButton defaultButton = QDialogButtonBox::NoButton);
    static int warning(QWidget* parent, const QString& title, const QString& text,
                       QDialogButtonBox::StandardButtons buttons = QDialogButtonBox::Ok,
                       QDialogButtonBox::StandardButton defaultButton = QDialogButtonBox::NoButton);

    QDialogButtonBox::StandardButton clickedButton() const { return clicked_; }
    QDialogButtonBox* buttonBox() const { return buttonBox_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TitleBar* titleBar_ = nullptr;
    QLabel* iconLabel_ = nullptr;
    QLabel* textLabel_ = nullptr;
    QDialogButtonBox* buttonBox_ = nullptr;
    QDialogButtonBox::StandardButton clicked_ = QDialogButtonBox::NoButton;
};
