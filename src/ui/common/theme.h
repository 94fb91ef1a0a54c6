#pragma once
// The style sheets of the program: each window names its own files in the
// themes folder, and every bound window reads them again when a reload is
// asked for (after the theme files changed on disk).

#include <QObject>
#include <QStringList>

class QWidget;

class Theme : public QObject
{
    Q_OBJECT
public:
    // The one theme of the process; every window follows it.
    static Theme& Instance();

    // A style sheet from the themes folder; empty (and a warning) when missing.
    static QString LoadQss(const QString& fileName);
    // The concatenated text of the named style sheets.
    static QString Load(const QStringList& files);

    // Sets the style sheet of `widget` from `files` now and on every reload.
    void Bind(QWidget* widget, const QStringList& files);
    // Every bound window reads its style sheets again.
    void Reload() { emit SignalReloadQss(); }

signals:
    void SignalReloadQss();

private:
    Theme() = default;
};
