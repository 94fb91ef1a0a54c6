#include "ui/shell/logindialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDebug>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStringListModel>
#include <QVBoxLayout>

#include "account/accountmanager.h"
#include "storage/dbmanager.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/shell/accountitemwidget.h"
#include "ui/shell/netsettingsdialog.h"

namespace {
QPushButton* MakeButton(QWidget* parent, const char* name)
{
    auto* btn = new QPushButton(parent);
    btn->setObjectName(QString::fromLatin1(name));
    btn->setAutoDefault(false);
    btn->setDefault(false);
    btn->setCursor(Qt::PointingHandCursor);
    return btn;
}
} // namespace

LoginDialog::LoginDialog(const ShellServices& services, QWidget* parent)
    : QDialog(parent), services_(services)
{
    setObjectName(QStringLiteral("LoginDialog"));
    BindStyleSheet(this, {QStringLiteral("LoginDialog.qss")});
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowCloseButtonHint);
    resize(326, 388);
    // Frameless and without a size grip: the size is the design's, not the layout's.
    setFixedSize(326, 388);
    BuildUi();

    const char* movie =
        devicePixelRatioF() > 1.0 ? ":/image/common/loading@2x.gif" : ":/image/common/loading.gif";
    waitingMovie_ = new QMovie(QString::fromLatin1(movie), QByteArray(), this);
    waitingMovie_->setScaledSize(QSize(40, 40));
    waitingPicLabel_->setMovie(waitingMovie_);

    passwordLineEdit_->setEchoMode(QLineEdit::Password);
    showPasswordButton_ = new QAction(passwordLineEdit_);
    showPasswordButton_->setObjectName(QStringLiteral("showPasswordButton"));
    showPasswordButton_->setCheckable(true);
    showPasswordButton_->setIcon(QIcon(QStringLiteral(":/image/login/eye-off.svg")));
    passwordLineEdit_->addAction(showPasswordButton_, QLineEdit::TrailingPosition);
    showPasswordButton_->setVisible(false);
    connect(showPasswordButton_, &QAction::toggled, this, [this](bool on) {
        passwordLineEdit_->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
        showPasswordButton_->setIcon(QIcon(on ? QStringLiteral(":/image/login/eye.svg")
                                              : QStringLiteral(":/image/login/eye-off.svg")));
    });
    connect(passwordLineEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        maskShown_ = false;
        showPasswordButton_->setVisible(true);
        password_ = text;
    });

    InitAccountList();
    Retranslate();
    ApplyPlaceholderColor(this);

    // The frameless dialog is dragged by any free spot.
    TitleBar::DragWindowBy(this);
    connect(services_.accounts, &AccountManager::SignalLoginSucceed, this, &QDialog::accept,
            Qt::QueuedConnection);
    connect(services_.accounts, &AccountManager::SignalLoginFailed, this, &LoginDialog::OnLoginFailed);
    connect(loginBtn_, &QPushButton::clicked, this, &LoginDialog::OnLogin);
    connect(cancelBtn_, &QPushButton::clicked, this, &LoginDialog::OnCancel);
    connect(networkSettingBtn_, &QPushButton::clicked, this, &LoginDialog::OpenNetworkSettings);
    connect(closeBtn_, &QPushButton::clicked, this, &QDialog::close);
    connect(minBtn_, &QPushButton::clicked, this, &QWidget::showMinimized);

    state_ = Loading;
    cancelBtn_->hide();
    ShowError(QString());
    ShowWaitingPage(tr("Login.Loading"));
}

LoginDialog::~LoginDialog() = default;

void LoginDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    titleWidget_ = new QWidget(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    titleWidget_->setAttribute(Qt::WA_StyledBackground);
    titleWidget_->setFixedHeight(126);
    auto* titleLayout = new QVBoxLayout(titleWidget_);
    titleLayout->setContentsMargins(8, 4, 6, 14);
    titleLayout->setSpacing(4);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(2);
    controls->addStretch(1);
    minBtn_ = MakeButton(titleWidget_, "minBtn");
    minBtn_->setIcon(QIcon(QStringLiteral(":/image/login/minimize-white.svg")));
    minBtn_->setFocusPolicy(Qt::NoFocus);
    closeBtn_ = MakeButton(titleWidget_, "closeBtn");
    closeBtn_->setIcon(QIcon(QStringLiteral(":/image/login/close-white.svg")));
    closeBtn_->setFocusPolicy(Qt::NoFocus);
    controls->addWidget(minBtn_);
    controls->addWidget(closeBtn_);
    titleLayout->addLayout(controls);
    logo_ = new QLabel(titleWidget_);
    logo_->setObjectName(QStringLiteral("logo"));
    logo_->setPixmap(QIcon(QStringLiteral(":/image/login/logo.svg")).pixmap(QSize(44, 44)));
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setFixedHeight(48);
    titleLayout->addWidget(logo_);
    appNameLabel_ = new QLabel(titleWidget_);
    appNameLabel_->setObjectName(QStringLiteral("appNameLabel"));
    appNameLabel_->setAlignment(Qt::AlignCenter);
    titleLayout->addWidget(appNameLabel_);
    root->addWidget(titleWidget_);

    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName(QStringLiteral("stackedWidget"));
    root->addWidget(stackedWidget_, 1);

    // Main page.
    mainPage_ = new QWidget(stackedWidget_);
    mainPage_->setObjectName(QStringLiteral("mainPage"));
    auto* form = new QVBoxLayout(mainPage_);
    form->setContentsMargins(28, 18, 28, 22);
    form->setSpacing(0);
    accountComboBox_ = new QComboBox(mainPage_);
    accountComboBox_->setObjectName(QStringLiteral("accountComboBox"));
    accountComboBox_->setEditable(true);
    accountComboBox_->setInsertPolicy(QComboBox::NoInsert);
    accountComboBox_->setMaxVisibleItems(10);
    accountComboBox_->setFixedHeight(36);
    accountComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    accountComboBox_->setMinimumContentsLength(10);
    accountComboBox_->setProperty("status", QString());
    form->addWidget(accountComboBox_);
    form->addSpacing(12);
    passwordLineEdit_ = new QLineEdit(mainPage_);
    passwordLineEdit_->setObjectName(QStringLiteral("passwordLineEdit"));
    passwordLineEdit_->setFixedHeight(36);
    passwordLineEdit_->setProperty("status", QString());
    form->addWidget(passwordLineEdit_);
    form->addSpacing(10);
    auto* optionsRow = new QHBoxLayout;
    optionsRow->setSpacing(8);
    rememberPasswordCheckbox_ = new QCheckBox(mainPage_);
    rememberPasswordCheckbox_->setObjectName(QStringLiteral("rememberPasswordCheckbox"));
    rememberPasswordCheckbox_->setCursor(Qt::PointingHandCursor);
    networkSettingBtn_ = MakeButton(mainPage_, "networkSettingBtn");
    networkSettingBtn_->setIcon(QIcon(QStringLiteral(":/image/login/network.svg")));
    networkSettingBtn_->setIconSize(QSize(14, 14));
    optionsRow->addWidget(rememberPasswordCheckbox_);
    optionsRow->addStretch(1);
    optionsRow->addWidget(networkSettingBtn_);
    form->addLayout(optionsRow);
    form->addSpacing(4);
    errorArea_ = new QWidget(mainPage_);
    errorArea_->setObjectName(QStringLiteral("errorArea"));
    auto* errorLayout = new QHBoxLayout(errorArea_);
    errorLayout->setContentsMargins(0, 0, 0, 0);
    errorLabel_ = new QLabel(errorArea_);
    errorLabel_->setObjectName(QStringLiteral("errorLabel"));
    errorLabel_->setWordWrap(true);
    errorLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    errorLayout->addWidget(errorLabel_);
    errorArea_->setMinimumHeight(34);
    form->addWidget(errorArea_);
    form->addStretch(1);
    loginBtn_ = MakeButton(mainPage_, "loginBtn");
    loginBtn_->setFixedHeight(40);
    form->addWidget(loginBtn_);
    stackedWidget_->addWidget(mainPage_);

    // Waiting page.
    waitingPage_ = new QWidget(stackedWidget_);
    waitingPage_->setObjectName(QStringLiteral("waitingPage"));
    auto* waiting = new QVBoxLayout(waitingPage_);
    waiting->setContentsMargins(28, 36, 28, 22);
    waiting->setSpacing(12);
    waitingPicLabel_ = new QLabel(waitingPage_);
    waitingPicLabel_->setObjectName(QStringLiteral("waitingPicLabel"));
    waitingPicLabel_->setAlignment(Qt::AlignCenter);
    waitingPicLabel_->setFixedHeight(44);
    waitingLabel_ = new QLabel(waitingPage_);
    waitingLabel_->setObjectName(QStringLiteral("waitingLabel"));
    waitingLabel_->setAlignment(Qt::AlignCenter);
    waitingLabel_->setWordWrap(true);
    cancelBtn_ = MakeButton(waitingPage_, "cancelBtn");
    cancelBtn_->setFixedHeight(40);
    waiting->addWidget(waitingPicLabel_);
    waiting->addWidget(waitingLabel_);
    waiting->addStretch(1);
    waiting->addWidget(cancelBtn_);
    stackedWidget_->addWidget(waitingPage_);

    accountComboBox_->installEventFilter(this);
    accountComboBox_->lineEdit()->installEventFilter(this);
    passwordLineEdit_->installEventFilter(this);
}

