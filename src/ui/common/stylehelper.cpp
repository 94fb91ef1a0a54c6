#include "ui/common/stylehelper.h"

#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QWidget>

#include "ui/common/theme.h"

void BindStyleSheet(QWidget* widget, const QStringList& files)
{
    Theme::Instance().Bind(widget, files);
}

void Repolish(QWidget* widget)
{
    if (!widget)
        return;
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

void SetStyleProperty(QWidget* widget, const char* name, const QVariant& value)
{
    if (!widget || widget->property(name) == value)
        return;
    widget->setProperty(name, value);
    Repolish(widget);
}

void ApplyPlaceholderColor(QWidget* root)
{
    if (!root)
        return;
    QList<QLineEdit*> edits = root->findChildren<QLineEdit*>();
    if (auto* self = qobject_cast<QLineEdit*>(root))
        edits.append(self);
    for (QLineEdit* edit : edits) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::PlaceholderText, QColor(0x9C, 0xA3, 0xAF));
        edit->setPalette(palette);
    }
}
