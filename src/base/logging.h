#pragma once
#include <QDateTime>
#include <QString>
#include <QtGlobal>

class QFile;

// Taken once when the program is loaded; names the run's log files and crash report.
const QDateTime& StartTime();
// WorkDir("log") + "/" + StartTime as "yyyy-MM-dd-HH-mm-ss"; null when the log folder cannot be created.
QString LogBasePath();
void MessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
// The run's log file; messages go to the console while it is not open.
QFile& LogFile();

// Open and close the run's log file under the log lock, so that no message
// is being written while the file changes state. OpenLogFile appends; on
// failure it returns false and puts the device's reason into *error.
bool OpenLogFile(const QString& path, QString* error = nullptr);
void CloseLogFile();

// The lines MessageHandler writes for one message, time stamp included.
QString FormatLogLines(QtMsgType type, const char* category, const QString& message, const QDateTime& now);
