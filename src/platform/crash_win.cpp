// Crash dumps on Windows: a minidump of the faulting process.

#include "platform/platform.h"

#include <windows.h>

#include <dbghelp.h>

namespace {

const wchar_t* g_dumpPath = nullptr;
wchar_t g_dumpBuffer[260];

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers)
{
    HANDLE file =
        CreateFileW(g_dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    MINIDUMP_EXCEPTION_INFORMATION info;
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = pointers;
    info.ClientPointers = TRUE;
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info, nullptr,
                      nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

namespace platform {

void InstallCrashHandler(const wchar_t* dumpPath)
{
    if (!dumpPath) {
        g_dumpPath = nullptr;
        SetUnhandledExceptionFilter(nullptr);
        return;
    }
    wcsncpy_s(g_dumpBuffer, dumpPath, _TRUNCATE);
    g_dumpPath = g_dumpBuffer;
    SetUnhandledExceptionFilter(CrashFilter);
}

} // namespace platform
