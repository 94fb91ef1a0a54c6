#pragma once
// Collects the log lines written while it exists, for checks on what a
// widget reported.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    // Lines of the given type that contain `needle`.
    int Count(QtMsgType type, const QString& needle) const;
    QStringList Lines() const;

private:
    static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QtMessageHandler previous_ = nullptr;
};
