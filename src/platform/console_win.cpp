#include "platform/platform.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::function<void()> g_onInterrupt;

// Runs on a thread of its own; the callback goes to the main thread.
BOOL WINAPI OnConsoleCtrl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
        return FALSE;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return FALSE;
    QMetaObject::invokeMethod(
        app,
        [] {
            if (g_onInterrupt)
                g_onInterrupt();
        },
        Qt::QueuedConnection);
    return TRUE;
}

DWORD StdHandleId(Stream stream)
{
    switch (stream) {
    case Stream::In:
        return STD_INPUT_HANDLE;
    case Stream::Out:
        return STD_OUTPUT_HANDLE;
    case Stream::Err:
        return STD_ERROR_HANDLE;
    }
    return STD_OUTPUT_HANDLE;
}

} // namespace

bool IsTerminal(Stream stream)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(StdHandleId(stream)), &mode) != 0;
}

bool ReadSecret(const QString& prompt, QString* secret)
{
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
        if (in != INVALID_HANDLE_VALUE)
            CloseHandle(in);
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        return false;
    }
    DWORD written = 0;
    WriteConsoleW(out, reinterpret_cast<const wchar_t*>(prompt.utf16()), static_cast<DWORD>(prompt.size()),
                  &written, nullptr);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::wstring line;
    wchar_t c = 0;
    DWORD read = 0;
    bool ok = false;
    while (ReadConsoleW(in, &c, 1, &read, nullptr) && read == 1) {
        if (c == L'\n') {
            ok = true;
            break;
        }
        if (c != L'\r')
            line.push_back(c);
    }
    SetConsoleMode(in, mode);
    WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
    CloseHandle(in);
    CloseHandle(out);
    *secret = QString::fromStdWString(line);
    SecureZeroMemory(&line[0], line.size() * sizeof(wchar_t));
    return ok || !secret->isEmpty();
}

bool WatchInterrupt(std::function<void()> onInterrupt)
{
    g_onInterrupt = std::move(onInterrupt);
    return SetConsoleCtrlHandler(OnConsoleCtrl, TRUE) != 0;
}

bool InterruptProcess(qint64 pid)
{
    // Reaches the target only when it shares this console's process group.
    return pid > 0 && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid)) != 0;
}

} // namespace platform
