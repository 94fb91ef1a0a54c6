// Desktop notifications through the freedesktop notification service on the
// session bus.

#include "platform/platform.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDebug>
#include <QVariantMap>

namespace platform {

bool ShowNotification(const QString& appName, const QString& title, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the notification server show our icon and name.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("orvane-upload-client")}};
    call << appName << uint(0) << QStringLiteral("orvane-upload-client") << title << body << QStringList()
         << hints << int(-1);
    // Asynchronous: a slow or missing notification server never blocks the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher* w) {
        if (w->isError())
            qWarning().noquote() << "notification failed:" << w->error().message();
        w->deleteLater();
    });
    return true;
}

} // namespace platform
