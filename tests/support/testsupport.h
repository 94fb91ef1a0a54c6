#pragma once
#include <QByteArray>
#include <QString>

namespace orvtest {
// Folder of the built executables (bin/), taken from the environment CTest sets.
QString BinDir();
// Writes `size` pseudo-random bytes to `path` (the same seed gives the same
// content); returns `path`, or a null string when the file cannot be written.
QString WriteRandomFile(const QString& path, qint64 size, quint32 seed);
// CRC-32 as PNG chunks use it.
quint32 Crc32(const QByteArray& data);
// A PNG of the given size, padded with a private ancillary chunk to exactly
// `bytes` bytes (decoders skip such chunks); unpadded for bytes <= 0.
QByteArray PaddedPng(int width, int height, qint64 bytes = 0);
} // namespace orvtest
