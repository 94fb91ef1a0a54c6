// Downloaded installers: AppImages and self-extracting scripts run as they
// are; other packages (.deb, archives) go to the desktop's handler.

#include "platform/platform.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

// An ELF binary (an AppImage) or a script with an interpreter line.
bool IsExecutablePackage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith("#!") || head == QByteArray("\177ELF", 4);
}

} // namespace

namespace platform {

QString DefaultInstallerName(const QString& downloadUrl)
{
    const QString name = QUrl(downloadUrl).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("orvane-upload-client-setup.run");
    return name;
}

bool StartInstaller(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    if (IsExecutablePackage(path)) {
        QFile file(path);
        if (!file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser)) {
            qWarning() << "chmod installer failed:" << path << file.errorString();
            return false;
        }
        return QProcess::startDetached(path, {});
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace platform
