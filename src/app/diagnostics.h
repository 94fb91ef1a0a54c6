#pragma once
#include <QString>

// Installs the crash handler with the report path WorkDir("crash") + "/" +
// StartTime + ".dmp"; returns that path, or a null string (and installs
// nothing) when the crash folder cannot be created.
QString InstallCrashHandlerForRun();

// Logs the application's name, version, architecture, arguments and every
// screen with its figures. Needs the application object.
void LogApplicationInfo();
