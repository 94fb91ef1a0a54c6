#pragma once
#include <QString>

// Opens the system's file manager on the folder of `path` with the file
// selected (the OS layer decides how; the result is not checked).
void ShowInExplorer(const QString& path);
