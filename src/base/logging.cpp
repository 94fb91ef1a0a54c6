#include "base/logging.h"

#include "base/paths.h"
#include "platform/platform.h"

#include <QFile>
#include <QStringList>

#include <cstdio>
#include <mutex>

namespace {

// Constant-initialised with a trivial destructor, so messages logged while
// static objects are torn down still find a valid lock.
std::mutex g_logMutex;

[[maybe_unused]] const bool g_startTimeTaken = (StartTime(), true);

QString TypePrefix(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("[Debug]");
    case QtInfoMsg:
        return QStringLiteral("[Info] ");
    case QtWarningMsg:
        return QStringLiteral("[Warn] ");
    case QtCriticalMsg:
        return QStringLiteral("[Error]");
    case QtFatalMsg:
        return QStringLiteral("[Fatal]");
    }
    return QString();
}

} // namespace

const QDateTime& StartTime()
{
    static const QDateTime start = QDateTime::currentDateTime();
    return start;
}

QString LogBasePath()
{
    static const QString base = [] {
        const QString dir = WorkDir(QStringLiteral("log"));
        if (dir.isNull())
            return QString();
        return dir + QLatin1Char('/') + StartTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    }();
    return base;
}

QFile& LogFile()
{
    // Deliberately never destroyed: the handler stays installed for the whole
    // process, including static destruction after main has returned.
    static QFile* const file = new QFile;
    return *file;
}

bool OpenLogFile(const QString& path, QString* error)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    QFile& file = LogFile();
    if (file.isOpen())
        file.close();
    file.setFileName(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

void CloseLogFile()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (LogFile().isOpen())
        LogFile().close();
}

QString FormatLogLines(QtMsgType type, const char* category, const QString& message, const QDateTime& now)
{
    QString prefix = TypePrefix(type);
    const QLatin1String name(category ? category : "");
    if (name != QLatin1String("default"))
        prefix += QStringLiteral("[%1]").arg(name);

    const QString stamp = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    QString out;
    out.reserve(message.size() + 48);
    const QStringList parts = message.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    for (const QString& part : parts) {
        out += stamp;
        out += QLatin1Char(' ');
        out += prefix;
        out += QLatin1Char(' ');
        out += part;
        out += QLatin1Char('\n');
    }
    return out;
}

void MessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString text = FormatLogLines(type, context.category, message, QDateTime::currentDateTime());

    platform::DebuggerOutput(text);

    bool written = false;
    {
        std::lock_guard<std::mutex> lock(g_logMutex);
        QFile& file = LogFile();
        if (file.isOpen()) {
            file.write(text.toUtf8());
            file.flush();
            written = true;
        }
    }
    if (!written) {
        const QByteArray local = text.toLocal8Bit();
        FILE* stream = (type == QtDebugMsg || type == QtInfoMsg) ? stdout : stderr;
        std::fprintf(stream, "%s", local.constData());
        std::fflush(stream);
    }

    if (type == QtFatalMsg)
        platform::FailFast();
}
