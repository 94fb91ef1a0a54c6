#pragma once
// The preferences: basic settings and transfer settings. Most controls write
// their setting the moment they change and hand the proxy and upload settings
// to the upload manager at once.

#include <QDialog>
#include <QPointer>

class Config;
class SDKManager;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStackedWidget;
class TitleBar;

class PreferenceDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMinSpeed = 100;
    static constexpr int kMaxSpeed = 102400;

    PreferenceDialog(Config& config, SDKManager* uploads, QWidget* parent = nullptr);

    // The window over which a refused speed limit is reported when the dialog closes.
    void SetToastWindow(QWidget* window) { toastWindow_ = window; }
    void ShowBasicPage();
    void ShowTransferPage();

signals:
    void SignalAboutToClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildUi();
    QWidget* BuildBasicPage();
    QWidget* BuildTransferPage();
    void Load();
    void ConnectHandlers();
    void SetProxyFieldsEnabled(bool enabled);
    void ApplyProxy();
    void ApplySpeedLimit();
    void ApplySettings();

    Config& config_;
    SDKManager* uploads_;
    QPointer<QWidget> toastWindow_;
    bool closing_ = false;

    TitleBar* titleWidget_ = nullptr;
    QWidget* pageButtonWidget_ = nullptr;
    QPushButton* basicSettingsBtn_ = nullptr;
    QPushButton* transferSettingsBtn_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    QScrollArea* basicSettingsPageScrollArea_ = nullptr;
    QScrollArea* transferSettingsPageScrollArea_ = nullptr;

    QCheckBox* openStartupCheckBox_ = nullptr;
    QCheckBox* autoUpdateCheckBox_ = nullptr;
    QCheckBox* optimizeCheckBox_ = nullptr;
    QRadioButton* hideCloseBehaviorRadioBtn_ = nullptr;
    QRadioButton* quitCloseBehaviorRadioBtn_ = nullptr;

    QComboBox* uploadTasksNumComboBox_ = nullptr;
    QCheckBox* autoStartUploadCheckBox_ = nullptr;
    QRadioButton* unlimitedSpeedRadioButton_ = nullptr;
    QRadioButton* limitedSpeedRadioButton_ = nullptr;
    QLineEdit* limitedSpeedValueLineEdit_ = nullptr;
    QComboBox* proxyTypeComboBox_ = nullptr;
    QLineEdit* addressLineedit_ = nullptr;
    QLineEdit* portLineedit_ = nullptr;
    QLineEdit* usernameLineedit_ = nullptr;
    QLineEdit* passwordLineedit_ = nullptr;
    QPushButton* applyProxyBtn_ = nullptr;
};
