#pragma once
#include <QString>

namespace orvtest {
// Folder of the built executables (bin/), taken from the environment CTest sets.
QString BinDir();
} // namespace orvtest
