#include "messagecapture.h"

#include <QList>
#include <QPair>

namespace {
QMutex g_mutex;
QList<QPair<QtMsgType, QString>> g_lines;
} // namespace

MessageCapture::MessageCapture()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
    previous_ = qInstallMessageHandler(&MessageCapture::Handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous_);
}

void MessageCapture::Handler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    QMutexLocker lock(&g_mutex);
    g_lines.append(qMakePair(type, message));
}

int MessageCapture::Count(QtMsgType type, const QString& needle) const
{
    QMutexLocker lock(&g_mutex);
    int n = 0;
    for (const auto& line : g_lines)
        n += (line.first == type && line.second.contains(needle)) ? 1 : 0;
    return n;
}

QStringList MessageCapture::Lines() const
{
    QMutexLocker lock(&g_mutex);
    QStringList out;
    for (const auto& line : g_lines)
        out << line.second;
    return out;
}
