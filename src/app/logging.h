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
