#pragma once
// The desktop the tests run on: a private D-Bus bus (as both the session and
// the system bus), its own virtual X server (the toolkit offers the D-Bus tray
// on X only), and stand-ins for the services the client calls: notifications,
// the login manager and a tray host. The stand-ins answer on their own thread
// (the toolkit's tray set-up calls them blocking) and record every call.

#include <QStringList>
#include <QThread>

class DBusStandIns
{
public:
    // Before the QApplication exists: bus and X server, and the environment
    // pointing at them (also for the processes the test starts).
    bool StartBus(QString* error);
    // Needs the QApplication.
    bool StartServices(QString* error);
    ~DBusStandIns();

    // "Notify <summary>|<body>", "PowerOff 1", "Suspend 1", "RegisterStatusNotifierItem"
    static QStringList Calls();
    static void ClearCalls();
    static void Record(const QString& call);

private:
    QString address_;
    QList<qint64> pids_;
    QThread thread_;
};
