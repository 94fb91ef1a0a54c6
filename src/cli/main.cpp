// orvane-upload: the client's uploads from a terminal or a script.

#include "base/config.h"
#include "base/logging.h"
#include "base/paths.h"
#include "cli/uploadcli.h"
#include "storage/dbmanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QTranslator>

#include <curl/curl.h>

#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-upload"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4.2"));

    // Log lines go to the run's own file, never between the progress lines.
    qInstallMessageHandler(MessageHandler);
    const QString logName = LogBasePath() + QStringLiteral("_cli.log");
    if (!OpenLogFile(logName))
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qInfo().noquote() << "orvane-upload" << QCoreApplication::arguments().mid(1).value(0);

    // The client's language where the system speaks it; English otherwise.
    QTranslator translator;
    if (QLocale::system().language() == QLocale::Chinese &&
        translator.load(ResourceDir(QStringLiteral("translations")) + QStringLiteral("/zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);

    auto config = std::make_unique<Config>(WorkDir() + QStringLiteral("/global.ini"));
    config->RegisterDefaults();
    Config::SetGlobal(config.get());
    const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

    int code = 2;
    {
        UploadCli cli(*config);
        code = curlReady ? cli.Run(QCoreApplication::arguments().mid(1)) : 2;
    }
    DBManager::Close();
    if (curlReady)
        curl_global_cleanup();
    qInfo() << "Exit code:" << code;
    CloseLogFile();
    Config::SetGlobal(nullptr);
    return code;
}
