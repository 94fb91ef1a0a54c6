// Crash report for Linux and the other Unix systems: a text file with the
// signal, the fault address and a backtrace, written from the signal handler
// with async-signal-safe calls only.

#include "platform/platform.h"

#include <QString>

#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxPath = 4096;
constexpr int kMaxFrames = 64;
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

char g_reportPath[kMaxPath];
volatile sig_atomic_t g_installed = 0;
// Stack overflows run the handler on this stack.
alignas(16) char g_altStack[64 * 1024];

const char* SignalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

void WriteAll(int fd, const char* text, size_t len)
{
    while (len > 0) {
        const ssize_t n = write(fd, text, len);
        if (n <= 0)
            return;
        text += n;
        len -= static_cast<size_t>(n);
    }
}

void WriteText(int fd, const char* text)
{
    WriteAll(fd, text, std::strlen(text));
}

void WriteUnsigned(int fd, unsigned long long value, int base)
{
    char buf[32];
    int pos = sizeof(buf);
    do {
        const int digit = static_cast<int>(value % static_cast<unsigned>(base));
        buf[--pos] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= static_cast<unsigned>(base);
    } while (value != 0 && pos > 0);
    WriteAll(fd, buf + pos, sizeof(buf) - static_cast<size_t>(pos));
}

void CrashHandler(int sig, siginfo_t* info, void*)
{
    const int fd = open(g_reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        WriteText(fd, "Crash report\nSignal: ");
        WriteUnsigned(fd, static_cast<unsigned>(sig), 10);
        WriteText(fd, " (");
        WriteText(fd, SignalName(sig));
        WriteText(fd, ")\nCode: ");
        WriteUnsigned(fd, static_cast<unsigned>(info ? info->si_code : 0), 10);
        WriteText(fd, "\nAddress: 0x");
        WriteUnsigned(fd, reinterpret_cast<unsigned long long>(info ? info->si_addr : nullptr), 16);
        WriteText(fd, "\nProcess: ");
        WriteUnsigned(fd, static_cast<unsigned>(getpid()), 10);
        WriteText(fd, "\nBacktrace:\n");
        void* frames[kMaxFrames];
        const int count = backtrace(frames, kMaxFrames);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    // Hand the signal on to the default action so the process ends the way it
    // would have without us (core dump, exit status).
    signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

namespace platform {

void InstallCrashHandler(const wchar_t* dumpPath)
{
    if (!dumpPath) {
        if (g_installed) {
            for (const int sig : kSignals)
                signal(sig, SIG_DFL);
            g_installed = 0;
        }
        return;
    }
    const QByteArray path = QString::fromWCharArray(dumpPath).toLocal8Bit();
    std::memset(g_reportPath, 0, sizeof(g_reportPath));
    std::memcpy(g_reportPath, path.constData(), static_cast<size_t>(qMin(path.size(), kMaxPath - 1)));

    // backtrace() loads its unwinder on first use, which is not safe inside a
    // signal handler; do that now.
    void* warmUp[1];
    backtrace(warmUp, 1);

    stack_t stack{};
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof(g_altStack);
    sigaltstack(&stack, nullptr);

    struct sigaction action
    {
    };
    action.sa_sigaction = CrashHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int sig : kSignals)
        sigaction(sig, &action, nullptr);
    g_installed = 1;
}

} // namespace platform
