#include "ui/transfer/transferlistwidget.h"

#include "account/accountmanager.h"
#include "model/categorytreemodel.h"
#include "model/historymodel.h"
#include "model/uploadqueuemodel.h"
#include "storage/dbmanager.h"
#include "ui/common/droptouploadeventfilter.h"
#include "ui/common/msgbox.h"
#include "ui/common/statusbutton.h"
#include "ui/common/stylehelper.h"
#include "ui/common/toast.h"
#include "ui/transfer/historytablewidget.h"
#include "ui/transfer/recordtablewidget.h"
#include "ui/transfer/uploaddialog.h"
#include "upload/sdkmanager.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {
QLabel* NamedLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton* NamedButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLabel* Picture(const char* name, const QString& path, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(QPixmap(path));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

TransferListWidget::TransferListWidget(SDKManager* uploads, DBManager* db, const AccountManager* accounts,
                                       const Config* config, QWidget* parent)
    : QWidget(parent), uploads_(uploads), db_(db), accounts_(accounts), config_(config),
      queueModel_(new UploadQueueModel(uploads, this)), historyModel_(new HistoryModel(db, this))
{
    setObjectName(QStringLiteral("TransferListWidget"));
    BuildUi();
    BindStyleSheet(this, {QStringLiteral("TransferListWidget.qss")});
    connect(uploads_, &SDKManager::SignalTotals, this, &TransferListWidget::OnProcess);
    UpdatePage();
    OnProcess(0, 0, QString());
}

TransferListWidget::~TransferListWidget()
{
    // The last word on progress before the window goes away.
    if (uploads_)
        uploads_->SaveProgress();
}

void TransferListWidget::BuildUi()
{
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    transferPagesListWidget_ = new QListWidget(this);
    transferPagesListWidget_->setObjectName(QStringLiteral("transferPagesListWidget"));
    transferPagesListWidget_->addItem(tr("MainWindow.UploadPage"));
    transferPagesListWidget_->addItem(tr("MainWindow.FinishPage"));
    transferPagesListWidget_->setFixedWidth(160);
    transferPagesListWidget_->setFocusPolicy(Qt::NoFocus);
    transferPagesListWidget_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    transferPagesListWidget_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    root->addWidget(transferPagesListWidget_);

    transferListStackedWidget_ = new QStackedWidget(this);
    transferListStackedWidget_->setObjectName(QStringLiteral("transferListStackedWidget"));
    uploadRecordPage_ = BuildUploadRecordPage();
    historyRecordPage_ = BuildHistoryRecordPage();
    emptyUploadPage_ = BuildEmptyUploadPage();
    emptyHistoryPage_ = BuildEmptyHistoryPage();
    for (QWidget* page : {uploadRecordPage_, historyRecordPage_, emptyUploadPage_, emptyHistoryPage_})
        transferListStackedWidget_->addWidget(page);
    root->addWidget(transferListStackedWidget_, 1);

    connect(transferPagesListWidget_, &QListWidget::currentRowChanged, this,
            &TransferListWidget::OnPageChanged);
    connect(queueModel_, &UploadQueueModel::SignalCountChange, this,
            [this](int count) { currentTaskNumLabel_->setText(QStringLiteral("%1").arg(count)); });
    connect(historyModel_, &HistoryModel::SignalCountChange, this,
            [this](int count) { totalTransFinishFilesNum_->setText(QStringLiteral("%1").arg(count)); });
    connect(queueModel_, &UploadQueueModel::SignalContentStatus, this, &TransferListWidget::UpdatePage);
    connect(historyModel_, &HistoryModel::SignalContentStatus, this, &TransferListWidget::UpdatePage);
    connect(uploadBtn_, &QPushButton::clicked, this, &TransferListWidget::on_uploadBtn_clicked);
    connect(uploadNowBtn_, &QPushButton::clicked, this, &TransferListWidget::on_uploadNowBtn_clicked);
    connect(allOperationBtn_, &QPushButton::clicked, this, &TransferListWidget::on_allOperationBtn_clicked);
    connect(cancelAllBtn_, &QPushButton::clicked, this, &TransferListWidget::on_cancelAllBtn_clicked);
    connect(clearAllRecordButton_, &QPushButton::clicked, this,
            &TransferListWidget::on_clearAllRecordButton_clicked);

    auto drop = [this](const QList<QUrl>& urls) { SlotDrop(urls); };
    new DropToUploadEventFilter(uploadRecord_->viewport(), drop);
    new DropToUploadEventFilter(emptyUploadPage_, drop);
    new DropToUploadEventFilter(historyRecord_->viewport(), drop);
    new DropToUploadEventFilter(emptyHistoryPage_, drop);

    transferPagesListWidget_->setCurrentRow(0);
    currentTaskNumLabel_->setText(QStringLiteral("0"));
    totalTransFinishFilesNum_->setText(QStringLiteral("0"));
}

QWidget* TransferListWidget::BuildUploadRecordPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("uploadRecordPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    uploadInfoWidget_ = new QWidget(page);
    uploadInfoWidget_->setObjectName(QStringLiteral("uploadInfoWidget"));
    auto* info = new QHBoxLayout(uploadInfoWidget_);
    info->setContentsMargins(20, 0, 20, 0);
    info->setSpacing(10);
    info->addWidget(NamedLabel(tr("Mainwindow.TotalStr"), "totalStr", uploadInfoWidget_));
    totalProgressBar_ = new QProgressBar(uploadInfoWidget_);
    totalProgressBar_->setObjectName(QStringLiteral("totalProgressBar"));
    totalProgressBar_->setRange(0, 100);
    totalProgressBar_->setTextVisible(false);
    totalProgressBar_->setFixedSize(200, 6);
    info->addWidget(totalProgressBar_);
    percentLabel_ = NamedLabel(QString(), "percentLabel", uploadInfoWidget_);
    percentLabel_->setMinimumWidth(56);
    info->addWidget(percentLabel_);
    speedLabel_ = NamedLabel(QString(), "speedLabel", uploadInfoWidget_);
    speedLabel_->setMinimumWidth(90);
    info->addWidget(speedLabel_);
    info->addStretch();
    allOperationBtn_ = new StatusButton(uploadInfoWidget_, QStringLiteral("allOperationBtn"), tr("StartAll"),
                                        tr("SuspendAll"), QSize(96, 30));
    allOperationBtn_->setFocusPolicy(Qt::NoFocus);
    info->addWidget(allOperationBtn_);
    cancelAllBtn_ = NamedButton(tr("MainWindow.CancelAllBtn"), "cancelAllBtn", uploadInfoWidget_);
    info->addWidget(cancelAllBtn_);
    layout->addWidget(uploadInfoWidget_);

    uploadRecord_ = new RecordTableWidget(queueModel_, uploads_, page);
    layout->addWidget(uploadRecord_, 1);

    auto* functionBar = new QWidget(page);
    functionBar->setObjectName(QStringLiteral("functionWidget"));
    auto* bar = new QHBoxLayout(functionBar);
    bar->setContentsMargins(20, 0, 20, 0);
    bar->setSpacing(6);
    bar->addWidget(NamedLabel(tr("Mainwindow.CurrentTaskNum:"), "currentTaskNumStr", functionBar));
    currentTaskNumLabel_ = NamedLabel(QString(), "currentTaskNumLabel", functionBar);
    bar->addWidget(currentTaskNumLabel_);
    bar->addStretch();
    uploadBtn_ = NamedButton(tr("MainWindow.UploadBtn"), "uploadBtn", functionBar);
    bar->addWidget(uploadBtn_);
    postTaskBtn_ = NamedButton(tr("MainWindow.PostTaskBtn"), "postTaskBtn", functionBar);
    bar->addWidget(postTaskBtn_);
    layout->addWidget(functionBar);
    BuildPostTaskMenu();
    return page;
}

QWidget* TransferListWidget::BuildHistoryRecordPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("historyRecordPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* top = new QWidget(page);
    top->setObjectName(QStringLiteral("historyInfoWidget"));
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(4);
    row->addWidget(NamedLabel(tr("MainWindow.TotalTransFinish"), "totalTransFinishStr", top));
    totalTransFinishFilesNum_ = NamedLabel(QString(), "totalTransFinishFilesNum", top);
    row->addWidget(totalTransFinishFilesNum_);
    row->addWidget(NamedLabel(tr("MainWindow.TotalTransFinishFiles"), "totalTransFinishFilesStr", top));
    row->addStretch();
    clearAllRecordButton_ = NamedButton(tr("MainWindow.ClearAllRecordButton"), "clearAllRecordButton", top);
    row->addWidget(clearAllRecordButton_);
    layout->addWidget(top);
    historyRecord_ = new HistoryTableWidget(historyModel_, db_, page);
    layout->addWidget(historyRecord_, 1);
    return page;
}

QWidget* TransferListWidget::BuildEmptyUploadPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("emptyUploadPage"));
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(3);
    layout->addWidget(
        Picture("emptyUploadPic", QStringLiteral(":/image/transferList/pic_empty_upload.svg"), page));
    auto* text = NamedLabel(tr("MainWindow.NoUploadTask"), "noUploadTaskLabel", page);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    uploadNowBtn_ = NamedButton(tr("MainWindow.UploadNow"), "uploadNowBtn", page);
    layout->addWidget(uploadNowBtn_, 0, Qt::AlignHCenter);
    layout->addStretch(4);
    return page;
}

