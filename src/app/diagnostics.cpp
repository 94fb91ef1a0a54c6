#include "app/diagnostics.h"

#include "base/logging.h"
#include "base/paths.h"
#include "platform/platform.h"

#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QScreen>
#include <QSysInfo>

#include <cstring>

namespace {
// Lives for the whole process: the crash handler reads it after a fault.
wchar_t g_dumpPath[260];
} // namespace

QString InstallCrashHandlerForRun()
{
    const QString dir = WorkDir(QStringLiteral("crash"));
    if (dir.isNull())
        return QString();
    const QString path = QDir(dir).absoluteFilePath(
        StartTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) + QStringLiteral(".dmp"));
    std::memset(g_dumpPath, 0, sizeof(g_dumpPath));
    const int capacity = static_cast<int>(sizeof(g_dumpPath) / sizeof(g_dumpPath[0])) - 1;
    path.left(capacity).toWCharArray(g_dumpPath);
    platform::InstallCrashHandler(g_dumpPath);
    return path;
}

void LogApplicationInfo()
{
    qInfo().noquote() << "Application info:" << QCoreApplication::applicationName()
                      << QCoreApplication::applicationVersion() << QSysInfo::buildCpuArchitecture();
    qInfo().noquote() << "Application argv:" << QCoreApplication::arguments();
    qInfo() << "Screen information:";

    const QMetaEnum orientation = QMetaEnum::fromType<Qt::ScreenOrientation>();
    const auto orientationName = [&orientation](Qt::ScreenOrientation o) {
        return QString::fromLatin1(orientation.valueToKey(o));
    };
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        qInfo().noquote() << "name:" << screen->name()
                          << (screen == primary ? QStringLiteral("[Primary]") : QString());
        qInfo().noquote() << "  manufacturer:" << screen->manufacturer();
        qInfo().noquote() << "  model:" << screen->model();
        qInfo().noquote() << "  depth:" << screen->depth();
        qInfo().noquote() << "  refreshRate:" << screen->refreshRate();
        qInfo().noquote() << "  physicalSize:" << screen->physicalSize();
        qInfo().noquote() << "  physicalDotsPerInchX:" << screen->physicalDotsPerInchX();
        qInfo().noquote() << "  physicalDotsPerInchY:" << screen->physicalDotsPerInchY();
        qInfo().noquote() << "  physicalDotsPerInch:" << screen->physicalDotsPerInch();
        qInfo().noquote() << "  logicalDotsPerInchX:" << screen->logicalDotsPerInchX();
        qInfo().noquote() << "  logicalDotsPerInchY:" << screen->logicalDotsPerInchY();
        qInfo().noquote() << "  logicalDotsPerInch:" << screen->logicalDotsPerInch();
        qInfo().noquote() << "  devicePixelRatio:" << screen->devicePixelRatio();
        qInfo().noquote() << "  geometry:" << screen->geometry();
        qInfo().noquote() << "  availableGeometry:" << screen->availableGeometry();
        qInfo().noquote() << "  virtualGeometry:" << screen->virtualGeometry();
        qInfo().noquote() << "  availableVirtualGeometry:" << screen->availableVirtualGeometry();
        qInfo().noquote() << "  primaryOrientation:" << orientationName(screen->primaryOrientation());
        qInfo().noquote() << "  orientation:" << orientationName(screen->orientation());
        qInfo().noquote() << "  nativeOrientation:" << orientationName(screen->nativeOrientation());
    }
}
