#include "ui/shell/mainwindowtitlewidget.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "ui/common/menuentrywidget.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/shell/aboutdialog.h"
#include "upload/sdkmanager.h"
#include "upload/transferstats.h"

namespace {
const char* const kHelpUrl = "https://www.orvane.com/help/upload-client";

QPushButton* MakeBarButton(QWidget* parent, const char* name, const char* icon, bool checkable)
{
    auto* btn = new QPushButton(parent);
    btn->setObjectName(QString::fromLatin1(name));
    btn->setAutoDefault(false);
    btn->setFocusPolicy(Qt::NoFocus);
    btn->setCheckable(checkable);
    btn->setCursor(Qt::PointingHandCursor);
    if (icon)
        btn->setIcon(QIcon(QString::fromLatin1(icon)));
    btn->setIconSize(QSize(18, 18));
    return btn;
}

QIcon PageIcon(const char* normal, const char* active)
{
    QIcon icon(QString::fromLatin1(normal));
    icon.addFile(QString::fromLatin1(active), QSize(), QIcon::Normal, QIcon::On);
    return icon;
}
} // namespace

MainWindowTitleWidget::MainWindowTitleWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainWindowTitleWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(kHeight);
    BuildUi();
    BuildAccountMenu();
    BuildSettingsMenu();

    connect(videoListBtn_, &QPushButton::clicked, this, [this]() {
        SetCurrentPage(0);
        emit SignalJumpToVideoList();
    });
    connect(transferListBtn_, &QPushButton::clicked, this, [this]() {
        SetCurrentPage(1);
        emit SignalJumpToTransferList();
    });
    feedbackBtn_->hide();
    SetCurrentPage(0);
}

void MainWindowTitleWidget::BuildUi()
{
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    titleBar_ = new TitleBar(this);
    titleBar_->setObjectName(QStringLiteral("mainTitleBar"));
    titleBar_->titleLabel()->hide();
    titleBar_->titleLayout()->setContentsMargins(14, 0, 0, 0);
    titleBar_->titleLayout()->setSpacing(0);
    root->addWidget(titleBar_);

    QWidget* area = titleBar_->titleWidget();
    pageButtonWidget_ = new QWidget(area);
    pageButtonWidget_->setObjectName(QStringLiteral("pageButtonWidget"));
    auto* pages = new QHBoxLayout(pageButtonWidget_);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(4);
    logoLabel_ = new QLabel(pageButtonWidget_);
    logoLabel_->setObjectName(QStringLiteral("logoLabel"));
    logoLabel_->setPixmap(QIcon(QStringLiteral(":/image/MainTitlebar/logo.svg")).pixmap(QSize(26, 26)));
    pages->addWidget(logoLabel_);
    pages->addSpacing(22);
    videoListBtn_ = MakeBarButton(pageButtonWidget_, "videoListBtn", nullptr, true);
    videoListBtn_->setIcon(
        PageIcon(":/image/MainTitlebar/video-list.svg", ":/image/MainTitlebar/video-list-active.svg"));
    videoListBtn_->setText(tr("MainWindow.VideoList"));
    transferListBtn_ = MakeBarButton(pageButtonWidget_, "transferListBtn", nullptr, true);
    transferListBtn_->setIcon(
        PageIcon(":/image/MainTitlebar/transfer-list.svg", ":/image/MainTitlebar/transfer-list-active.svg"));
    transferListBtn_->setText(tr("MainWindow.TransferList"));
    for (QPushButton* b : {videoListBtn_, transferListBtn_}) {
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        b->setFixedHeight(32);
        pages->addWidget(b);
    }

    // Page buttons on the left, free space (which drags the window) in the
    // middle, the menus on the right next to the window buttons.
    auto* titleRow = titleBar_->titleLayout();
    titleRow->insertWidget(0, pageButtonWidget_);
    titleRow->insertStretch(1, 1);

    controlWidget_ = new QWidget(area);
    controlWidget_->setObjectName(QStringLiteral("controlWidget"));
    auto* controls = new QHBoxLayout(controlWidget_);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(2);
    accountBtn_ = MakeBarButton(controlWidget_, "accountBtn", ":/image/MainTitlebar/account.svg", false);
    accountBtn_->setToolTip(tr("account"));
    feedbackBtn_ = MakeBarButton(controlWidget_, "feedbackBtn", ":/image/MainTitlebar/feedback.svg", false);
    feedbackBtn_->setToolTip(tr("feedback"));
    settingsBtn_ = MakeBarButton(controlWidget_, "settingsBtn", ":/image/MainTitlebar/settings.svg", false);
    settingsBtn_->setToolTip(tr("settings"));
    for (QPushButton* b : {accountBtn_, feedbackBtn_, settingsBtn_}) {
        b->setFixedSize(34, 30);
        controls->addWidget(b);
    }
    titleRow->addWidget(controlWidget_);

    auto* separator = new QWidget(area);
    separator->setObjectName(QStringLiteral("titleSeparator"));
    separator->setAttribute(Qt::WA_StyledBackground);
    separator->setFixedSize(1, 18);
    titleRow->addSpacing(8);
    titleRow->addWidget(separator, 0, Qt::AlignVCenter);
    titleRow->addSpacing(8);
}

