#pragma once
// orvane-upload's commands over the client's core: the same settings,
// account store, upload queue, records and resume state as the desktop
// client, without a window.

#include "account/accountmanager.h"
#include "cli/cliargs.h"

#include <QEventLoop>
#include <QObject>

#include <memory>

class CliReporter;
class Config;
class UploadRun;

class UploadCli : public QObject
{
    Q_OBJECT
public:
    enum ExitCode
    {
        ExitOk = 0,
        ExitFailed = 1,
        ExitUsage = 2,
        ExitInterrupted = 130,
    };

    explicit UploadCli(Config& config, QObject* parent = nullptr);
    ~UploadCli() override;

    int Run(const QStringList& arguments);

private:
    int Login();
    int Logout();
    int Upload();
    int Resume();
    int List();
    int Delete();
    int Watch();

    // Logs in with the account the command line remembered; ExitOk or the code to end with.
    int StartSession();
    int LoginWith(const QString& email, const QString& password);
    // What every command that drives the queue starts with: the session, the
    // permission its work needs (else `refused` and ExitUsage) and the run,
    // with the command line's parallel and speed limits unless it starts
    // nothing. ExitOk or the code to end with.
    int StartRun(AccountManager::PermissionFlags needed, const QString& refused, bool applyLimits = true);
    // Runs the event loop until Quit.
    int Wait();
    void Quit(int code);
    void OnInterrupt();
    int RunUploads();
    void Error(const QString& text);
    void ApplyOverrides();
    QString RememberedAccount() const;

    Config& config_;
    CliArgs args_;
    std::unique_ptr<CliReporter> reporter_;
    std::unique_ptr<AccountManager> account_;
    std::unique_ptr<UploadRun> run_;
    QEventLoop loop_;
    bool waiting_ = false;
    bool interrupted_ = false;
};
