#pragma once
// What the core tests share: whole-file reads and writes, and child copies of
// the test executable for the paths that end a process (ORVANE_TST_CHILD
// selects what the child does, ORVANE_TST_PATH hands it a file).

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace coretest {

constexpr char kChildEnv[] = "ORVANE_TST_CHILD";
constexpr char kPathEnv[] = "ORVANE_TST_PATH";

inline QString ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

inline bool WriteAll(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Runs a child copy (`exe`, by default this executable) to its end; its
// stdout is returned in `out`. The offscreen platform plugin leaks a few
// bytes at exit, which is not ours to judge in the child's status.
inline bool RunChild(QProcess& p, const QString& mode, const QString& path = QString(),
                     const QStringList& args = {},
                     QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                     const QString& exe = QCoreApplication::applicationFilePath())
{
    env.insert(QString::fromLatin1(kChildEnv), mode);
    if (!path.isEmpty())
        env.insert(QString::fromLatin1(kPathEnv), path);
    if (!env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    p.setProcessEnvironment(env);
    p.start(exe, args);
    return p.waitForFinished(60000);
}

} // namespace coretest
