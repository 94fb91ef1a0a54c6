// Start with Windows: a value under the user's Run key.

#include "platform/platform.h"

#include <QDir>
#include <QSettings>

namespace {
const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

namespace platform {

bool IsAutoStart(const QString& appName, const QString& exePath)
{
    QSettings reg(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    const QString stored = QDir::toNativeSeparators(reg.value(appName).toString()).toLower();
    const QString expected = QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(exePath.toLower()));
    return !stored.isEmpty() && stored == expected;
}

bool SetAutoStart(const QString& appName, const QString& exePath, bool enable)
{
    QSettings reg(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    if (enable)
        reg.setValue(appName, QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(exePath)));
    else
        reg.remove(appName);
    reg.sync();
    return reg.status() == QSettings::NoError;
}

} // namespace platform
