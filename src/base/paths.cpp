#include "base/paths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The toolkit's per-user data location ends in the application name (the
// executable's base name), which would give every build its own folder. The
// client keeps one fixed folder instead. Only whole path components equal to
// the application name are dropped, so a home folder that merely contains the
// name stays intact.
QString DataDir()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString appName = QCoreApplication::applicationName();
    QString base = QDir::fromNativeSeparators(location);
    if (!appName.isEmpty()) {
        QStringList parts = base.split(QLatin1Char('/'));
        QStringList kept;
        for (int i = 0; i < parts.size(); ++i) {
            if (parts[i] == appName && i > 0)
                continue;
            kept << parts[i];
        }
        base = kept.join(QLatin1Char('/'));
    }
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base == QLatin1String("/"))
        base.clear();
    return base + QStringLiteral("/orvane-upload-client");
}

} // namespace

QString WorkDir(const QString& sub)
{
    QString path = DataDir();
    if (!sub.isEmpty())
        path += QLatin1Char('/') + sub;
    path = QDir::cleanPath(QDir(path).absolutePath());
    if (!QDir().mkpath(path)) {
        qCritical() << "mkpath failed:" << path;
        return QString();
    }
    return path;
}

QString StartFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

QString ResourceDir(const QString& name)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString beside = appDir + QLatin1Char('/') + name;
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed =
        QDir::cleanPath(appDir + QStringLiteral("/../share/orvane-upload-client/") + name);
    return QFileInfo(installed).isDir() ? installed : beside;
}
