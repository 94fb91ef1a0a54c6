#pragma once
// The command line of orvane-upload: one command, its arguments and options.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

struct CliArgs
{
    Q_DECLARE_TR_FUNCTIONS(CliArgs)

public:
    enum Command
    {
        None,
        Help,
        Version,
        Login,
        Logout,
        Upload,
        Resume,
        List,
        Delete,
        Watch,
    };

    Command command = None;
    QStringList positional; // files, the vid or the folder
    QString email;
    bool passwordStdin = false;
    qint64 cateId = 1; // the account's top category
    QString title;
    QString tags;
    int parallel = 0;   // 0: the settings' "uploadTasksNum"
    int limitKBps = -1; // -1: the settings' "limitedSpeedValue"
    bool json = false;
    QString apiUrl;
    QString cacert;
    QString proxy;
    int settleSeconds = 3; // watch: seconds a file's size must stay unchanged

    // Fills *args, or returns false with the reason in *error.
    static bool Parse(const QStringList& arguments, CliArgs* args, QString* error);
    static QString Usage();
};

// Proxy given as [http://][user[:password]@]host:port.
struct CliProxy
{
    QString host;
    int port = 0;
    QString user;
    QString password;

    static bool Parse(const QString& text, CliProxy* proxy);
};