void MainWindowTitleWidget::BuildAccountMenu()
{
    accountMenu_ = new QMenu(this);
    accountMenu_->setObjectName(QStringLiteral("accountMenu"));
    accountMenu_->setWindowFlags(accountMenu_->windowFlags() | Qt::FramelessWindowHint |
                                 Qt::NoDropShadowWindowHint);

    userInfoWidget_ = new QWidget(accountMenu_);
    userInfoWidget_->setObjectName(QStringLiteral("userInfoWidget"));
    userInfoWidget_->setAttribute(Qt::WA_StyledBackground);
    auto* info = new QVBoxLayout(userInfoWidget_);
    info->setContentsMargins(18, 16, 18, 14);
    info->setSpacing(8);
    emailLabel_ = new QLabel(userInfoWidget_);
    emailLabel_->setObjectName(QStringLiteral("emailLabel"));
    info->addWidget(emailLabel_);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto* expiredStr = new QLabel(tr("Expired Time:"), userInfoWidget_);
    expiredStr->setObjectName(QStringLiteral("expiredTimeStr"));
    expiredValueLabel_ = new QLabel(userInfoWidget_);
    expiredValueLabel_->setObjectName(QStringLiteral("expiredTimeLabel"));
    expiredValueLabel_->setTextFormat(Qt::RichText);
    auto* storageStr = new QLabel(tr("Storage Space:"), userInfoWidget_);
    storageStr->setObjectName(QStringLiteral("storageStr"));
    storageValueLabel_ = new QLabel(userInfoWidget_);
    storageValueLabel_->setObjectName(QStringLiteral("storageLabel"));
    grid->addWidget(expiredStr, 0, 0);
    grid->addWidget(expiredValueLabel_, 0, 1);
    grid->addWidget(storageStr, 1, 0);
    grid->addWidget(storageValueLabel_, 1, 1);
    grid->setColumnStretch(1, 1);
    info->addLayout(grid);
    storageBar_ = new QProgressBar(userInfoWidget_);
    storageBar_->setObjectName(QStringLiteral("storageBar"));
    storageBar_->setRange(0, 100);
    storageBar_->setValue(0);
    storageBar_->setTextVisible(false);
    storageBar_->setFixedHeight(6);
    storageBar_->setProperty("style", QString());
    info->addWidget(storageBar_);
    userInfoWidget_->installEventFilter(this);

    auto* infoAction = new QWidgetAction(accountMenu_);
    infoAction->setDefaultWidget(userInfoWidget_);
    accountMenu_->addAction(infoAction);
    accountMenu_->addSeparator();
    QWidgetAction* switchAccount = AddMenuEntry(
        accountMenu_, QStringLiteral("switchAccountBtn"),
        QIcon(QStringLiteral(":/image/MainTitlebar/switch-account.svg")), tr("MainWindow.SwitchAccount"));
    QWidgetAction* quit =
        AddMenuEntry(accountMenu_, QStringLiteral("quitBtn"),
                     QIcon(QStringLiteral(":/image/MainTitlebar/quit.svg")), tr("MainWindow.Quit"));
    connect(switchAccount, &QAction::triggered, this, [this]() {
        qInfo() << "Switch Account";
        emit SignalExit(1024);
    });
    connect(quit, &QAction::triggered, this, [this]() {
        qInfo() << "Quit";
        emit SignalQuit();
    });
    accountBtn_->setMenu(accountMenu_);
    accountMenu_->installEventFilter(this);
}

