#include "ui/shell/preferencedialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/config.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "ui/shell/netsettingsdialog.h"
#include "upload/sdkmanager.h"

namespace {
const QString kApp = QStringLiteral("Application");
const QString kUpload = QStringLiteral("UploadTaskManager");
const QString kNetwork = QStringLiteral("NetWorkManager");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

template <typename T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setFixedHeight(32);
    return edit;
}

QScrollArea* WrapInScrollArea(QWidget* page, const char* name, QWidget* parent)
{
    auto* area = Named(new QScrollArea(parent), name);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(page);
    return area;
}
} // namespace

PreferenceDialog::PreferenceDialog(Config& config, SDKManager* uploads, QWidget* parent)
    : QDialog(parent), config_(config), uploads_(uploads)
{
    setObjectName(QStringLiteral("PreferenceDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BindStyleSheet(this, {QStringLiteral("System.qss"), QStringLiteral("TitleBar.qss"),
                          QStringLiteral("PreferenceDialog.qss")});
    resize(560, 595);
    setWindowTitle(tr("PreferenceDialog.Title"));
    BuildUi();
    ApplyPlaceholderColor(this);

    portLineedit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(NetSettingsDialog::PortPattern()), portLineedit_));
    limitedSpeedValueLineEdit_->setValidator(
        new QIntValidator(kMinSpeed, kMaxSpeed, limitedSpeedValueLineEdit_));
    connect(basicSettingsBtn_, &QPushButton::clicked, this, &PreferenceDialog::ShowBasicPage);
    connect(transferSettingsBtn_, &QPushButton::clicked, this, &PreferenceDialog::ShowTransferPage);
    connect(unlimitedSpeedRadioButton_, &QRadioButton::toggled, this,
            [this](bool on) { limitedSpeedValueLineEdit_->setEnabled(!on); });
    connect(proxyTypeComboBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { SetProxyFieldsEnabled(index != 0); });

    Load();
    ConnectHandlers();
    ShowBasicPage();
}

void PreferenceDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    titleWidget_ = Named(new TitleBar(this), "titleWidget");
    titleWidget_->setFixedHeight(44);
    titleWidget_->SetTitle(tr("PreferenceDialog.Title"));
    titleWidget_->minimumBtn()->hide();
    titleWidget_->maximumBtn()->hide();
    root->addWidget(titleWidget_);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    pageButtonWidget_ = Named(new QWidget(this), "pageButtonWidget");
    pageButtonWidget_->setAttribute(Qt::WA_StyledBackground);
    pageButtonWidget_->setFixedWidth(136);
    auto* pages = new QVBoxLayout(pageButtonWidget_);
    pages->setContentsMargins(12, 16, 12, 16);
    pages->setSpacing(6);
    basicSettingsBtn_ =
        Named(new QPushButton(tr("PreferenceDialog.BasicSettings"), pageButtonWidget_), "basicSettingsBtn");
    transferSettingsBtn_ = Named(new QPushButton(tr("PreferenceDialog.TransferSettings"), pageButtonWidget_),
                                 "transferSettingsBtn");
    auto* group = new QButtonGroup(this);
    for (QPushButton* b : {basicSettingsBtn_, transferSettingsBtn_}) {
        b->setCheckable(true);
        b->setAutoDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumHeight(34);
        group->addButton(b);
        pages->addWidget(b);
    }
    pages->addStretch(1);
    body->addWidget(pageButtonWidget_);

    stackedWidget_ = Named(new QStackedWidget(this), "stackedWidget");
    basicSettingsPageScrollArea_ = WrapInScrollArea(BuildBasicPage(), "basicSettingsPageScrollArea", this);
    transferSettingsPageScrollArea_ =
        WrapInScrollArea(BuildTransferPage(), "transferSettingsPageScrollArea", this);
    stackedWidget_->addWidget(basicSettingsPageScrollArea_);
    stackedWidget_->addWidget(transferSettingsPageScrollArea_);
    body->addWidget(stackedWidget_, 1);
    root->addLayout(body, 1);
}