void LoginDialog::Retranslate()
{
    setWindowTitle(tr("LoginDialog.Title"));
    appNameLabel_->setText(QApplication::applicationDisplayName());
    accountComboBox_->lineEdit()->setPlaceholderText(tr("Login.AccountPlaceHolderText"));
    passwordLineEdit_->setPlaceholderText(tr("Login.PasswordPlaceHolderText"));
    rememberPasswordCheckbox_->setText(tr("Login.RememberPassword"));
    networkSettingBtn_->setText(tr("Login.NetworkSettings"));
    loginBtn_->setText(tr("Login.LoginButton"));
    waitingLabel_->setText(tr("Login.WaitingText"));
    cancelBtn_->setText(tr("Login.CancelButton"));
    minBtn_->setToolTip(tr("Minimum"));
    closeBtn_->setToolTip(tr("Close"));
}

void LoginDialog::InitAccountList()
{
    accounts_.clear();
    // A failed read has been logged; the list then starts empty.
    for (const DBManager::User& user : services_.database->SelectUsers().valueOr({}))
        accounts_.append(user.account);

    accountList_ = new QListWidget(accountComboBox_);
    accountList_->setObjectName(QStringLiteral("accountList"));
    accountList_->setResizeMode(QListView::Adjust);
    accountList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    accountComboBox_->setModel(accountList_->model());
    accountComboBox_->setView(accountList_);
    if (QWidget* popup = accountList_->window(); popup && popup != this)
        popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    accountList_->installEventFilter(this);
    // After the model: setting a model may hand the combo box's completer a new one.
    completerModel_ = new QStringListModel(accounts_, this);
    completer_ = new QCompleter(completerModel_, this);
    completer_->setCompletionMode(QCompleter::InlineCompletion);
    accountComboBox_->setCompleter(completer_);

    {
        const QSignalBlocker blocker(accountComboBox_);
        for (const QString& account : accounts_)
            AddAccountRow(account);
        if (!accounts_.isEmpty())
            AddClearAllRow();
    }
    connect(accountComboBox_, QOverload<int>::of(&QComboBox::activated), this,
            &LoginDialog::OnAccountActivated);
    connect(accountComboBox_, &QComboBox::currentTextChanged, this, &LoginDialog::OnAccountTextChanged);

    if (!accounts_.isEmpty()) {
        accountComboBox_->setCurrentIndex(0);
        accountComboBox_->setEditText(accounts_.first());
        OnAccountTextChanged(accounts_.first());
    } else {
        accountComboBox_->setCurrentIndex(-1);
        accountComboBox_->clearEditText();
    }
}

