// Start with the desktop session: an XDG autostart entry.

#include "platform/platform.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {

QString AutostartDir()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString EntryPath(const QString& appName)
{
    return AutostartDir() + QLatin1Char('/') + appName + QStringLiteral(".desktop");
}

// Exec= takes the program as a quoted argument: inside the quotes ", `, $ and
// \ are escaped with a backslash, and the whole value then follows the string
// rule of desktop files, which escapes every backslash once more.
QString QuoteExec(const QString& path)
{
    QString quoted;
    quoted.reserve(path.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    QString value;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            value += QLatin1Char('\\');
        value += c;
    }
    return value;
}

// Reverses QuoteExec for the first argument of an Exec value; a null string
// when the value does not start with a quoted argument.
QString UnquoteExec(const QString& value)
{
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar n = value[++i];
            if (n == QLatin1Char('s'))
                unescaped += QLatin1Char(' ');
            else if (n == QLatin1Char('n'))
                unescaped += QLatin1Char('\n');
            else if (n == QLatin1Char('t'))
                unescaped += QLatin1Char('\t');
            else if (n == QLatin1Char('r'))
                unescaped += QLatin1Char('\r');
            else
                unescaped += n;
        } else {
            unescaped += value[i];
        }
    }
    if (!unescaped.startsWith(QLatin1Char('"')))
        return QString();
    QString path;
    for (int i = 1; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
            path += unescaped[++i];
        } else if (c == QLatin1Char('"')) {
            return path;
        } else {
            path += c;
        }
    }
    return QString();
}

} // namespace

namespace platform {

bool IsAutoStart(const QString& appName, const QString& exePath)
{
    QFile file(EntryPath(appName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    bool inEntry = false;
    QString exec;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        // A user who switched the entry off in the session settings gets Hidden=true.
        if (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            return false;
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
            return false;
        if (key == QLatin1String("Exec"))
            exec = value;
    }
    return !exec.isEmpty() && UnquoteExec(exec) == exePath;
}

bool SetAutoStart(const QString& appName, const QString& exePath, bool enable)
{
    const QString path = EntryPath(appName);
    if (!enable) {
        if (!QFile::exists(path))
            return true;
        if (!QFile::remove(path)) {
            qWarning() << "remove autostart entry failed:" << path;
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(AutostartDir())) {
        qWarning() << "mkpath failed:" << AutostartDir();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qWarning() << "write autostart entry failed:" << path << file.errorString();
        return false;
    }
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + appName + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + QuoteExec(exePath) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    file.write(text.toUtf8());
    if (!file.commit()) {
        qWarning() << "write autostart entry failed:" << path << file.errorString();
        return false;
    }
    return true;
}

} // namespace platform
