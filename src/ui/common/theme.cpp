#include "ui/common/theme.h"

#include <QDebug>
#include <QFile>
#include <QWidget>

#include "base/paths.h"

Theme& Theme::Instance()
{
    static Theme theme;
    return theme;
}

QString Theme::LoadQss(const QString& fileName)
{
    const QString path = ResourceDir(QStringLiteral("themes")) + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "load qss file failed" << path << file.error();
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

QString Theme::Load(const QStringList& files)
{
    QString text;
    for (const QString& file : files)
        text += LoadQss(file);
    return text;
}

void Theme::Bind(QWidget* widget, const QStringList& files)
{
    if (!widget)
        return;
    widget->setStyleSheet(Load(files));
    connect(this, &Theme::SignalReloadQss, widget, [widget, files]() { widget->setStyleSheet(Load(files)); });
}
