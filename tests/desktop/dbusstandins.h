#pragma once
// A private D-Bus bus for the desktop tests, serving as both the session and
// the system bus of this process, with stand-ins for the services the client
// talks to: notifications, the login manager and a tray host. The stand-ins
// answer on a thread of their own (the toolkit's tray set-up makes blocking
// calls) and record every call they get.

#include <QMutex>
#include <QStringList>
#include <QThread>

class DBusStandIns
{
public:
    // Starts dbus-daemon and points this process's session and system bus at
    // it. Call before the QApplication exists.
    bool StartBus(QString* error);
    // Starts a virtual X server of its own (on a free display) for the tray:
    // the toolkit offers the D-Bus tray only on X. Call before the QApplication.
    bool StartX(QString* error);
    // Registers the stand-in services; needs the QApplication.
    bool StartServices(QString* error);
    ~DBusStandIns();

    // "Notify <summary>|<body>", "PowerOff <interactive>", "Suspend <interactive>", ...
    static QStringList Calls();
    static void ClearCalls();
    static void Record(const QString& call);

private:
    QString address_;
    qint64 pid_ = 0;
    qint64 xPid_ = 0;
    QThread thread_;
};