void LoginDialog::AddAccountRow(const QString& account)
{
    auto* item = new QListWidgetItem(account);
    item->setData(Qt::UserRole, account);
    item->setSizeHint(QSize(0, AccountItemWidget::kRowHeight));
    // The row widget draws the text; the item's own text would show through.
    item->setData(Qt::ForegroundRole, QBrush(Qt::transparent));
    accountList_->addItem(item);
    auto* widget = new AccountItemWidget(account, true);
    accountList_->setItemWidget(item, widget);
    connect(widget, &AccountItemWidget::AccountDelete, this, [this, account]() { DeleteAccount(account); });
}

void LoginDialog::AddClearAllRow()
{
    auto* item = new QListWidgetItem(QString());
    item->setData(Qt::UserRole, QString::fromLatin1(kClearAllAccount));
    item->setSizeHint(QSize(0, AccountItemWidget::kRowHeight));
    accountList_->addItem(item);
    auto* widget = new AccountItemWidget(tr("Login.ClearAllAccount"), false);
    widget->setObjectName(QString::fromLatin1(kClearAllAccount));
    accountList_->setItemWidget(item, widget);
    connect(widget, &AccountItemWidget::SignalClicked, this, [this]() {
        ClearAllAccounts();
        accountComboBox_->hidePopup();
    });
}

AccountItemWidget* LoginDialog::RowWidget(int row) const
{
    return qobject_cast<AccountItemWidget*>(accountList_->itemWidget(accountList_->item(row)));
}

void LoginDialog::OnAccountActivated(int index)
{
    QListWidgetItem* item = accountList_->item(index);
    if (!item)
        return;
    const QString data = item->data(Qt::UserRole).toString();
    if (data == QLatin1String(kClearAllAccount)) {
        ClearAllAccounts();
        return;
    }
    accountComboBox_->setEditText(data);
}

void LoginDialog::OnAccountTextChanged(const QString& text)
{
    for (int i = 0; i < accountList_->count(); ++i) {
        if (AccountItemWidget* w = RowWidget(i))
            w->SetSelected(false);
    }
    const int row = accounts_.indexOf(text);
    if (row >= 0) {
        accountList_->setCurrentRow(row);
        if (AccountItemWidget* w = RowWidget(row))
            w->SetSelected(true);
    }

    bool found = false;
    bool remember = false;
    for (const DBManager::User& user : services_.database->SelectUsers().valueOr({})) {
        if (user.account == text) {
            found = true;
            remember = user.rememberPassword;
            password_ = user.password;
            break;
        }
    }
    if (!found) {
        // Never send one account's saved password for another account.
        password_.clear();
    }
    rememberPasswordCheckbox_->setChecked(found && remember);
    if (found && remember) {
        passwordLineEdit_->setText(QString::fromLatin1(kPasswordMask));
        maskShown_ = true;
    } else {
        passwordLineEdit_->clear();
        maskShown_ = false;
    }
    showPasswordButton_->setChecked(false);
    showPasswordButton_->setVisible(false);
}

void LoginDialog::DeleteAccount(const QString& account)
{
    qDebug() << "delete" << account;
    if (accounts_.size() == 1 && accounts_.first() == account) {
        ClearAllAccounts();
        accountComboBox_->hidePopup();
    } else {
        const int row = accounts_.indexOf(account);
        if (row >= 0) {
            QListWidgetItem* item = accountList_->item(row);
            QWidget* widget = accountList_->itemWidget(item);
            accountList_->removeItemWidget(item);
            if (widget)
                widget->deleteLater();
            delete accountList_->takeItem(row);
            QWidget* popup = accountList_->window();
            if (popup && popup != this && accountList_->count() < 10)
                popup->resize(popup->width(), qMax(AccountItemWidget::kRowHeight,
                                                   popup->height() - AccountItemWidget::kRowHeight));
            accounts_.removeAt(row);
            completerModel_->setStringList(accounts_);
        }
    }
    services_.database->DeleteUser(account);
}

