#include "ui/shell/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "account/accountmanager.h"
#include "ui/common/msgbox.h"
#include "ui/common/stylehelper.h"
#include "ui/shell/mainwindowtitlewidget.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/videolist/videolistwidget.h"
#include "upload/sdkmanager.h"

MainWindow::MainWindow(const ShellServices& services, QWidget* parent) : QWidget(parent), services_(services)
{
    setObjectName(QStringLiteral("MainWindow"));
    BindStyleSheet(this, {QStringLiteral("MainWindow.qss")});
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QApplication::applicationDisplayName());
    resize(1020, 640);
    setMinimumSize(960, 500);

    // The frameless window draws its own 1 px outline (style sheet border).
    setAttribute(Qt::WA_StyledBackground);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1);
    root->setSpacing(0);
    titleBarWidget_ = new QWidget(this);
    titleBarWidget_->setObjectName(QStringLiteral("titleBarWidget"));
    titleBarWidget_->setFixedHeight(MainWindowTitleWidget::kHeight);
    auto* titleLayout = new QVBoxLayout(titleBarWidget_);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    root->addWidget(titleBarWidget_);
    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName(QStringLiteral("stackedWidget"));
    root->addWidget(stackedWidget_, 1);

    connect(this, &MainWindow::SignalExit, qApp, &QCoreApplication::exit, Qt::QueuedConnection);
}

void MainWindow::Init()
{
    titleWidget_ = new MainWindowTitleWidget(titleBarWidget_);
    titleBarWidget_->layout()->addWidget(titleWidget_);

    videoList_ = new VideoListWidget(services_, stackedWidget_);
    stackedWidget_->addWidget(videoList_);
    transferList_ = new TransferListWidget(services_.uploads, services_.database, services_.accounts,
                                           services_.config, stackedWidget_);
    transferList_->setObjectName(QStringLiteral("transferList"));
    transferList_->SetCategoryModel(services_.categories);
    stackedWidget_->addWidget(transferList_);
    // Queuing files in the upload dialog brings the transfer page forward.
    connect(transferList_, &TransferListWidget::SignalJumpToTransferList, titleWidget_,
            &MainWindowTitleWidget::SignalJumpToTransferList);
    transferList_->Init();
    stackedWidget_->setCurrentWidget(videoList_);
    // Uploads added or removed change what the library lists.
    connect(services_.uploads, &SDKManager::SignalAppendUpload, videoList_,
            &VideoListWidget::SlotUploadTaskAppended);
    connect(services_.uploads, &SDKManager::SignalRemoveUpload, videoList_,
            &VideoListWidget::SlotUploadTaskRemoved);
    connect(videoList_, &VideoListWidget::SignalUpload, transferList_,
            &TransferListWidget::on_uploadBtn_clicked);
    videoList_->Init();

    connect(titleWidget_, &MainWindowTitleWidget::SignalAllOperation, this, &MainWindow::OnAllOperation,
            Qt::QueuedConnection);
    connect(titleWidget_, &MainWindowTitleWidget::SignalJumpToVideoList, this, [this]() {
        stackedWidget_->setCurrentWidget(videoList_);
        titleWidget_->SetCurrentPage(0);
    });
    connect(titleWidget_, &MainWindowTitleWidget::SignalJumpToTransferList, this, [this]() {
        stackedWidget_->setCurrentWidget(transferList_);
        titleWidget_->SetCurrentPage(1);
    });
    connect(titleWidget_, &MainWindowTitleWidget::SignalExit, this, [this](int code) {
        if (ConfirmExit())
            emit SignalExit(code);
    });
    // The menu's quit really quits, also when closing would hide to the tray.
    connect(titleWidget_, &MainWindowTitleWidget::SignalQuit, this, [this]() { RequestQuit(); });

    const AccountManager* accounts = services_.accounts;
    UserInfo info;
    info.account = accounts->account();
    info.expired = accounts->expired();
    info.leftDay = accounts->leftDay();
    info.expirationTime = accounts->expirationTime();
    info.space = accounts->space();
    info.remainBytes = accounts->remainBytes();
    titleWidget_->SetUserInfo(info);
}

bool MainWindow::ConfirmExit()
{
    SDKManager* uploads = services_.uploads;
    if (uploads->anyUploading()) {
        const int answer = MsgBox::information(
            this, tr("SystemTip"),
            tr("The file has not been uploaded successfully. Are you sure you want to exit?"),
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
        if (answer != QDialogButtonBox::Ok)
            return false;
    }
    // Paused uploads keep their progress in the upload records for the next run.
    uploads->PauseAll();
    return true;
}

void MainWindow::OnAllOperation(bool start)
{
    // The transfer page keeps its all-operation button in step with the queue.
    transferList_->OnAllOperation(start);
}

bool MainWindow::RequestQuit()
{
    if (!ConfirmExit())
        return false;
    quitting_ = true;
    QApplication::closeAllWindows();
    quitting_ = false;
    // A window hidden in the tray is not among the windows closed above, so
    // the loop may not end by itself.
    emit SignalExit(0);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (quitting_) {
        event->accept();
        return;
    }
    if (hideOnClose_ && hideOnClose_()) {
        // The uploads go on; the tray icon brings the window back.
        event->ignore();
        hide();
        emit SignalHiddenToTray();
        return;
    }
    if (!ConfirmExit()) {
        event->ignore();
        return;
    }
    event->accept();
    QApplication::closeAllWindows();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        if (width() > area.width() || height() > area.height()) {
            const QSize fitted = size().boundedTo(area.size());
            resize(fitted);
            move(area.topLeft() +
                 QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2));
        }
    }
}
