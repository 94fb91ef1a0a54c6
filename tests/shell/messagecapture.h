#pragma once
// Collects the log lines written while it exists, for checks on what a
// widget reported.

#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

class MessageCapture
{
public:
    MessageCapture()
    {
        QMutexLocker lock(&Mutex());
        Lines().clear();
        previous_ = qInstallMessageHandler(&MessageCapture::Handler);
    }
    ~MessageCapture() { qInstallMessageHandler(previous_); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    // Lines of the given type that contain `needle`.
    int Count(QtMsgType type, const QString& needle) const
    {
        QMutexLocker lock(&Mutex());
        int n = 0;
        for (const auto& line : Lines())
            n += (line.first == type && line.second.contains(needle)) ? 1 : 0;
        return n;
    }

private:
    static QMutex& Mutex()
    {
        static QMutex mutex;
        return mutex;
    }
    static QList<QPair<QtMsgType, QString>>& Lines()
    {
        static QList<QPair<QtMsgType, QString>> lines;
        return lines;
    }
    static void Handler(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        QMutexLocker lock(&Mutex());
        Lines().append(qMakePair(type, message));
    }
    QtMessageHandler previous_ = nullptr;
};
