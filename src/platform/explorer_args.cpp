#include "platform/platform.h"

namespace platform {

QStringList ExplorerSelectArguments(const QString& path)
{
    QString native = path;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return {QStringLiteral("/select,"), native};
}

} // namespace platform
