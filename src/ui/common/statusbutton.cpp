#include "ui/common/statusbutton.h"

StatusButton::StatusButton(QWidget* parent, const QString& objectName, const QString& uncheckedText,
                           const QString& checkedText, const QSize& size, bool textAsToolTip)
    : QPushButton(parent), uncheckedText_(uncheckedText), checkedText_(checkedText),
      textAsToolTip_(textAsToolTip)
{
    setObjectName(objectName);
    setAutoDefault(false);
    setCheckable(true);
    setFixedSize(size);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QPushButton::toggled, this, &StatusButton::Apply);
    Apply(isChecked());
}

void StatusButton::SetTexts(const QString& uncheckedText, const QString& checkedText)
{
    uncheckedText_ = uncheckedText;
    checkedText_ = checkedText;
    Apply(isChecked());
}

void StatusButton::Apply(bool checked)
{
    const QString& text = checked ? checkedText_ : uncheckedText_;
    if (textAsToolTip_)
        setToolTip(text);
    else
        setText(text);
}