void MainWindowTitleWidget::BuildSettingsMenu()
{
    settingsMenu_ = new QMenu(this);
    settingsMenu_->setObjectName(QStringLiteral("settingsMenu"));
    settingsMenu_->setWindowFlags(settingsMenu_->windowFlags() | Qt::FramelessWindowHint |
                                  Qt::NoDropShadowWindowHint);
    QWidgetAction* startAll =
        AddMenuEntry(settingsMenu_, QStringLiteral("startAllBtn"),
                     QIcon(QStringLiteral(":/image/MainTitlebar/start-all.svg")), tr("MainWindow.StartAll"));
    QWidgetAction* suspendAll = AddMenuEntry(settingsMenu_, QStringLiteral("suspendAllBtn"),
                                             QIcon(QStringLiteral(":/image/MainTitlebar/suspend-all.svg")),
                                             tr("MainWindow.SuspendAll"));
    QWidgetAction* preferences = AddMenuEntry(settingsMenu_, QStringLiteral("preferencesBtn"),
                                              QIcon(QStringLiteral(":/image/MainTitlebar/preferences.svg")),
                                              tr("MainWindow.Preferences"));
    QWidgetAction* checkUpdate = AddMenuEntry(settingsMenu_, QStringLiteral("checkUpdateBtn"),
                                              QIcon(QStringLiteral(":/image/MainTitlebar/update.svg")),
                                              tr("MainWindow.CheckForUpdates"));
    QWidgetAction* about =
        AddMenuEntry(settingsMenu_, QStringLiteral("aboutBtn"),
                     QIcon(QStringLiteral(":/image/MainTitlebar/about.svg")), tr("MainWindow.About"));
    QWidgetAction* help =
        AddMenuEntry(settingsMenu_, QStringLiteral("helpBtn"),
                     QIcon(QStringLiteral(":/image/MainTitlebar/help.svg")), tr("MainWindow.Help"));
    connect(startAll, &QAction::triggered, this, [this]() {
        qDebug() << "StartAll";
        emit SignalAllOperation(true);
    });
    connect(suspendAll, &QAction::triggered, this, [this]() {
        qDebug() << "SuspendAll";
        emit SignalAllOperation(false);
    });
    connect(preferences, &QAction::triggered, this, &MainWindowTitleWidget::SignalOpenPreferences);
    connect(checkUpdate, &QAction::triggered, this, &MainWindowTitleWidget::SignalCheckForUpdates);
    connect(about, &QAction::triggered, this, &MainWindowTitleWidget::OpenAbout);
    connect(help, &QAction::triggered, this, []() {
        qInfo() << "open help page";
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHelpUrl)));
    });
    settingsBtn_->setMenu(settingsMenu_);
    settingsMenu_->installEventFilter(this);
}

void MainWindowTitleWidget::OpenAbout()
{
    if (aboutDialog_) {
        aboutDialog_->raise();
        aboutDialog_->activateWindow();
        return;
    }
    AboutDialog dialog(window());
    aboutDialog_ = &dialog;
    dialog.exec();
}

void MainWindowTitleWidget::SetCurrentPage(int index)
{
    videoListBtn_->setChecked(index == 0);
    transferListBtn_->setChecked(index == 1);
}

QString MainWindowTitleWidget::ExpiryText(const UserInfo& info)
{
    const QString date = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(info.expirationTime))
                             .toString(QStringLiteral("yyyy-MM-dd"));
    if (info.expired)
        return tr("%1 (Expired)").arg(date);
    return tr("%1 (Remaining <span style=color:rgb(255,87,34);>%2</span> days)").arg(date).arg(info.leftDay);
}

int MainWindowTitleWidget::StorageBarValue(const UserInfo& info, bool* overflow)
{
    if (overflow)
        *overflow = false;
    if (info.space == 0)
        return -1;
    if (info.remainBytes >= 0 && static_cast<quint64>(info.remainBytes) <= info.space) {
        const double used = static_cast<double>(info.space - static_cast<quint64>(info.remainBytes));
        return static_cast<int>(used * 100.0 / static_cast<double>(info.space));
    }
    // More remaining than the package holds, or a negative remainder (more
    // used than it holds): either way the figures are out of bounds.
    if (overflow)
        *overflow = true;
    return 100;
}

void MainWindowTitleWidget::SetUserInfo(const UserInfo& info)
{
    const QFontMetrics fm(emailLabel_->font());
    const QString shown = fm.elidedText(info.account, Qt::ElideRight, kAccountElideWidth);
    emailLabel_->setText(shown);
    emailLabel_->setToolTip(shown != info.account ? info.account : QString());
    expiredValueLabel_->setText(ExpiryText(info));
    // A remainder above the package size would read as negative usage; show none.
    const qint64 used = qMax<qint64>(0, static_cast<qint64>(info.space) - info.remainBytes);
    storageValueLabel_->setText(
        QStringLiteral("%1/%2").arg(FormatSize(used, 4), FormatSize(static_cast<qint64>(info.space), 4)));
    bool overflow = false;
    const int value = StorageBarValue(info, &overflow);
    if (value >= 0) {
        storageBar_->setValue(value);
        SetStyleProperty(storageBar_, "style", overflow ? QStringLiteral("error") : QString());
    }
}

void MainWindowTitleWidget::PlaceMenu(QMenu* menu)
{
    QPushButton* button = menu == accountMenu_ ? accountBtn_ : settingsBtn_;
    const QPoint buttonPos = button->mapToGlobal(QPoint(0, 0));
    const QPoint barPos = mapToGlobal(QPoint(0, 0));
    menu->move(buttonPos.x() + button->width() - menu->width(), barPos.y() + height());
}

bool MainWindowTitleWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == accountMenu_ || watched == settingsMenu_) {
        if (event->type() == QEvent::Show || event->type() == QEvent::Resize)
            PlaceMenu(static_cast<QMenu*>(watched));
    } else if (watched == userInfoWidget_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
