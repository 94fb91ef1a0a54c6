#include "ui/common/stylehelper.h"

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
