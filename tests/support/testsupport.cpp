#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>

namespace orvtest {
QString BinDir()
{
    const QByteArray env = qgetenv("ORVANE_BIN_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).absolutePath();
}
} // namespace orvtest
