#pragma once
#include <QString>

// The data directory (or `sub` inside it), created on demand; a null string
// when it cannot be created.
QString WorkDir(const QString& sub = QString());
