#include "platform/platform.h"

#include <windows.h>

namespace platform {

void DebuggerOutput(const QString& text)
{
    OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.utf16()));
}

void FailFast()
{
#ifdef FAST_FAIL_FATAL_APP_EXIT
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE))
        __fastfail(FAST_FAIL_FATAL_APP_EXIT);
#endif
    TerminateProcess(GetCurrentProcess(), 0x40000015); // STATUS_FATAL_APP_EXIT
    for (;;) {
    }
}

} // namespace platform