QWidget* TransferListWidget::BuildEmptyHistoryPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("emptyHistoryPage"));
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(3);
    layout->addWidget(
        Picture("emptyHistoryPic", QStringLiteral(":/image/transferList/pic_empty_history.svg"), page));
    auto* text = NamedLabel(tr("MainWindow.NoTransmitRecord"), "noTransmitRecordLabel", page);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    layout->addStretch(4);
    return page;
}

void TransferListWidget::BuildPostTaskMenu()
{
    postTaskMenu_ = new QMenu(this);
    postTaskMenu_->setObjectName(QStringLiteral("postTaskMenu"));
    QAction* title = postTaskMenu_->addAction(tr("MainWindow.AfterUploadFinish"));
    title->setObjectName(QStringLiteral("postTaskTitle"));
    title->setEnabled(false);
    auto* group = new QActionGroup(postTaskMenu_);
    group->setExclusive(true);
    const QList<QPair<const char*, QString>> choices = {
        {"postTaskShutdown", tr("MainWindow.PostTaskShutdown")},
        {"postTaskSleep", tr("MainWindow.PostTaskSleep")},
        {"postTaskQuit", tr("MainWindow.PostTaskQuit")},
        {"postTaskNothing", tr("MainWindow.PostTaskNoPostTask")},
    };
    for (const auto& choice : choices) {
        QAction* action = postTaskMenu_->addAction(choice.second);
        action->setObjectName(QLatin1String(choice.first));
        action->setCheckable(true);
        group->addAction(action);
        action->setChecked(qstrcmp(choice.first, "postTaskNothing") == 0);
    }
    connect(group, &QActionGroup::triggered, this,
            [](QAction* action) { qDebug() << "post task chosen:" << action->objectName(); });
    connect(postTaskBtn_, &QPushButton::clicked, this, [this] {
        postTaskMenu_->popup(postTaskBtn_->mapToGlobal(QPoint(0, 0)) -
                             QPoint(0, postTaskMenu_->sizeHint().height()));
    });
}