QWidget* PreferenceDialog::BuildBasicPage()
{
    auto* page = Named(new QWidget, "basicSettingsPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->setSpacing(12);
    layout->addWidget(MakeLabel(page, "baseSettingsStr", tr("PreferenceDialog.BaseSettings")));
    openStartupCheckBox_ =
        Named(new QCheckBox(tr("PreferenceDialog.OpenStartup"), page), "openStartupCheckBox");
    autoUpdateCheckBox_ = Named(new QCheckBox(tr("PreferenceDialog.AutoUpdate"), page), "autoUpdateCheckBox");
    optimizeCheckBox_ = Named(new QCheckBox(tr("PreferenceDialog.Optimize"), page), "optimizeCheckBox");
    for (QCheckBox* box : {openStartupCheckBox_, autoUpdateCheckBox_, optimizeCheckBox_})
        layout->addWidget(box);
    layout->addSpacing(12);
    layout->addWidget(MakeLabel(page, "mainWindowCloseButtonBehaviorStr",
                                tr("PreferenceDialog.MainWindowCloseButtonBehavior")));
    hideCloseBehaviorRadioBtn_ =
        Named(new QRadioButton(tr("PreferenceDialog.CloseBehaviorHide"), page), "hideCloseBehaviorRadioBtn");
    quitCloseBehaviorRadioBtn_ =
        Named(new QRadioButton(tr("PreferenceDialog.CloseBehaviorQuit"), page), "quitCloseBehaviorRadioBtn");
    auto* closeGroup = new QButtonGroup(page);
    closeGroup->addButton(hideCloseBehaviorRadioBtn_);
    closeGroup->addButton(quitCloseBehaviorRadioBtn_);
    layout->addWidget(hideCloseBehaviorRadioBtn_);
    layout->addWidget(quitCloseBehaviorRadioBtn_);
    layout->addStretch(1);
    return page;
}

QWidget* PreferenceDialog::BuildTransferPage()
{
    auto* page = Named(new QWidget, "transferSettingsPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->setSpacing(12);

    layout->addWidget(
        MakeLabel(page, "uploadTasksNumSettingsStr", tr("PreferenceDialog.UploadTasksNumSettings")));
    auto* tasksRow = new QHBoxLayout;
    tasksRow->setSpacing(10);
    uploadTasksNumComboBox_ = Named(new QComboBox(page), "uploadTasksNumComboBox");
    uploadTasksNumComboBox_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                       QStringLiteral("4"), QStringLiteral("5")});
    uploadTasksNumComboBox_->setFixedSize(80, 32);
    tasksRow->addWidget(MakeLabel(page, "uploadTasksNumStr", tr("PreferenceDialog.UploadTasksNum:")));
    tasksRow->addWidget(uploadTasksNumComboBox_);
    tasksRow->addStretch(1);
    layout->addLayout(tasksRow);
    autoStartUploadCheckBox_ =
        Named(new QCheckBox(tr("PreferenceDialog.AutoStartUpload"), page), "autoStartUploadCheckBox");
    layout->addWidget(autoStartUploadCheckBox_);

    layout->addSpacing(8);
    layout->addWidget(
        MakeLabel(page, "uploadSpeedLimitSettingsStr", tr("PreferenceDialog.UploadSpeedLimitSettings")));
    unlimitedSpeedRadioButton_ =
        Named(new QRadioButton(tr("PreferenceDialog.UnlimitedSpeed"), page), "unlimitedSpeedRadioButton");
    limitedSpeedRadioButton_ =
        Named(new QRadioButton(tr("PreferenceDialog.LimitedSpeed"), page), "limitedSpeedRadioButton");
    auto* speedGroup = new QButtonGroup(page);
    speedGroup->addButton(unlimitedSpeedRadioButton_);
    speedGroup->addButton(limitedSpeedRadioButton_);
    limitedSpeedValueLineEdit_ = MakeEdit(page, "limitedSpeedValueLineEdit");
    limitedSpeedValueLineEdit_->setFixedWidth(100);
    layout->addWidget(unlimitedSpeedRadioButton_);
    auto* speedRow = new QHBoxLayout;
    speedRow->setSpacing(8);
    speedRow->addWidget(limitedSpeedRadioButton_);
    speedRow->addWidget(limitedSpeedValueLineEdit_);
    speedRow->addWidget(MakeLabel(page, "speedUnitStr", tr("KB/s")));
    speedRow->addStretch(1);
    layout->addLayout(speedRow);

    layout->addSpacing(8);
    layout->addWidget(
        MakeLabel(page, "networkProxySettingsStr", tr("PreferenceDialog.NetworkProxySettings")));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    proxyTypeComboBox_ = Named(new QComboBox(page), "proxyTypeComboBox");
    proxyTypeComboBox_->setFixedHeight(32);
    proxyTypeComboBox_->addItem(tr("PreferenceDialog.NoProxy"));
    proxyTypeComboBox_->addItem(tr("PreferenceDialog.HttpProxy"));
    addressLineedit_ = MakeEdit(page, "addressLineedit");
    portLineedit_ = MakeEdit(page, "portLineedit");
    usernameLineedit_ = MakeEdit(page, "usernameLineedit");
    passwordLineedit_ = MakeEdit(page, "passwordLineedit");
    passwordLineedit_->setEchoMode(QLineEdit::Password);
    const struct
    {
        const char* name;
        QString text;
        QWidget* field;
    } rows[] = {{"proxyTypeStr", tr("PreferenceDialog.Type:"), proxyTypeComboBox_},
                {"addressStr", tr("PreferenceDialog.Address:"), addressLineedit_},
                {"portStr", tr("PreferenceDialog.Port:"), portLineedit_},
                {"usernameStr", tr("PreferenceDialog.Username:"), usernameLineedit_},
                {"passwordStr", tr("PreferenceDialog.Password:"), passwordLineedit_}};
    int row = 0;
    for (const auto& r : rows) {
        QLabel* label = MakeLabel(page, r.name, r.text);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, 0);
        grid->addWidget(r.field, row++, 1);
    }
    layout->addLayout(grid);

    auto* applyRow = new QHBoxLayout;
    applyRow->setSpacing(6);
    auto* noticeIcon = Named(new QLabel(page), "noticeIcon");
    noticeIcon->setPixmap(QIcon(QStringLiteral(":/image/common/notice.svg")).pixmap(QSize(14, 14)));
    noticeIcon->setFixedSize(14, 14);
    QLabel* notice = MakeLabel(page, "noticeLabel", tr("PreferenceDialog.NoticeLabel"));
    notice->setWordWrap(true);
    applyProxyBtn_ = Named(new QPushButton(tr("Apply"), page), "applyProxyBtn");
    applyProxyBtn_->setAutoDefault(false);
    applyProxyBtn_->setCursor(Qt::PointingHandCursor);
    applyProxyBtn_->setMinimumSize(80, 32);
    applyRow->addWidget(noticeIcon, 0, Qt::AlignTop);
    applyRow->addWidget(notice, 1);
    applyRow->addWidget(applyProxyBtn_, 0, Qt::AlignTop);
    layout->addLayout(applyRow);
    layout->addStretch(1);
    return page;
}

