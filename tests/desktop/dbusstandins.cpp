#include "dbusstandins.h"

#include <QCoreApplication>
#include <QFile>
#include <QDBusConnection>
#include <QDBusError>
#include <QVariantMap>

#include <fcntl.h>

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {
QMutex g_mutex;
QStringList g_calls;
const QString kConnection = QStringLiteral("stand-ins");
} // namespace

class NotificationsStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        DBusStandIns::Record(QStringLiteral("Notify %1|%2").arg(summary, body));
        return ++id_;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }

private:
    uint id_ = 0;
};

class LoginManagerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    void PowerOff(bool interactive) { DBusStandIns::Record(QStringLiteral("PowerOff %1").arg(interactive)); }
    void Suspend(bool interactive) { DBusStandIns::Record(QStringLiteral("Suspend %1").arg(interactive)); }
};

class TrayHostStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        DBusStandIns::Record(QStringLiteral("RegisterStatusNotifierItem"));
        emit StatusNotifierItemRegistered(service);
    }
signals:
    void StatusNotifierItemRegistered(const QString& service);
};

bool DBusStandIns::StartBus(QString* error)
{
    FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    char line[512] = {};
    if (out && fgets(line, sizeof line, out))
        address_ = QString::fromLocal8Bit(line).trimmed();
    if (out && fgets(line, sizeof line, out))
        pid_ = QByteArray(line).trimmed().toLongLong();
    if (out)
        pclose(out);
    if (address_.isEmpty() || pid_ <= 0) {
        *error = QStringLiteral("dbus-daemon did not start (package dbus)");
        return false;
    }
    // Both buses of this process (and of the clients it starts) are the private one.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toLocal8Bit());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toLocal8Bit());
    return true;
}

bool DBusStandIns::StartX(QString* error)
{
    // A display nobody uses (no lock file), then wait for its socket.
    int display = 100 + static_cast<int>(getpid() % 400);
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
        ++display;
    const QByteArray name = ":" + QByteArray::number(display);
    const char* argv[] = {"Xvfb", name.constData(), "-nolisten", "tcp", "-screen", "0", "1280x800x24", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
    for (int i = 0; rc == 0 && i < 200 && !QFile::exists(socket); ++i)
        usleep(50 * 1000);
    if (rc != 0 || !QFile::exists(socket)) {
        *error = QStringLiteral("Xvfb did not start (package xvfb)");
        return false;
    }
    xPid_ = pid;
    qputenv("DISPLAY", name);
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

bool DBusStandIns::StartServices(QString* error)
{
    thread_.start();
    auto* host = new QObject;
    host->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, host, &QObject::deleteLater);
    bool ok = false;
    QMetaObject::invokeMethod(
        host,
        [&] {
            QDBusConnection bus = QDBusConnection::connectToBus(address_, kConnection);
            const struct
            {
                QObject* object;
                const char* service;
                const char* path;
            } services[] = {
                {new NotificationsStandIn, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"},
                {new LoginManagerStandIn, "org.freedesktop.login1", "/org/freedesktop/login1"},
                {new TrayHostStandIn, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"},
            };
            ok = bus.isConnected();
            for (const auto& s : services) {
                s.object->setParent(host);
                ok = ok && bus.registerObject(QLatin1String(s.path), s.object,
                                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                                  QDBusConnection::ExportAllProperties) &&
                     bus.registerService(QLatin1String(s.service));
            }
            if (!ok)
                *error = bus.lastError().message();
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

DBusStandIns::~DBusStandIns()
{
    thread_.quit();
    thread_.wait();
    QDBusConnection::disconnectFromBus(kConnection);
    for (qint64 pid : {pid_, xPid_}) {
        if (pid > 0)
            kill(static_cast<pid_t>(pid), SIGTERM);
    }
}

QStringList DBusStandIns::Calls()
{
    QMutexLocker lock(&g_mutex);
    return g_calls;
}

void DBusStandIns::ClearCalls()
{
    QMutexLocker lock(&g_mutex);
    g_calls.clear();
}

void DBusStandIns::Record(const QString& call)
{
    QMutexLocker lock(&g_mutex);
    g_calls << call;
}

#include "dbusstandins.moc"
