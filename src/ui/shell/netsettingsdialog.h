#pragma once
#include <QDialog>

class Config;
class SDKManager;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TitleBar;

// Proxy settings as reachable from the login dialog, before any login.
class NetSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // Writes the proxy into `config` and hands it on to `uploads`.
    NetSettingsDialog(Config& config, SDKManager* uploads, QWidget* parent = nullptr);

    // The regular expression of a port number from 0 to 65535.
    static QString PortPattern();

public slots:
    void OnApply();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildUi();
    void Load();
    void SetFieldsEnabled(bool enabled);

    Config& config_;
    SDKManager* uploads_;
    TitleBar* titleWidget_ = nullptr;
    QWidget* settingsWidget_ = nullptr;
    QComboBox* proxyTypeComboBox_ = nullptr;
    QLineEdit* addressLineedit_ = nullptr;
    QLineEdit* portLineedit_ = nullptr;
    QLineEdit* usernameLineedit_ = nullptr;
    QLineEdit* passwordLineedit_ = nullptr;
    QLabel* noticeIcon_ = nullptr;
    QLabel* noticeLabel_ = nullptr;
    QPushButton* applyBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};
