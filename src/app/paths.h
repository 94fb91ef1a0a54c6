#pragma once
#include <QString>

// The data directory (or `sub` inside it), created on demand; a null string
// when it cannot be created.
QString WorkDir(const QString& sub = QString());

// A folder of the program's data files (themes, translations): beside the
// executable when run from the build folder, else in the installed layout
// <prefix>/share/orvane-upload-client/<name>.
QString ResourceDir(const QString& name);