void TransferListWidget::SetCategoryModel(CategoryTreeModel* categories)
{
    if (categories_)
        disconnect(categories_, nullptr, this, nullptr);
    categories_ = categories;
    queueModel_->SetCategoryModel(categories);
    if (categories)
        connect(categories, &CategoryTreeModel::SignalCategoryAvailable, this,
                &TransferListWidget::OnCategoryAvailable);
}

void TransferListWidget::Init()
{
    if (initialised_)
        return;
    initialised_ = true;
    connect(uploads_, &SDKManager::SignalAllUploadStatus, allOperationBtn_, &QPushButton::setChecked);
    historyModel_->fetchMore(QModelIndex());
    uploads_->RestoreUploads();
    // The upload dialog picks a category from the tree; load it if nobody has yet.
    if (categories_ && categories_->rowCount() == 0 && !categories_->HasTask())
        categories_->RefreshCategory();
}

void TransferListWidget::OnCategoryAvailable(bool available)
{
    uploadBtn_->setEnabled(available);
    uploadNowBtn_->setEnabled(available);
}

UploadDialog* TransferListWidget::OpenUploadDialog()
{
    auto* dialog = new UploadDialog(uploads_, config_, categories_, this,
                                    accounts_ ? static_cast<qint64>(accounts_->cateId()) : 0);
    connect(dialog, &UploadDialog::SignalSwitchToTransferList, this, &TransferListWidget::ShowTransferPage);
    connect(dialog, &UploadDialog::SignalMessage, this, &TransferListWidget::OnShowMessage);
    uploadDialog_ = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void TransferListWidget::on_uploadBtn_clicked()
{
    OpenUploadDialog();
}

void TransferListWidget::on_uploadNowBtn_clicked()
{
    OpenUploadDialog();
}

void TransferListWidget::SlotDrop(const QList<QUrl>& urls)
{
    OpenUploadDialog()->AddUrls(urls);
}

void TransferListWidget::on_allOperationBtn_clicked(bool start)
{
    if (start)
        uploads_->StartAll();
    else
        uploads_->PauseAll();
    allOperationBtn_->setChecked(start);
}

void TransferListWidget::OnAllOperation(bool start)
{
    on_allOperationBtn_clicked(start);
}

void TransferListWidget::on_cancelAllBtn_clicked()
{
    const int answer = MsgBox::information(
        window(), tr("SystemTip"),
        tr("The file has not been uploaded successfully. Are you sure you want to cancel all uploads?"),
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
    if (answer == QDialogButtonBox::Ok)
        uploads_->DeleteAllTasks();
}

void TransferListWidget::on_clearAllRecordButton_clicked()
{
    const int answer = MsgBox::information(
        window(), tr("SystemTip"), tr("Are you sure you want to remove all history records?"),
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
    if (answer == QDialogButtonBox::Ok)
        db_->DeleteHistories(true);
}

void TransferListWidget::ShowTransferPage()
{
    emit SignalJumpToTransferList();
    // The page sits somewhere below the main window's page stack; raise the
    // stack's page that holds it.
    QWidget* child = this;
    for (QWidget* ancestor = parentWidget(); ancestor;
         child = ancestor, ancestor = ancestor->parentWidget()) {
        if (auto* stack = qobject_cast<QStackedWidget*>(ancestor)) {
            if (stack != transferListStackedWidget_) {
                stack->setCurrentWidget(child);
                break;
            }
        }
    }
    transferPagesListWidget_->setCurrentRow(0);
}

void TransferListWidget::OnShowMessage(const QString& text)
{
    ShowToastInParent(window(), text, 1, Qt::AlignTop | Qt::AlignVCenter, true);
}

void TransferListWidget::OnPageChanged(int row)
{
    Q_UNUSED(row);
    UpdatePage();
}

void TransferListWidget::UpdatePage()
{
    const int row = transferPagesListWidget_->currentRow();
    QWidget* page = nullptr;
    if (row == 1) {
        page = historyModel_->rowCount() > 0 ? historyRecordPage_ : emptyHistoryPage_;
        qDebug().noquote() << "the history page:" << page->objectName()
                           << ",the page index:" << transferListStackedWidget_->indexOf(page);
    } else {
        page = queueModel_->rowCount() > 0 ? uploadRecordPage_ : emptyUploadPage_;
        qDebug().noquote() << "the record page:" << page->objectName()
                           << ",the page index:" << transferListStackedWidget_->indexOf(page);
    }
    transferListStackedWidget_->setCurrentWidget(page);
}

void TransferListWidget::OnProcess(qint64 uploaded, qint64 total, const QString& speed)
{
    if (total <= 0) {
        percentLabel_->clear();
        totalProgressBar_->setValue(0);
    } else {
        const double percent = static_cast<double>(uploaded) / static_cast<double>(total) * 100.0;
        percentLabel_->setText(QStringLiteral("%1%").arg(percent, 0, 'f', 2));
        totalProgressBar_->setValue(static_cast<int>(percent));
    }
    speedLabel_->setText(speed);
}

void TransferListWidget::closeEvent(QCloseEvent* event)
{
    uploads_->SaveProgress();
    QWidget::closeEvent(event);
}
