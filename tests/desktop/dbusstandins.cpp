#include "dbusstandins.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <QMutex>
#include <QVariantMap>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
QMutex g_mutex;
QStringList g_calls;
const QString kConnection = QStringLiteral("stand-ins");

// Runs a shell command and returns its output lines.
QStringList Run(const char* command)
{
    QStringList lines;
    if (FILE* out = popen(command, "r")) {
        char line[512];
        while (fgets(line, sizeof line, out))
            lines << QString::fromLocal8Bit(line).trimmed();
        pclose(out);
    }
    return lines;
}
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
        return 1;
    }
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
public:
    bool hostRegistered() const { return true; }
public slots:
    void RegisterStatusNotifierItem(const QString&)
    {
        DBusStandIns::Record(QStringLiteral("RegisterStatusNotifierItem"));
    }
};

bool DBusStandIns::StartBus(QString* error)
{
    const QStringList bus = Run("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    // A display nobody uses (no lock file); Xvfb is ready once its socket exists.
    int display = 100 + static_cast<int>(getpid() % 400);
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
        ++display;
    const QStringList x =
        Run(QStringLiteral("Xvfb :%1 -nolisten tcp -screen 0 1280x800x24 >/dev/null 2>&1 & echo $!")
                .arg(display)
                .toLocal8Bit()
                .constData());
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
    for (int i = 0; i < 200 && !QFile::exists(socket); ++i)
        usleep(50 * 1000);
    for (const QStringList& started : {QStringList(bus.mid(1)), x})
        pids_ << (started.isEmpty() ? 0 : started.first().toLongLong());
    if (bus.size() < 2 || !QFile::exists(socket)) {
        *error = QStringLiteral("dbus-daemon or Xvfb did not start (packages dbus, xvfb)");
        return false;
    }
    address_ = bus.first();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toLocal8Bit());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toLocal8Bit());
    qputenv("DISPLAY", QStringLiteral(":%1").arg(display).toLocal8Bit());
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
            const QList<std::tuple<QObject*, const char*, const char*>> services = {
                {new NotificationsStandIn, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"},
                {new LoginManagerStandIn, "org.freedesktop.login1", "/org/freedesktop/login1"},
                {new TrayHostStandIn, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"},
            };
            ok = bus.isConnected();
            for (const auto& [object, service, path] : services) {
                object->setParent(host);
                ok = ok &&
                     bus.registerObject(QLatin1String(path), object, QDBusConnection::ExportAllContents) &&
                     bus.registerService(QLatin1String(service));
            }
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
    for (qint64 pid : qAsConst(pids_)) {
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
