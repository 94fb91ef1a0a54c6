#include "platform/platform.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QVariant>

namespace platform {

void ShowInExplorer(const QString& path)
{
    const QFileInfo info(path);
    const QUrl fileUrl = QUrl::fromLocalFile(info.absoluteFilePath());

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{fileUrl.toString()} << QString();
        // Short timeout: without a file manager service the call fails fast
        // enough not to freeze the window.
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
        qInfo() << "ShowItems unavailable:" << reply.errorMessage();
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        qWarning() << "open folder failed:" << folder;
}

} // namespace platform
