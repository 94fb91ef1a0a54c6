#include "ui/common/stylehelper.h"

#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QWidget>

#include "app/application.h"

QString LoadStyleSheets(const QStringList& files)
{
    QString text;
    for (const QString& file : files)
        text += Application::LoadQss(file);
    return text;
}

void BindStyleSheet(QWidget* widget, const QStringList& files)
{
    if (!widget)
        return;
    widget->setStyleSheet(LoadStyleSheets(files));
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance()))
        QObject::connect(app, &Application::SignalReloadQss, widget,
                         [widget, files]() { widget->setStyleSheet(LoadStyleSheets(files)); });
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
