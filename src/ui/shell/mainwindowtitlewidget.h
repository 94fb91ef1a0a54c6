#pragma once
#include <QPointer>
#include <QWidget>

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class TitleBar;
class AboutDialog;

// What the account menu shows about the logged-in account.
struct UserInfo
{
    QString account;
    bool expired = false;
    qint64 leftDay = 0;
    quint64 expirationTime = 0; // milliseconds since the epoch
    quint64 space = 0;          // bytes
    qint64 remainBytes = 0;     // bytes
};

// The main window's title bar: page buttons on the left, the account and
// settings menus and the window buttons on the right.
class MainWindowTitleWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 48;
    static constexpr int kAccountElideWidth = 254;

    explicit MainWindowTitleWidget(QWidget* parent = nullptr);

    // Fills the user information block of the account menu.
    void SetUserInfo(const UserInfo& info);
    // Marks which page button is current.
    void SetCurrentPage(int index);

    QMenu* accountMenu() const { return accountMenu_; }
    QMenu* settingsMenu() const { return settingsMenu_; }
    QWidget* userInfoWidget() const { return userInfoWidget_; }

    // Texts of the information block, exposed for checks.
    static QString ExpiryText(const UserInfo& info);
    // Value of the storage bar; -1 when it is left unset (no space at all).
    static int StorageBarValue(const UserInfo& info, bool* overflow);

signals:
    void SignalJumpToVideoList();
    void SignalJumpToTransferList();
    void SignalExit(int exitCode);
    void SignalQuit();
    void SignalOpenPreferences();
    void SignalCheckForUpdates();
    // Start all (true) or suspend all (false) from the settings menu.
    void SignalAllOperation(bool start);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildUi();
    void BuildAccountMenu();
    void BuildSettingsMenu();
    void PlaceMenu(QMenu* menu);
    void OpenAbout();

    TitleBar* titleBar_ = nullptr;
    QWidget* pageButtonWidget_ = nullptr;
    QLabel* logoLabel_ = nullptr;
    QPushButton* videoListBtn_ = nullptr;
    QPushButton* transferListBtn_ = nullptr;
    QWidget* controlWidget_ = nullptr;
    QPushButton* accountBtn_ = nullptr;
    QPushButton* feedbackBtn_ = nullptr;
    QPushButton* settingsBtn_ = nullptr;
    QMenu* accountMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QWidget* userInfoWidget_ = nullptr;
    QLabel* emailLabel_ = nullptr;
    QLabel* expiredValueLabel_ = nullptr;
    QLabel* storageValueLabel_ = nullptr;
    QProgressBar* storageBar_ = nullptr;
    QPointer<AboutDialog> aboutDialog_;
};
