// Downloaded installers: the setup program runs as it is.

#include "platform/platform.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

QString DefaultInstallerName(const QString& /*downloadUrl*/)
{
    return QStringLiteral("OrvaneUploadClient-Setup.exe");
}

bool StartInstaller(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    return QProcess::startDetached(path, {});
}

} // namespace platform
