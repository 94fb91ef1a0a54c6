#include "app/application.h"
#include "app/diagnostics.h"
#include "app/singleinstance.h"
#include "base/config.h"
#include "base/logging.h"
#include "base/paths.h"
#include "ui/desktop/desktopshell.h"

#include <QDebug>
#include <QDir>
#include <QSysInfo>

#include <memory>

int main(int argc, char** argv)
{
    qInstallMessageHandler(MessageHandler);

    const QString logName = LogBasePath() + QStringLiteral("_client.log");
    QString reason;
    if (!OpenLogFile(logName, &reason))
        qCritical("Open log failed: \"%s\", reason: %s", logName.toUtf8().constData(),
                  reason.toUtf8().constData());

    qInfo().noquote() << "Run in work dir:" << QDir::currentPath();
    qInfo().noquote() << "System info:" << QSysInfo::prettyProductName() << QSysInfo::kernelVersion()
                      << QSysInfo::currentCpuArchitecture();

    InstallCrashHandlerForRun();

    auto config = std::make_unique<Config>(WorkDir() + QStringLiteral("/global.ini"));
    Config::SetGlobal(config.get());

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    auto app = std::make_unique<Application>(*config, argc, argv);
    LogApplicationInfo();

    // One client per user: a second start hands its files to the first and ends.
    SingleInstance single(WorkDir());
    const QStringList files = SingleInstance::FileArguments(QCoreApplication::arguments());
    int code = 0;
    if (single.HandToRunning(files)) {
        qInfo() << "Handed over to the running client:" << files;
    } else {
        single.Listen();
        code = 1;
        if (app->Init()) {
            DesktopShell* desktop = app->desktopShell();
            QObject::connect(&single, &SingleInstance::SignalArguments, desktop,
                             &DesktopShell::OnSecondStart);
            desktop->OpenFiles(files);
            code = app->Run();
        }
    }

    qInfo() << "Exit code:" << code;
    CloseLogFile();
    app.reset();
    Config::SetGlobal(nullptr);
    config.reset();
    return code;
}
