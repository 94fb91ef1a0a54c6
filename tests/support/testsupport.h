#pragma once
#include <QString>

namespace orvtest {
// Folder of the built executables (bin/), taken from the environment CTest sets.
QString BinDir();
// Writes `size` pseudo-random bytes to `path` (the same seed gives the same
// content); returns `path`, or a null string when the file cannot be written.
QString WriteRandomFile(const QString& path, qint64 size, quint32 seed);
} // namespace orvtest