void LoginDialog::ClearAllAccounts()
{
    qDebug() << "Clear All Account";
    {
        const QSignalBlocker blocker(accountComboBox_);
        accountList_->clear();
    }
    accountComboBox_->setCompleter(nullptr);
    completer_ = nullptr;
    accountComboBox_->clearEditText();
    accounts_.clear();
    completerModel_->setStringList(accounts_);
    OnAccountTextChanged(QString());
    services_.database->DeleteAllUsers();
}

void LoginDialog::SetFieldError(QWidget* field, bool error)
{
    SetStyleProperty(field, "status", error ? QStringLiteral("error") : QString());
    if (field == accountComboBox_)
        SetStyleProperty(accountComboBox_->lineEdit(), "status", error ? QStringLiteral("error") : QString());
}

void LoginDialog::OnLogin()
{
    if (state_ != MainPage)
        return;
    SetFieldError(accountComboBox_, false);
    SetFieldError(passwordLineEdit_, false);
    const QString account = accountComboBox_->currentText();
    const bool remember = rememberPasswordCheckbox_->isChecked();
    if (account.isEmpty()) {
        ShowError(tr("LoginDialog.EmptyAccount"));
        SetFieldError(accountComboBox_, true);
        return;
    }
    if (password_.isEmpty()) {
        ShowError(tr("LoginDialog.EmptyPassword"));
        SetFieldError(passwordLineEdit_, true);
        return;
    }
    if (!account.contains(QLatin1Char('@'))) {
        ShowError(tr("LoginDialog.AccountIsNotEmail"));
        SetFieldError(accountComboBox_, true);
        return;
    }
    ShowError(QString());
    state_ = LoggingIn;
    cancelBtn_->show();
    ShowWaitingPage(tr("Login.Logining"));
    services_.accounts->Login(account, password_, remember);
}

void LoginDialog::OnCancel()
{
    state_ = MainPage;
    ShowMainPage();
    services_.accounts->LoginCancel();
}

void LoginDialog::OnLoginFailed(const QString& error)
{
    state_ = MainPage;
    ShowMainPage();
    ShowError(error);
}

void LoginDialog::OnStartupLoadingFinish()
{
    if (state_ != Loading)
        return;
    state_ = MainPage;
    ShowMainPage();
    accountComboBox_->setFocus();
}

void LoginDialog::ShowMainPage()
{
    waitingMovie_->stop();
    stackedWidget_->setCurrentWidget(mainPage_);
}

void LoginDialog::ShowWaitingPage(const QString& text)
{
    waitingLabel_->setText(text);
    stackedWidget_->setCurrentWidget(waitingPage_);
    waitingMovie_->start();
}

QString LoginDialog::ErrorText() const
{
    return errorLabel_->text();
}

void LoginDialog::ShowError(const QString& text)
{
    if (text.isEmpty()) {
        errorLabel_->clear();
        return;
    }
    qWarning() << "LoginDialog::ShowError:" << text;
    errorLabel_->setText(text);
}

void LoginDialog::OpenNetworkSettings()
{
    NetSettingsDialog dialog(*services_.config, services_.uploads, this);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.exec();
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == accountComboBox_ || watched == accountComboBox_->lineEdit()) {
            const bool popupOpen = accountList_->isVisible();
            if (!popupOpen && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down))
                return true;
            if (!popupOpen && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                OnLogin();
                return true;
            }
        } else if (watched == accountList_) {
            switch (key->key()) {
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                return true;
            default:
                break;
            }
        } else if (watched == passwordLineEdit_ && maskShown_) {
            // The first key typed over a remembered password replaces it.
            if (!key->text().isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) {
                if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter &&
                    key->key() != Qt::Key_Escape && key->key() != Qt::Key_Tab) {
                    maskShown_ = false;
                    passwordLineEdit_->clear();
                    password_.clear();
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LoginDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        emit SignalCloseWhenLoading();
        // Escape must not quit the program by accident; during a login it
        // abandons the login instead.
        if (state_ == LoggingIn)
            OnCancel();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnLogin();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoginDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    activateWindow();
    setFocus();
}

void LoginDialog::closeEvent(QCloseEvent* event)
{
    if (state_ == Loading)
        emit SignalCloseWhenLoading();
    QDialog::closeEvent(event);
}
