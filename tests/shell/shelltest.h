#pragma once
// What the shell tests share: the log lines a widget wrote, children found by
// object name, and answers to the program's message boxes.

#include "ui/common/msgbox.h"

#include <QApplication>
#include <QLabel>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QPushButton>
#include <QString>
#include <QTimer>

#include <memory>

template <typename T> T* Child(const QObject* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}
template <typename T, typename P> T* Child(const std::unique_ptr<P>& parent, const char* name)
{
    return Child<T>(parent.get(), name);
}

// Collects the log lines written while it exists.
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

// Answers the next modal message box with `button` and records what it
// showed; stops waiting for one when it goes out of scope.
class MsgBoxAnswer : public QObject
{
public:
    explicit MsgBoxAnswer(QDialogButtonBox::StandardButton button)
    {
        connect(&timer_, &QTimer::timeout, this, [this, button] {
            auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            timer_.stop();
            ++shown;
            title = box->windowTitle();
            type = box->property("Type").toString();
            tip = box->toolTip();
            if (auto* label = Child<QLabel>(box, "textLabel"))
                text = label->text();
            for (QAbstractButton* b : box->buttonBox()->buttons())
                buttonTypes << b->property("Type").toString();
            box->buttonBox()->button(button)->click();
        });
        timer_.start(20);
    }
    int shown = 0;
    QString text, title, type, tip;
    QStringList buttonTypes;

private:
    QTimer timer_;
};
