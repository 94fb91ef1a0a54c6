// Suspend and power-off on Windows: the shutdown privilege, then
// SetSuspendState or ExitWindowsEx. Both return at once; `done` is called
// before the system acts.

#include "platform/platform.h"

#include <QDebug>

#include <windows.h>

#include <powrprof.h>

namespace {

bool EnableShutdownPrivilege(QString* error)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        *error = QStringLiteral("OpenProcessToken: %1").arg(GetLastError());
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    if (!ok)
        *error = QStringLiteral("AdjustTokenPrivileges: %1").arg(GetLastError());
    CloseHandle(token);
    return ok;
}

} // namespace

namespace platform {

void RequestPowerAction(PowerAction action, PowerActionDone done)
{
    QString error;
    if (!EnableShutdownPrivilege(&error)) {
        qWarning().noquote() << "power action failed:" << error;
        done(false, error);
        return;
    }
    bool ok = false;
    if (action == PowerAction::Suspend) {
        ok = SetSuspendState(FALSE, FALSE, FALSE) != FALSE;
    } else {
        ok = ExitWindowsEx(EWX_POWEROFF | EWX_FORCEIFHUNG,
                           SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED) !=
             FALSE;
    }
    if (!ok)
        error = QStringLiteral("error %1").arg(GetLastError());
    done(ok, error);
}

} // namespace platform
