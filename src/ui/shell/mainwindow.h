#pragma once
#include <QWidget>

#include <functional>

#include "ui/common/shellservices.h"

class QStackedWidget;
class MainWindowTitleWidget;
class TransferListWidget;
class VideoListWidget;

// The frameless main window: its title bar and the stack of the video
// library page and the transfer list page.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRestartExitCode = 1024;

    explicit MainWindow(const ShellServices& services, QWidget* parent = nullptr);

    // Second construction step, run by the application right after the login.
    void Init();

    // Asks before leaving while uploads run; pauses them when the user agrees.
    bool ConfirmExit();
    // Leaves the program from anywhere (tray menu, post-upload action): the
    // exit confirmation, then every window closes and the event loop ends.
    bool RequestQuit();
    // Asked on every close: true hides the window (to the tray) instead.
    void SetHideOnClose(std::function<bool()> hideOnClose) { hideOnClose_ = std::move(hideOnClose); }

    MainWindowTitleWidget* titleWidget() const { return titleWidget_; }
    QStackedWidget* stackedWidget() const { return stackedWidget_; }
    VideoListWidget* videoListPage() const { return videoList_; }
    TransferListWidget* transferListPage() const { return transferList_; }

public slots:
    // Start all / suspend all, from the title bar's menu or the tray.
    void OnAllOperation(bool start);

signals:
    void SignalExit(int code);
    void SignalHiddenToTray();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ShellServices services_;
    QWidget* titleBarWidget_ = nullptr;
    MainWindowTitleWidget* titleWidget_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    VideoListWidget* videoList_ = nullptr;
    TransferListWidget* transferList_ = nullptr;
    std::function<bool()> hideOnClose_;
    bool quitting_ = false;
};
