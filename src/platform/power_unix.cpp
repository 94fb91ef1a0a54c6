// Suspend and power-off through the login manager (logind) on the system bus.
// "interactive" is true so that the desktop may ask for authorisation where
// its policy wants that.

#include "platform/platform.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDebug>

namespace platform {

void RequestPowerAction(PowerAction action, PowerActionDone done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(false, bus.lastError().message());
        return;
    }
    const QString method =
        action == PowerAction::Suspend ? QStringLiteral("Suspend") : QStringLiteral("PowerOff");
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), method);
    call << true;
    qInfo().noquote() << "power action requested:" << method;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [done = std::move(done), method](QDBusPendingCallWatcher* w) {
                         const bool ok = !w->isError();
                         if (!ok)
                             qWarning().noquote() << method << "failed:" << w->error().message();
                         done(ok, ok ? QString() : w->error().message());
                         w->deleteLater();
                     });
}

} // namespace platform
