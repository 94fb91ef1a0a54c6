#include "ui/shell/netsettingsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include "base/config.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "upload/sdkmanager.h"

namespace {
const QString kGroup = QStringLiteral("NetWorkManager");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedHeight(34);
    return edit;
}
} // namespace

QString NetSettingsDialog::PortPattern()
{
    return QStringLiteral(
        "^([0-9]{1,4}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])$");
}

NetSettingsDialog::NetSettingsDialog(Config& config, SDKManager* uploads, QWidget* parent)
    : QDialog(parent), config_(config), uploads_(uploads)
{
    setObjectName(QStringLiteral("NetSettingsDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BindStyleSheet(this, {QStringLiteral("PreferenceDialog.qss")});
    resize(519, 430);
    setMinimumSize(519, 430);
    BuildUi();
    ApplyPlaceholderColor(this);

    portLineedit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(PortPattern()), portLineedit_));
    connect(proxyTypeComboBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { SetFieldsEnabled(index != 0); });
    connect(addressLineedit_, &QLineEdit::textEdited, this,
            [this]() { SetStyleProperty(addressLineedit_, "status", QString()); });
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyBtn_, &QPushButton::clicked, this, &NetSettingsDialog::OnApply);
    Load();
}

void NetSettingsDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    titleWidget_ = new TitleBar(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    titleWidget_->setFixedHeight(44);
    titleWidget_->SetTitle(tr("NetSettingsDialog.NetSettings"));
    setWindowTitle(tr("NetSettingsDialog.NetSettings"));
    root->addWidget(titleWidget_);

    settingsWidget_ = new QWidget(this);
    settingsWidget_->setObjectName(QStringLiteral("settingsWidget"));
    auto* grid = new QGridLayout(settingsWidget_);
    grid->setContentsMargins(40, 28, 56, 12);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(14);
    grid->setColumnStretch(1, 1);

    proxyTypeComboBox_ = new QComboBox(settingsWidget_);
    proxyTypeComboBox_->setObjectName(QStringLiteral("proxyTypeComboBox"));
    proxyTypeComboBox_->setFixedHeight(34);
    proxyTypeComboBox_->addItem(tr("NetSettingsDialog.NoProxy"));
    proxyTypeComboBox_->addItem(tr("NetSettingsDialog.HttpProxy"));
    addressLineedit_ = MakeEdit(settingsWidget_, "addressLineedit");
    portLineedit_ = MakeEdit(settingsWidget_, "portLineedit");
    usernameLineedit_ = MakeEdit(settingsWidget_, "usernameLineedit");
    passwordLineedit_ = MakeEdit(settingsWidget_, "passwordLineedit");
    passwordLineedit_->setEchoMode(QLineEdit::Password);

    grid->addWidget(MakeLabel(settingsWidget_, "proxyTypeStr", tr("NetSettingsDialog.Type:")), 0, 0);
    grid->addWidget(proxyTypeComboBox_, 0, 1);
    grid->addWidget(MakeLabel(settingsWidget_, "addressStr", tr("NetSettingsDialog.Address:")), 1, 0);
    grid->addWidget(addressLineedit_, 1, 1);
    grid->addWidget(MakeLabel(settingsWidget_, "portStr", tr("NetSettingsDialog.Port:")), 2, 0);
    grid->addWidget(portLineedit_, 2, 1);
    grid->addWidget(MakeLabel(settingsWidget_, "usernameStr", tr("NetSettingsDialog.Username:")), 3, 0);
    grid->addWidget(usernameLineedit_, 3, 1);
    grid->addWidget(MakeLabel(settingsWidget_, "passwordStr", tr("NetSettingsDialog.Password:")), 4, 0);
    grid->addWidget(passwordLineedit_, 4, 1);

    auto* notice = new QHBoxLayout;
    notice->setSpacing(6);
    noticeIcon_ = new QLabel(settingsWidget_);
    noticeIcon_->setObjectName(QStringLiteral("noticeIcon"));
    noticeIcon_->setPixmap(QIcon(QStringLiteral(":/image/common/notice.svg")).pixmap(QSize(14, 14)));
    noticeIcon_->setFixedSize(14, 14);
    noticeLabel_ = new QLabel(tr("NetSettingsDialog.NoticeLabel"), settingsWidget_);
    noticeLabel_->setObjectName(QStringLiteral("noticeLabel"));
    noticeLabel_->setWordWrap(true);
    notice->addWidget(noticeIcon_, 0, Qt::AlignTop);
    notice->addWidget(noticeLabel_, 1);
    grid->addLayout(notice, 5, 1);
    grid->setRowStretch(6, 1);
    root->addWidget(settingsWidget_, 1);

    auto* buttonWidget = new QWidget(this);
    buttonWidget->setObjectName(QStringLiteral("buttonWidget"));
    auto* buttons = new QHBoxLayout(buttonWidget);
    buttons->setContentsMargins(24, 12, 24, 20);
    buttons->setSpacing(12);
    buttons->addStretch(1);
    applyBtn_ = new QPushButton(tr("Apply"), buttonWidget);
    applyBtn_->setObjectName(QStringLiteral("applyBtn"));
    cancelBtn_ = new QPushButton(tr("Cancel"), buttonWidget);
    cancelBtn_->setObjectName(QStringLiteral("cancelBtn"));
    for (QPushButton* b : {applyBtn_, cancelBtn_}) {
        b->setAutoDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumSize(88, 34);
    }
    buttons->addWidget(applyBtn_);
    buttons->addWidget(cancelBtn_);
    root->addWidget(buttonWidget);
}

