#pragma once
// The global application object: brings the services up in order, runs the
// event loop, restarts the program on request and takes everything down again.

#include <QApplication>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

#include "ui/common/shellservices.h"

class Config;
class CategoryTreeModel;
class VideoTableModel;
class AccountManager;
class LoginDialog;
class MainWindow;
class PreferenceDialog;
class DesktopShell;

class Application : public QApplication
{
    Q_OBJECT
public:
    // Exit code with which the event loop asks for a fresh process (switching the account).
    static constexpr int RestartExitCode = 1024;

    Application(Config& config, int& argc, char** argv);
    ~Application() override;

    static Application* instance() { return static_cast<Application*>(QCoreApplication::instance()); }

    bool Init();
    int Run();
    // Runs once per process, whether from aboutToQuit or from the destructor.
    void Stop();

    void LoadTranslator(const QString& path);

    Config* config() const { return services_.config; }
    // What every window is built with; complete once Init has run.
    const ShellServices& services() const { return services_; }
    CategoryTreeModel* categoryTreeModel() const { return services_.categories; }
    VideoTableModel* videoTableModel() const { return services_.videos; }
    AccountManager* accountManager() const { return services_.accounts; }
    LoginDialog* loginDialog() const { return loginDialog_; }
    MainWindow* mainWindow() const { return mainWindow_; }
    // Tray, notifications, post-upload action, files from a second start.
    DesktopShell* desktopShell() const { return desktop_; }

    // The preferences (one at a time) and the update dialog with a new check.
    void ShowPreferenceDialog();
    void ShowUpdateDialog();

signals:
    void SignalStartupLoadingFinish();
    void SignalAboutToAppStop();

private:
    void MigrateLegacyAccounts();
    bool StoreLegacyUser(const QString& account, const QString& password, bool rememberPassword);

    // Steps that belong to other services; each is called at its place in Init or Stop.
    void OpenDatabase();
    void CreateAccountManager();
    void CreateModels();
    void ShowLoginDialog();
    void ConnectLoginSucceed();
    void ShowMainWindow();
    void StartStartupVersionCheck();
    bool StartupVersionCheckRunning() const;
    void WaitForStartupVersionCheck();
    void DeleteWindows();
    void WaitForModelTasksAndDeleteModels();
    void CloseDatabase();
    void ShutdownUploadManager();

    void OnAboutToAppStop();
    // Opens the update dialog on its new-version page when the start-up check
    // found one, automatic updates are on and the main window is up.
    void OfferAutoUpdate();

    ShellServices services_;
    MainWindow* mainWindow_ = nullptr;
    LoginDialog* loginDialog_ = nullptr;
    DesktopShell* desktop_ = nullptr;
    // Abort flag of the start-up version check, read by its worker thread.
    std::shared_ptr<std::atomic<bool>> stopping_ = std::make_shared<std::atomic<bool>>(false);
    // The running start-up check; null once it has ended.
    std::shared_ptr<QObject> startupCheck_;
    int startupCheckResult_ = -1;
    bool autoUpdateOffered_ = false;
    QPointer<PreferenceDialog> preferenceDialog_;
    bool curlInitialized_ = false;
};
