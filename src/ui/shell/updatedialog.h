#pragma once
// Checks for a newer client, shows its release notes, downloads the installer
// with progress and starts it. The version check also runs without the dialog
// at start-up; its answer is kept for the whole process.

#include "api/apicollection.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QPointer>

#include <functional>
#include <memory>

class Config;
class QLabel;
class QMovie;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class SDKManager;
class TitleBar;

class UpdateDialog : public QDialog
{
    Q_OBJECT
public:
    enum CheckVersionResult
    {
        AlreadyUpToDate = 0,
        CheckFailed = 1,
        HasNewerVersion = 2
    };
    Q_ENUM(CheckVersionResult)

    enum PageState
    {
        Checking = 0,
        UpToDate = 1,
        CheckFailedPage = 2,
        NewVersion = 3,
        Downloading = 4,
        DownloadFailed = 5,
        Install = 6
    };

    using AbortFlag = ApiCollection::AbortFlag;
    using CheckWatcher = QFutureWatcher<CheckVersionResult>;

    // The blocking check, for a worker thread.
    static CheckVersionResult CheckVersion(const AbortFlag* abortFlag);
    // Runs CheckVersion on the thread pool and hands its result to `done` on
    // the interface thread. The flag must outlive the check.
    static std::shared_ptr<CheckWatcher> StartCheckVersion(std::shared_ptr<AbortFlag> abortFlag,
                                                           std::function<void(CheckVersionResult)> done);
    static bool IsNewerVersion(const QString& serverVersion);
    // The update service's last answer.
    static ApiCollection::ClientUpdateInfo LastUpdateInfo();
    // Aborts every check and download still running and waits for them; the
    // stop sequence calls it before the transport is cleaned up.
    static void AbortAndWaitForWorkers();

    // The one dialog: raised when it exists, else created and shown with a new
    // check. `uploads` is asked before the installer ends the client (may be
    // null: nothing to lose); `area` is the widget whose area it centres on
    // (may be null).
    static UpdateDialog* ShowUpdateDialog(Config* config, SDKManager* uploads, QWidget* area = nullptr);
    // The one dialog on its new-version page, from the last check's answer.
    static UpdateDialog* ShowNewVersion(Config* config, SDKManager* uploads, QWidget* area = nullptr);
    static UpdateDialog* Current();

    UpdateDialog(Config* config, SDKManager* uploads, QWidget* area = nullptr);
    ~UpdateDialog() override;

    void StartCheck();
    int State() const { return state_; }
    // Where the installer is downloaded to and started from.
    QString InstallerPath() const;

signals:
    void SignalDownloadProgress(qlonglong downloadedBytes, qlonglong totalBytes);
    void SignalDownloadSucceed();
    void SignalDownloadFailed();

public slots:
    void SlotSetDownloadPercent(int percent);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    static UpdateDialog* ShowOnce(Config* config, SDKManager* uploads, QWidget* area, PageState first);
    void BuildUi();
    void SetState(int state);
    void StartDownload();
    void OnDownloadProgress(qlonglong downloaded, qlonglong total);
    void OnDownloadSucceed();
    void OnCheckPageButton();
    void OnDownloadPageButton();
    void OnInstall();
    bool ConfirmAbort();

    Config* config_ = nullptr;
    SDKManager* uploads_ = nullptr;
    QPointer<QWidget> area_;
    int state_ = -1;
    // Shared with the workers, so a worker outliving the dialog reads valid flags.
    std::shared_ptr<AbortFlag> checkAbort_;
    std::shared_ptr<AbortFlag> downloadAbort_;
    std::shared_ptr<CheckWatcher> checkWatcher_;
    bool downloading_ = false;
    qlonglong downloadTotal_ = 0;
    QString installerPath_;

    TitleBar* titlebar_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    QWidget* checkPage_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLabel* checkingLoadingLabel_ = nullptr;
    QMovie* loadingMovie_ = nullptr;
    QLabel* remarkLabel_ = nullptr;
    QPushButton* checkPageButton_ = nullptr;
    QWidget* updateInfoPage_ = nullptr;
    QLabel* newVersionLabel_ = nullptr;
    QTextBrowser* newVersionDescTextEdit_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QWidget* downloadPage_ = nullptr;
    QLabel* downloadInfoLabel_ = nullptr;
    QPushButton* downloadPageButton_ = nullptr;
    QWidget* installPage_ = nullptr;
    QLabel* installPackageInfoLabel_ = nullptr;
    QPushButton* installButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};
