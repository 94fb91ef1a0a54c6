#pragma once
#include <QPushButton>

// A checkable button whose text (or, in tool-tip mode, its tool tip) follows
// its checked state.
class StatusButton : public QPushButton
{
    Q_OBJECT
public:
    StatusButton(QWidget* parent, const QString& objectName, const QString& uncheckedText,
                 const QString& checkedText, const QSize& size, bool textAsToolTip = false);

    void SetTexts(const QString& uncheckedText, const QString& checkedText);

private:
    void Apply(bool checked);

    QString uncheckedText_;
    QString checkedText_;
    bool textAsToolTip_ = false;
};
