#include "ui/shell/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "account/accountmanager.h"
#include "ui/common/msgbox.h"
#include "ui/common/stylehelper.h"
#include "ui/shell/mainwindowtitlewidget.h"
#include "ui/videolist/videolistwidget.h"
#include "upload/sdkmanager.h"

// The transfer list page and the shared category model join the build in
// their own time; until then the window shows a neutral page in their place.
#if __has_include("ui/transfer/transferlistwidget.h")
#include "ui/transfer/transferlistwidget.h"
#define ORVANE_HAS_TRANSFER_PAGE 1
#endif
#if __has_include("model/categorytreemodel.h")
#include "app/application.h"
#include "model/categorytreemodel.h"
#define ORVANE_HAS_CATEGORY_MODEL 1
#endif

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
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

MainWindow::MainWindow(CategoryTreeModel* categories, VideoTableModel* videos, QWidget* parent)
    : MainWindow(parent)
{
    categories_ = categories;
    videos_ = videos;
}

QWidget* MainWindow::MakePlaceholderPage(const QString& objectName, const QString& text)
{
    auto* page = new QWidget(stackedWidget_);
    page->setObjectName(objectName);
    page->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto* picture = new QLabel(page);
    picture->setObjectName(QStringLiteral("placeholderPicLabel"));
    picture->setPixmap(QIcon(QStringLiteral(":/image/common/placeholder.svg")).pixmap(QSize(96, 96)));
    picture->setAlignment(Qt::AlignCenter);
    auto* label = new QLabel(text, page);
    label->setObjectName(QStringLiteral("placeholderLabel"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addSpacing(8);
    layout->addWidget(label);
    layout->addStretch(2);
    return page;
}

void MainWindow::Init()
{
    titleWidget_ = new MainWindowTitleWidget(titleBarWidget_);
    titleBarWidget_->layout()->addWidget(titleWidget_);

    if (categories_ && videos_) {
        videoListWidget_ = new VideoListWidget(categories_, videos_, stackedWidget_);
        videoList_ = videoListWidget_;
    } else {
        videoList_ = MakePlaceholderPage(QStringLiteral("videoList"), tr("MainWindow.VideoListPlaceholder"));
    }
    stackedWidget_->addWidget(videoList_);
#ifdef ORVANE_HAS_TRANSFER_PAGE
    auto* transfer = new TransferListWidget(stackedWidget_);
    transfer->setObjectName(QStringLiteral("transferList"));
#ifdef ORVANE_HAS_CATEGORY_MODEL
    if (auto* app = qobject_cast<Application*>(qApp); app && app->categoryTreeModel())
        transfer->SetCategoryModel(app->categoryTreeModel());
#endif
    transferList_ = transfer;
    stackedWidget_->addWidget(transferList_);
    // Queuing files in the upload dialog brings the transfer page forward.
    connect(transfer, &TransferListWidget::SignalJumpToTransferList, titleWidget_,
            &MainWindowTitleWidget::SignalJumpToTransferList);
    transfer->Init();
#else
    transferList_ =
        MakePlaceholderPage(QStringLiteral("transferList"), tr("MainWindow.TransferListPlaceholder"));
    stackedWidget_->addWidget(transferList_);
#endif
    stackedWidget_->setCurrentWidget(videoList_);
    if (videoListWidget_) {
        // Uploads added or removed change what the library lists.
        SDKManager* uploads = SDKManager::instance();
        connect(uploads, &SDKManager::SignalAppendUpload, videoListWidget_,
                &VideoListWidget::SlotUploadTaskAppended);
        connect(uploads, &SDKManager::SignalRemoveUpload, videoListWidget_,
                &VideoListWidget::SlotUploadTaskRemoved);
#ifdef ORVANE_HAS_TRANSFER_PAGE
        connect(videoListWidget_, &VideoListWidget::SignalUpload, transfer,
                &TransferListWidget::on_uploadBtn_clicked);
#endif
        videoListWidget_->Init();
    }

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

    if (AccountManager* accounts = AccountManager::Current()) {
        UserInfo info;
        info.account = accounts->account();
        info.expired = accounts->expired();
        info.leftDay = accounts->leftDay();
        info.expirationTime = accounts->expirationTime();
        info.space = accounts->space();
        info.remainBytes = accounts->remainBytes();
        titleWidget_->SetUserInfo(info);
    }
}

bool MainWindow::ConfirmExit()
{
    SDKManager* uploads = SDKManager::instance();
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
    for (const char* slot : {"OnAllOperation", "on_allOperationBtn_clicked"}) {
        const QByteArray signature = QByteArray(slot) + "(bool)";
        if (transferList_ && transferList_->metaObject()->indexOfMethod(signature.constData()) >= 0) {
            QMetaObject::invokeMethod(transferList_, slot, Q_ARG(bool, start));
            return;
        }
    }
    if (start)
        SDKManager::instance()->StartAll();
    else
        SDKManager::instance()->PauseAll();
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