void NetSettingsDialog::Load()
{
    const Config* config = &config_;
    const int type = config->value(kGroup, QStringLiteral("proxyType")).toInt();
    {
        const QSignalBlocker blocker(proxyTypeComboBox_);
        proxyTypeComboBox_->setCurrentIndex(type == 1 ? 1 : 0);
    }
    addressLineedit_->setText(config->value(kGroup, QStringLiteral("proxyHostName")).toString());
    portLineedit_->setText(config->value(kGroup, QStringLiteral("proxyPort")).toString());
    usernameLineedit_->setText(config->value(kGroup, QStringLiteral("proxyUser")).toString());
    passwordLineedit_->setText(config->value(kGroup, QStringLiteral("proxyPassword")).toString());
    SetFieldsEnabled(proxyTypeComboBox_->currentIndex() != 0);
}

void NetSettingsDialog::SetFieldsEnabled(bool enabled)
{
    for (QLineEdit* e : {addressLineedit_, portLineedit_, usernameLineedit_, passwordLineedit_})
        e->setEnabled(enabled);
}

void NetSettingsDialog::OnApply()
{
    const int index = proxyTypeComboBox_->currentIndex();
    const QString host = addressLineedit_->text().trimmed();
    if (index != 0 && host.isEmpty()) {
        SetStyleProperty(addressLineedit_, "status", QStringLiteral("error"));
        ShowToastInParent(settingsWidget_, tr("NetSettingsDialog.HostIsEmpty!"));
        return;
    }
    config_.setValue(kGroup, QStringLiteral("proxyType"), index);
    if (index != 0) {
        config_.setValue(kGroup, QStringLiteral("proxyHostName"), host);
        config_.setValue(kGroup, QStringLiteral("proxyPort"), portLineedit_->text());
        config_.setValue(kGroup, QStringLiteral("proxyUser"), usernameLineedit_->text());
        config_.setValue(kGroup, QStringLiteral("proxyPassword"), passwordLineedit_->text());
    } else {
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"})
            config_.remove(kGroup, QString::fromLatin1(key));
    }
    uploads_->ApplySettings(config_);
    accept();
}

void NetSettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    adjustSize();
    QRect area;
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        area = owner->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
    activateWindow();
    setFocus();
}
