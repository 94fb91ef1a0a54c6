#pragma once
// The global application object: brings the services up in order, runs the
// event loop, restarts the program on request and takes everything down again.

#include <QApplication>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

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

    // A style sheet from the themes folder beside the executable; empty when missing.
    static QString LoadQss(const QString& fileName);
    void LoadTranslator(const QString& path);

    // Hand the current settings to the upload manager; called again after the
    // user changed them.
    bool InitNetWorkManager();
    bool ApplyUploadSettings();

    Config* config() const { return config_; }
    CategoryTreeModel* categoryTreeModel() const { return categoryTreeModel_; }
    VideoTableModel* videoTableModel() const { return videoTableModel_; }
    AccountManager* accountManager() const { return accountManager_; }
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
    void SignalReloadQss();

private:
    void MigrateLegacyAccounts();
    bool StoreLegacyUser(const QString& account, const QString& password, bool rememberPassword);

    // Steps that belong to other services; each is called at its place in Init or Stop.
    void OpenDatabase();
    void CreateAccountManager();
    void PushProxySettings(int type, const QString& host, uint port, const QString& user,
                           const QString& password);
    void PushUploadSettings(int maxConcurrentUploads, bool autoStartUpload, int limitedSpeedKBps);
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

    CategoryTreeModel* categoryTreeModel_ = nullptr;
    VideoTableModel* videoTableModel_ = nullptr;
    MainWindow* mainWindow_ = nullptr;
    LoginDialog* loginDialog_ = nullptr;
    Config* config_ = nullptr;
    AccountManager* accountManager_ = nullptr;
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
