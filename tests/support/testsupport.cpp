#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace orvtest {
QString BinDir()
{
    const QByteArray env = qgetenv("ORVANE_BIN_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).absolutePath();
}

QString WriteRandomFile(const QString& path, qint64 size, quint32 seed)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    QRandomGenerator gen(seed);
    QByteArray block(64 * 1024, '\0');
    for (qint64 left = size; left > 0;) {
        const int n = static_cast<int>(qMin<qint64>(left, block.size()));
        gen.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        if (file.write(block.constData(), n) != n)
            return QString();
        left -= n;
    }
    return path;
}
} // namespace orvtest