void PreferenceDialog::Load()
{
    openStartupCheckBox_->setChecked(config_.IsAutoStart());
    autoUpdateCheckBox_->setChecked(config_.value(kApp, QStringLiteral("autoUpdate")).toBool());
    const bool quit =
        config_.value(kApp, QStringLiteral("closeBehavior")).toString() == QLatin1String("quit");
    (quit ? quitCloseBehaviorRadioBtn_ : hideCloseBehaviorRadioBtn_)->setChecked(true);
    optimizeCheckBox_->setChecked(
        config_.value(kUpload, QStringLiteral("optimizeCoursewareSwitch")).toBool());
    uploadTasksNumComboBox_->setCurrentText(
        QString::number(config_.value(kUpload, QStringLiteral("uploadTasksNum")).toInt()));
    autoStartUploadCheckBox_->setChecked(config_.value(kUpload, QStringLiteral("autoStartUpload")).toBool());

    const qulonglong speed = config_.value(kUpload, QStringLiteral("limitedSpeedValue")).toULongLong();
    const bool limited = speed >= kMinSpeed && speed <= kMaxSpeed;
    (limited ? limitedSpeedRadioButton_ : unlimitedSpeedRadioButton_)->setChecked(true);
    if (limited)
        limitedSpeedValueLineEdit_->setText(QString::number(speed));
    limitedSpeedValueLineEdit_->setEnabled(limited);

    proxyTypeComboBox_->setCurrentIndex(
        config_.value(kNetwork, QStringLiteral("proxyType")).toInt() == 1 ? 1 : 0);
    addressLineedit_->setText(config_.value(kNetwork, QStringLiteral("proxyHostName")).toString());
    portLineedit_->setText(config_.value(kNetwork, QStringLiteral("proxyPort")).toString());
    usernameLineedit_->setText(config_.value(kNetwork, QStringLiteral("proxyUser")).toString());
    passwordLineedit_->setText(config_.value(kNetwork, QStringLiteral("proxyPassword")).toString());
    SetProxyFieldsEnabled(proxyTypeComboBox_->currentIndex() != 0);
}

