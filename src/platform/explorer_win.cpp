#include "platform/platform.h"

#include <QDir>
#include <QProcess>
#include <QStringList>

namespace platform {

void ShowInExplorer(const QString& path)
{
    QProcess::startDetached(QStringLiteral("explorer.exe"),
                            QStringList{QStringLiteral("/select,") + QDir::toNativeSeparators(path)});
}

} // namespace platform
