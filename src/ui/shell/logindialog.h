#pragma once
#include <QDialog>
#include <QStringList>

#include "ui/common/shellservices.h"

class QAction;
class QCheckBox;
class QComboBox;
class QCompleter;
class QLabel;
class QLineEdit;
class QListWidget;
class QMovie;
class QPushButton;
class QStackedWidget;
class QStringListModel;
class AccountItemWidget;

// First window of every run: waits for the start-up check, then takes the
// account and password, hands the login to the account manager and shows
// its outcome.
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    enum State
    {
        Loading = 0,
        MainPage = 1,
        LoggingIn = 2
    };
    static constexpr const char* kPasswordMask = "########";
    static constexpr const char* kClearAllAccount = "ClearAllAccount";

    explicit LoginDialog(const ShellServices& services, QWidget* parent = nullptr);
    ~LoginDialog() override;

    int State() const { return state_; }
    // The password that a login would send now.
    QString Password() const { return password_; }
    QStringList Accounts() const { return accounts_; }
    QString ErrorText() const;
    QListWidget* AccountList() const { return accountList_; }

public slots:
    void OnStartupLoadingFinish();
    void OnLogin();
    void OnCancel();
    void OnLoginFailed(const QString& error);

signals:
    void SignalCloseWhenLoading();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildUi();
    void Retranslate();
    void InitAccountList();
    void AddAccountRow(const QString& account);
    void AddClearAllRow();
    void OnAccountTextChanged(const QString& text);
    void OnAccountActivated(int index);
    void DeleteAccount(const QString& account);
    void ClearAllAccounts();
    void ShowMainPage();
    void ShowWaitingPage(const QString& text);
    void ShowError(const QString& text);
    void SetFieldError(QWidget* field, bool error);
    void OpenNetworkSettings();
    AccountItemWidget* RowWidget(int row) const;

    ShellServices services_;
    // Widgets, by object name.
    QWidget* titleWidget_ = nullptr;
    QLabel* logo_ = nullptr;
    QLabel* appNameLabel_ = nullptr;
    QPushButton* minBtn_ = nullptr;
    QPushButton* closeBtn_ = nullptr;
    QStackedWidget* stackedWidget_ = nullptr;
    QWidget* mainPage_ = nullptr;
    QWidget* waitingPage_ = nullptr;
    QComboBox* accountComboBox_ = nullptr;
    QLineEdit* passwordLineEdit_ = nullptr;
    QAction* showPasswordButton_ = nullptr;
    QCheckBox* rememberPasswordCheckbox_ = nullptr;
    QPushButton* networkSettingBtn_ = nullptr;
    QPushButton* loginBtn_ = nullptr;
    QWidget* errorArea_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QLabel* waitingPicLabel_ = nullptr;
    QLabel* waitingLabel_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QMovie* waitingMovie_ = nullptr;
    QListWidget* accountList_ = nullptr;
    QCompleter* completer_ = nullptr;
    QStringListModel* completerModel_ = nullptr;

    QStringList accounts_;
    QString password_;
    // The field shows the mask for a remembered password; the first key replaces it.
    bool maskShown_ = false;
    int state_ = Loading;
};