void PreferenceDialog::ConnectHandlers()
{
    connect(openStartupCheckBox_, &QCheckBox::stateChanged, this, [this](int state) {
        const bool enable = state == Qt::Checked;
        if (enable != config_.IsAutoStart())
            config_.SetAutoStart(enable);
    });
    connect(autoUpdateCheckBox_, &QCheckBox::clicked, this,
            [this](bool checked) { config_.setValue(kApp, QStringLiteral("autoUpdate"), checked); });
    connect(optimizeCheckBox_, &QCheckBox::clicked, this, [this](bool checked) {
        config_.setValue(kUpload, QStringLiteral("optimizeCoursewareSwitch"), checked);
        ApplySettings();
    });
    connect(hideCloseBehaviorRadioBtn_, &QRadioButton::clicked, this,
            [this]() { config_.setValue(kApp, QStringLiteral("closeBehavior"), QStringLiteral("hide")); });
    connect(quitCloseBehaviorRadioBtn_, &QRadioButton::clicked, this,
            [this]() { config_.setValue(kApp, QStringLiteral("closeBehavior"), QStringLiteral("quit")); });
    connect(uploadTasksNumComboBox_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        config_.setValue(kUpload, QStringLiteral("uploadTasksNum"), text.toInt());
        ApplySettings();
    });
    connect(autoStartUploadCheckBox_, &QCheckBox::clicked, this, [this](bool checked) {
        config_.setValue(kUpload, QStringLiteral("autoStartUpload"), checked);
        ApplySettings();
    });
    connect(proxyTypeComboBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        config_.setValue(kNetwork, QStringLiteral("proxyType"), index);
        ApplySettings();
    });
    connect(applyProxyBtn_, &QPushButton::clicked, this, &PreferenceDialog::ApplyProxy);
    connect(this, &PreferenceDialog::SignalAboutToClose, this, &PreferenceDialog::ApplySpeedLimit);
}

void PreferenceDialog::ShowBasicPage()
{
    basicSettingsBtn_->setChecked(true);
    stackedWidget_->setCurrentWidget(basicSettingsPageScrollArea_);
}

void PreferenceDialog::ShowTransferPage()
{
    transferSettingsBtn_->setChecked(true);
    stackedWidget_->setCurrentWidget(transferSettingsPageScrollArea_);
}

void PreferenceDialog::SetProxyFieldsEnabled(bool enabled)
{
    for (QLineEdit* e : {addressLineedit_, portLineedit_, usernameLineedit_, passwordLineedit_})
        e->setEnabled(enabled);
}

void PreferenceDialog::ApplyProxy()
{
    const int index = proxyTypeComboBox_->currentIndex();
    const QString host = addressLineedit_->text().trimmed();
    if (index != 0 && host.isEmpty()) {
        SetStyleProperty(addressLineedit_, "status", QStringLiteral("error"));
        ShowToastInParent(this, tr("NetSettingsDialog.HostIsEmpty!"));
        return;
    }
    SetStyleProperty(addressLineedit_, "status", QString());
    config_.setValue(kNetwork, QStringLiteral("proxyType"), index);
    if (index == 1) {
        config_.setValue(kNetwork, QStringLiteral("proxyHostName"), host);
        config_.setValue(kNetwork, QStringLiteral("proxyPort"), portLineedit_->text());
        config_.setValue(kNetwork, QStringLiteral("proxyUser"), usernameLineedit_->text());
        config_.setValue(kNetwork, QStringLiteral("proxyPassword"), passwordLineedit_->text());
    }
    ApplySettings();
}

void PreferenceDialog::ApplySpeedLimit()
{
    if (limitedSpeedRadioButton_->isChecked()) {
        bool ok = false;
        const qulonglong v = limitedSpeedValueLineEdit_->text().toULongLong(&ok);
        if (!ok || v < kMinSpeed || v > kMaxSpeed) {
            // The previous limit stays in force.
            if (toastWindow_)
                ShowToastInParent(toastWindow_, tr("LimitedSpeedValueError"));
        } else {
            config_.setValue(kUpload, QStringLiteral("limitedSpeedValue"), v);
        }
    } else {
        config_.setValue(kUpload, QStringLiteral("limitedSpeedValue"), 0);
    }
    ApplySettings();
}

void PreferenceDialog::ApplySettings()
{
    uploads_->ApplySettings(config_);
}

void PreferenceDialog::closeEvent(QCloseEvent* event)
{
    // Once, however the dialog is closed (title bar, Escape, the application).
    if (!closing_) {
        closing_ = true;
        emit SignalAboutToClose();
    }
    QWidget::closeEvent(event);
}

void PreferenceDialog::reject()
{
    close();
}
