#pragma once
#include <QStandardPaths>
#include <QString>

// The data directory (or `sub` inside it), created on demand; a null string
// when it cannot be created.
QString WorkDir(const QString& sub = QString());

// Where a file dialog for `location` (movies, documents, pictures, downloads)
// starts: that folder when it exists, else the home folder. A dialog given a
// missing folder opens its parent with the folder's name typed in as a file.
QString StartFolder(QStandardPaths::StandardLocation location);

// A folder of the program's data files (themes, translations): beside the
// executable when run from the build folder, else in the installed layout
// <prefix>/share/orvane-upload-client/<name>.
QString ResourceDir(const QString& name);
