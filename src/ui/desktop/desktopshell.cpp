#include "ui/desktop/desktopshell.h"

#include "base/config.h"
#include "ui/desktop/postuploadaction.h"
#include "ui/desktop/postuploaddialog.h"
#include "ui/desktop/uploadnotifier.h"
#include "ui/shell/logindialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/transfer/transferlistwidget.h"
#include "upload/sdkmanager.h"
#include "upload/transferstats.h"
#include "upload/uploadactivity.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDebug>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QUrl>

namespace {
const struct
{
    const char* name;
    PostUploadAction::Choice choice;
} kPostTaskChoices[] = {
    {"postTaskShutdown", PostUploadAction::Choice::Shutdown},
    {"postTaskSleep", PostUploadAction::Choice::Sleep},
    {"postTaskQuit", PostUploadAction::Choice::Quit},
    {"postTaskNothing", PostUploadAction::Choice::Nothing},
};
} // namespace

DesktopShell::DesktopShell(Config& config, SDKManager* uploads, QObject* parent)
    : QObject(parent), config_(config)
{
    activity_ = new UploadActivity(uploads, this);
    postAction_ = new PostUploadAction(activity_, this);
    notifier_ = new UploadNotifier(activity_, this);
    notifier_->setFallback([this](const QString& title, const QString& body) {
        if (!tray_ || !tray_->isVisible())
            return false;
        tray_->showMessage(title, body);
        return true;
    });
    countdown_ = std::make_unique<PostUploadDialog>(postAction_);
    connect(postAction_, &PostUploadAction::SignalQuitRequested, this, [this] {
        // The uploads are done, so the exit path does not ask.
        if (window_)
            window_->RequestQuit();
        else
            QCoreApplication::exit(0);
    });
    connect(postAction_, &PostUploadAction::SignalPerformFailed, this,
            [](const QString& error) { qWarning().noquote() << "post upload action failed:" << error; });
    connect(activity_, &UploadActivity::SignalTotalsChanged, this, &DesktopShell::UpdateToolTip);
}

DesktopShell::~DesktopShell()
{
    if (window_)
        window_->SetHideOnClose(nullptr);
    DestroyTray();
}

void DesktopShell::AttachMainWindow(MainWindow* window)
{
    window_ = window;
    connect(window, &QObject::destroyed, this, &DesktopShell::DestroyTray);
    window->SetHideOnClose([this] { return HidesOnClose(); });
    connect(window, &MainWindow::SignalHiddenToTray, this, [this] {
        // With the window in the tray, closing a dialog must not end the program.
        QApplication::setQuitOnLastWindowClosed(false);
        // Once per run, so nobody takes the closed window for an ended program.
        if (!toldAboutTray_) {
            toldAboutTray_ = true;
            notifier_->Send(QApplication::applicationDisplayName(),
                            tr("The client keeps running in the tray; the uploads go on."));
        }
    });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        CreateTray();
    BindPostTaskMenu();
    OpenPendingFiles();
}

bool DesktopShell::HidesOnClose() const
{
    return tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
           config_.value(QStringLiteral("Application"), QStringLiteral("closeBehavior")).toString() ==
               QLatin1String("hide");
}

void DesktopShell::CreateTray()
{
    trayMenu_ = std::make_unique<QMenu>();
    trayMenu_->setObjectName(QStringLiteral("trayMenu"));
    auto add = [this](const char* name, const QString& text, auto slot) {
        QAction* action = trayMenu_->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add("trayShowAction", tr("Show main window"), [this] { ShowWindow(); });
    trayMenu_->addSeparator();
    add("trayStartAllAction", QCoreApplication::translate("MainWindowTitleWidget", "MainWindow.StartAll"),
        [this] {
            if (window_)
                window_->OnAllOperation(true);
        });
    add("traySuspendAllAction", QCoreApplication::translate("MainWindowTitleWidget", "MainWindow.SuspendAll"),
        [this] {
            if (window_)
                window_->OnAllOperation(false);
        });
    trayMenu_->addSeparator();
    add("trayQuitAction", QCoreApplication::translate("MainWindowTitleWidget", "MainWindow.Quit"), [this] {
        if (window_)
            window_->RequestQuit();
    });

    tray_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/image/common/app.svg")), this);
    tray_->setContextMenu(trayMenu_.get());
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            ShowWindow();
    });
    UpdateToolTip();
    tray_->show();
}

void DesktopShell::DestroyTray()
{
    delete tray_;
    tray_ = nullptr;
    trayMenu_.reset();
}

// The transfer page's post-task menu shows the choice; the choice itself
// lives in PostUploadAction, which also resets it after it ran.
void DesktopShell::BindPostTaskMenu()
{
    auto* menu = window_->findChild<QMenu*>(QStringLiteral("postTaskMenu"));
    if (!menu)
        return;
    for (const auto& entry : kPostTaskChoices) {
        QAction* action = menu->findChild<QAction*>(QLatin1String(entry.name));
        if (!action)
            continue;
        const PostUploadAction::Choice choice = entry.choice;
        action->setChecked(postAction_->choice() == choice);
        connect(action, &QAction::triggered, postAction_, [this, choice] { postAction_->setChoice(choice); });
        connect(postAction_, &PostUploadAction::SignalChoiceChanged, action,
                [action, choice](PostUploadAction::Choice now) { action->setChecked(now == choice); });
    }
}

QString DesktopShell::trayToolTip() const
{
    const UploadActivity::Totals t = activity_->totals();
    QString text = QApplication::applicationDisplayName();
    if (t.active == 0 || t.total == 0)
        return text + QLatin1Char('\n') + tr("No uploads running");
    const double percent = 100.0 * static_cast<double>(t.uploaded) / static_cast<double>(t.total);
    return text + QLatin1Char('\n') +
           tr("Uploading %1 files: %2% at %3")
               .arg(t.active)
               .arg(percent, 0, 'f', 1)
               .arg(SpeedText(t.speedKBs));
}

void DesktopShell::UpdateToolTip()
{
    if (tray_)
        tray_->setToolTip(trayToolTip());
}

void DesktopShell::ShowWindow()
{
    if (!window_)
        return;
    QApplication::setQuitOnLastWindowClosed(true);
    window_->show();
    if (window_->isMinimized())
        window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void DesktopShell::OpenFiles(const QStringList& files)
{
    pendingFiles_ << files;
    if (window_)
        OpenPendingFiles();
}

void DesktopShell::OnSecondStart(const QStringList& files)
{
    if (window_) {
        ShowWindow();
    } else {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<LoginDialog*>(w) && w->isVisible()) {
                w->raise();
                w->activateWindow();
            }
        }
    }
    OpenFiles(files);
}

void DesktopShell::OpenPendingFiles()
{
    if (pendingFiles_.isEmpty() || !window_)
        return;
    auto* transfer = window_->findChild<TransferListWidget*>();
    if (!transfer)
        return;
    QList<QUrl> urls;
    for (const QString& file : qAsConst(pendingFiles_))
        urls << QUrl::fromLocalFile(file);
    pendingFiles_.clear();
    transfer->ShowTransferPage();
    transfer->SlotDrop(urls);
}
