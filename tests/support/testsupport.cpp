#include "testsupport.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>

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

quint32 Crc32(const QByteArray& data)
{
    quint32 crc = 0xffffffffu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray PaddedPng(int width, int height, qint64 bytes)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(QColor(30, 120, 200));
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    if (bytes <= 0)
        return png;
    const int iend = png.size() - 12;
    const qint64 pad = bytes - png.size() - 12;
    if (pad < 0)
        return QByteArray();
    QByteArray chunk(4, '\0');
    qToBigEndian(quint32(pad), chunk.data());
    QByteArray typeAndData = "orVp" + QByteArray(int(pad), 'x');
    chunk += typeAndData;
    QByteArray crc(4, '\0');
    qToBigEndian(Crc32(typeAndData), crc.data());
    chunk += crc;
    return png.left(iend) + chunk + png.mid(iend);
}
} // namespace orvtest
