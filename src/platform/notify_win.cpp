// Windows has no notification service apart from the tray icon's balloon;
// returning false makes the caller show the message through its tray icon.

#include "platform/platform.h"

namespace platform {

bool ShowNotification(const QString&, const QString&, const QString&)
{
    return false;
}

} // namespace platform
