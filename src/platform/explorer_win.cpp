#include "platform/platform.h"

#include <QProcess>
#include <QStringList>

namespace platform {

void ShowInExplorer(const QString& path)
{
    QProcess::startDetached(QStringLiteral("explorer.exe"), ExplorerSelectArguments(path));
}

} // namespace platform
