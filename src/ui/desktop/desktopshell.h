#pragma once
// The client's place on the desktop: the tray icon with its menu, closing the
// main window to the tray, notifications about uploads, the post-upload
// action with its countdown, and files handed over by a second start.

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class Config;
class MainWindow;
class PostUploadAction;
class PostUploadDialog;
class QMenu;
class QSystemTrayIcon;
class SDKManager;
class UploadActivity;
class UploadNotifier;

class DesktopShell : public QObject
{
    Q_OBJECT
public:
    DesktopShell(Config& config, SDKManager* uploads, QObject* parent = nullptr);
    ~DesktopShell() override;

    // After the login: the tray appears (when the desktop has one), the window
    // closes to it as configured, and files waiting for a login are opened.
    void AttachMainWindow(MainWindow* window);

    // Opens the upload dialog with `files` once a user is logged in.
    void OpenFiles(const QStringList& files);
    // A second start handed its file arguments over: raise our window, open them.
    void OnSecondStart(const QStringList& files);
    void ShowWindow();

    // "Application"/"closeBehavior" is "hide" and the tray icon is there.
    bool HidesOnClose() const;

    UploadActivity* activity() const { return activity_; }
    PostUploadAction* postAction() const { return postAction_; }
    UploadNotifier* notifier() const { return notifier_; }
    PostUploadDialog* countdownDialog() const { return countdown_.get(); }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QMenu* trayMenu() const { return trayMenu_.get(); }
    QString trayToolTip() const;

private:
    void CreateTray();
    void DestroyTray();
    void BindPostTaskMenu();
    void UpdateToolTip();
    void OpenPendingFiles();

    Config& config_;
    UploadActivity* activity_ = nullptr;
    PostUploadAction* postAction_ = nullptr;
    UploadNotifier* notifier_ = nullptr;
    std::unique_ptr<PostUploadDialog> countdown_; // top-level: shown with the window in the tray
    QPointer<MainWindow> window_;
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> trayMenu_; // the tray icon does not own its menu
    QStringList pendingFiles_;
    bool toldAboutTray_ = false;
};
