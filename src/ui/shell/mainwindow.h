#pragma once
#include <QWidget>

#include <functional>

class QStackedWidget;
class MainWindowTitleWidget;
class CategoryTreeModel;
class VideoTableModel;
class VideoListWidget;

// The frameless main window: its title bar and the stack of the video
// library page and the transfer list page.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRestartExitCode = 1024;

    explicit MainWindow(QWidget* parent = nullptr);
    // With the shared models the window hosts the library page; without,
    // a placeholder stands in for it.
    MainWindow(CategoryTreeModel* categories, VideoTableModel* videos, QWidget* parent = nullptr);

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
    QWidget* videoListPage() const { return videoList_; }
    VideoListWidget* videoListWidget() const { return videoListWidget_; }
    QWidget* transferListPage() const { return transferList_; }

public slots:
    void OnAllOperation(bool start);

signals:
    void SignalExit(int code);
    void SignalHiddenToTray();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakePlaceholderPage(const QString& objectName, const QString& text);

    QWidget* titleBarWidget_ = nullptr;
    MainWindowTitleWidget* titleWidget_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    QWidget* videoList_ = nullptr;
    VideoListWidget* videoListWidget_ = nullptr;
    CategoryTreeModel* categories_ = nullptr;
    VideoTableModel* videos_ = nullptr;
    QWidget* transferList_ = nullptr;
    std::function<bool()> hideOnClose_;
    bool quitting_ = false;
};
