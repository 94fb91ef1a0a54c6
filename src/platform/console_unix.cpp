#include "platform/platform.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};
std::function<void()> g_onInterrupt;

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

int Fd(Stream stream)
{
    switch (stream) {
    case Stream::In:
        return STDIN_FILENO;
    case Stream::Out:
        return STDOUT_FILENO;
    case Stream::Err:
        return STDERR_FILENO;
    }
    return -1;
}

} // namespace

bool IsTerminal(Stream stream)
{
    return ::isatty(Fd(stream)) == 1;
}

bool ReadSecret(const QString& prompt, QString* secret)
{
    // The terminal itself, so that a redirected stdin/stdout does not matter.
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const QByteArray text = prompt.toLocal8Bit();
    [[maybe_unused]] ssize_t n = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    termios saved{};
    const bool haveAttrs = ::tcgetattr(fd, &saved) == 0;
    if (haveAttrs) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c = 0;
    bool ok = false;
    while (::read(fd, &c, 1) == 1) {
        if (c == '\n') {
            ok = true;
            break;
        }
        line.push_back(c);
    }
    if (haveAttrs)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    *secret = QString::fromLocal8Bit(line.data(), static_cast<int>(line.size()));
    // Wipe our copy; the QString is the caller's to keep.
    std::fill(line.begin(), line.end(), '\0');
    return ok || !secret->isEmpty();
}

bool WatchInterrupt(std::function<void()> onInterrupt)
{
    g_onInterrupt = std::move(onInterrupt);
    if (g_pipe[0] >= 0)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCritical() << "pipe2 failed:" << errno;
        return false;
    }
    // Owned by the application object; it lives as long as the event loop.
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[64];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        if (g_onInterrupt)
            g_onInterrupt();
    });
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

bool InterruptProcess(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGINT) == 0;
}

} // namespace platform
