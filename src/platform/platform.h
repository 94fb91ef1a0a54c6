#pragma once
// The thin layer over the operating system. Everything that differs between
// Windows and the others lives behind these functions; the implementations are
// picked per OS by the build (*_win.cpp, *_unix.cpp).

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// Sends one chunk of log text to an attached debugger (nothing where the OS
// has no such channel).
void DebuggerOutput(const QString& text);

// Ends the process at once, without clean-up. Used after a fatal message.
[[noreturn]] void FailFast();

// Installs the crash handler that writes a report to dumpPath when the process
// faults; a null path restores the default handling. The path is copied.
void InstallCrashHandler(const wchar_t* dumpPath);

// Start-with-the-system entry for the program at exePath, named appName.
bool IsAutoStart(const QString& appName, const QString& exePath);
bool SetAutoStart(const QString& appName, const QString& exePath, bool enable);

// Opens the file manager with the file selected (or the folder opened when
// selecting is not possible).
void ShowInExplorer(const QString& path);

// File name for a downloaded installer when the settings name none: what
// the download URL ends in where packages run as they are, else the
// platform's setup program name.
QString DefaultInstallerName(const QString& downloadUrl);

// Starts a downloaded installer, detached and without arguments. A package
// that runs by itself is made executable and started; any other file goes to
// the desktop's default handler. Returns whether it was started.
bool StartInstaller(const QString& path);

// The arguments for explorer.exe that select `path` in its folder: "/select,"
// and the path with Windows separators as two arguments, so that a path with
// spaces is quoted on its own and arrives whole. The same on every OS.
QStringList ExplorerSelectArguments(const QString& path);

// A desktop notification through the session's notification service. False
// at once when the desktop offers none (the caller then uses its tray icon);
// delivery itself is asynchronous and failures are logged.
bool ShowNotification(const QString& appName, const QString& title, const QString& body);

enum class PowerAction
{
    Suspend,
    PowerOff,
};
using PowerActionDone = std::function<void(bool ok, const QString& error)>;
// Asks the OS to suspend or to power the computer off. The request is
// asynchronous; `done` runs later on the calling thread with the outcome.
void RequestPowerAction(PowerAction action, PowerActionDone done);

} // namespace platform

namespace platform {

// Console streams of a command-line program.
enum class Stream
{
    In,
    Out,
    Err,
};

// Whether the stream is an interactive terminal (not a pipe or a file).
bool IsTerminal(Stream stream);

// Prints prompt on the terminal and reads one line with echo switched off;
// false when no terminal can be read (the caller then refuses).
bool ReadSecret(const QString& prompt, QString* secret);

// Calls onInterrupt on the main thread, through its event loop, whenever the
// user interrupts the program (Ctrl+C, SIGINT, SIGTERM). Needs a running
// QCoreApplication; a later call replaces the callback.
bool WatchInterrupt(std::function<void()> onInterrupt);

// Interrupts another process as Ctrl+C in its console would.
bool InterruptProcess(qint64 pid);

} // namespace platform
