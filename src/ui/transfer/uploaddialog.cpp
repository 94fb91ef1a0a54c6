#include "ui/transfer/uploaddialog.h"

#include "base/config.h"
#include "base/paths.h"
#include "ui/common/droptouploadeventfilter.h"
#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"
#include "ui/common/toast.h"
#include "ui/transfer/transfercommon.h"
#include "ui/transfer/uploadtablemodel.h"
#include "ui/transfer/uploadtableview.h"
#include "upload/sdkmanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
const char kAllMediaPatterns[] =
    "*.mp4 *.mov *.flv *.avi *.mkv *.webm *.3gp *.asf *.dat *.f4v *.m4v *.mpe *.mpg "
    "*.mpeg *.mts *.qt *.rmvb *.swf *.ts *.vob *.wmv *.mp3 *.aac *.wav *.wma";
const char kVideoPatterns[] =
    "*.mp4 *.mov *.flv *.avi *.mkv *.webm *.3gp *.asf *.dat *.f4v *.m4v *.mpe *.mpg "
    "*.mpeg *.mts *.qt *.rmvb *.swf *.ts *.vob *.wmv";
const char kAudioPatterns[] = "*.mp3 *.aac *.wav *.wma";
constexpr int kCateIdRole = 256;

// The first file chosen last time; empty until a file was chosen.
QString& LastLocation()
{
    static QString location;
    return location;
}
} // namespace

const QStringList& UploadDialog::SupportedSuffixes()
{
    static const QStringList suffixes =
        QString::fromLatin1(kAllMediaPatterns).remove(QStringLiteral("*.")).split(QLatin1Char(' '));
    return suffixes;
}

UploadDialog::UploadDialog(SDKManager* uploads, const Config* config, QAbstractItemModel* categories,
                           QWidget* parent, qint64 accountCateId)
    : QDialog(parent), uploads_(uploads), config_(config), categories_(categories),
      accountCateId_(accountCateId > 0 ? accountCateId : 1), model_(new UploadTableModel(this)),
      blinkTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("UploadDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(tr("UploadDialogTitle"));
    setModal(false);
    blinkTimer_->setObjectName(QStringLiteral("blinkTimer"));
    blinkTimer_->setInterval(200);
    connect(blinkTimer_, &QTimer::timeout, this, &UploadDialog::SlotHighlightItem);
    BuildUi();
    BindStyleSheet(this, {QStringLiteral("UploadDialog.qss")});

    cateId_ = TransferUi::TopCategoryId(categories_);
    if (cateId_ <= 0)
        cateId_ = accountCateId_; // no tree (yet): the account's own upload category
    SelectCategory(cateId_);
    const QVariant optimize = config_ ? config_->value(QStringLiteral("UploadTaskManager"),
                                                       QStringLiteral("optimizeCoursewareSwitch"), false)
                                      : QVariant(false);
    optimizeCheckBox_->setChecked(optimize.toBool());
    OnRowCountChanged(0);
    resize(760, 520);
}

UploadDialog::~UploadDialog() = default;

void UploadDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The shared title bar also drags the frameless dialog.
    titleWidget_ = new TitleBar(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    titleWidget_->setFixedHeight(45);
    titleWidget_->titleLayout()->setContentsMargins(20, 0, 0, 0);
    titleWidget_->SetTitle(tr("UploadDialogTitle"));
    // This dialog's style sheet draws its own close image; the tooltip keeps its own text.
    titleWidget_->closeBtn()->setIcon(QIcon());
    titleWidget_->closeBtn()->setToolTip(tr("Close"));
    root->addWidget(titleWidget_);

    auto* toolWidget = new QWidget(this);
    toolWidget->setObjectName(QStringLiteral("toolWidget"));
    auto* toolRow = new QHBoxLayout(toolWidget);
    toolRow->setContentsMargins(20, 12, 20, 12);
    toolRow->setSpacing(12);
    addVideoButton_ = new QPushButton(tr("UploadDialog.AddVideo"), toolWidget);
    addVideoButton_->setObjectName(QStringLiteral("addVideoButton"));
    categoryComboBox_ = new QComboBox(toolWidget);
    categoryComboBox_->setObjectName(QStringLiteral("categoryComboBox"));
    categoryComboBox_->setMinimumWidth(200);
    categoryTreeView_ = new QTreeView(categoryComboBox_);
    categoryTreeView_->setObjectName(QStringLiteral("categoryTreeView"));
    categoryTreeView_->setHeaderHidden(true);
    categoryTreeView_->setItemsExpandable(true);
    categoryTreeView_->setRootIsDecorated(true);
    categoryTreeView_->setUniformRowHeights(true);
    if (categories_) {
        categoryComboBox_->setModel(categories_);
        categoryComboBox_->setView(categoryTreeView_);
        categoryTreeView_->expandAll();
        // A reloaded tree replaces every item: keep the chosen id if it still exists.
        connect(categories_, &QAbstractItemModel::rowsInserted, this, [this] {
            categoryTreeView_->expandAll();
            const qint64 wanted = TransferUi::FindCategory(categories_, cateId_).isValid()
                                      ? cateId_
                                      : TransferUi::TopCategoryId(categories_);
            cateId_ = wanted;
            SelectCategory(wanted);
        });
    }
    optimizeCheckBox_ = new QCheckBox(tr("UploadDialog.Optimize"), toolWidget);
    optimizeCheckBox_->setObjectName(QStringLiteral("optimizeCheckBox"));
    allDeleteButton_ =
        new QPushButton(QIcon(QStringLiteral(":/image/transferList/icon_delete_tasks_normal.svg")),
                        tr("UploadDialog.DeleteAll"), toolWidget);
    allDeleteButton_->setObjectName(QStringLiteral("allDeleteButton"));
    for (QPushButton* button : {addVideoButton_, allDeleteButton_})
        button->setAutoDefault(false);
    toolRow->addWidget(addVideoButton_);
    toolRow->addWidget(categoryComboBox_);
    toolRow->addWidget(optimizeCheckBox_);
    toolRow->addStretch();
    toolRow->addWidget(allDeleteButton_);
    root->addWidget(toolWidget);

    uploadTableView_ = new UploadTableView(this);
    uploadTableView_->setModel(model_);
    auto* tableWrap = new QWidget(this);
    tableWrap->setObjectName(QStringLiteral("tableWidget"));
    auto* tableLayout = new QVBoxLayout(tableWrap);
    tableLayout->setContentsMargins(20, 0, 20, 0);
    tableLayout->addWidget(uploadTableView_);
    root->addWidget(tableWrap, 1);

    auto* bottomWidget = new QWidget(this);
    bottomWidget->setObjectName(QStringLiteral("bottomWidget"));
    auto* bottomRow = new QHBoxLayout(bottomWidget);
    bottomRow->setContentsMargins(20, 12, 20, 16);
    totalVideoLabel_ = new QLabel(bottomWidget);
    totalVideoLabel_->setObjectName(QStringLiteral("totalVideoLabel"));
    cancelButton_ = new QPushButton(tr("UploadDialog.Cancel"), bottomWidget);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    confirmButton_ = new QPushButton(tr("UploadDialog.Upload"), bottomWidget);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    cancelButton_->setAutoDefault(false);
    confirmButton_->setAutoDefault(false);
    confirmButton_->setEnabled(false);
    bottomRow->addWidget(totalVideoLabel_);
    bottomRow->addStretch();
    bottomRow->addWidget(cancelButton_);
    bottomRow->addWidget(confirmButton_);
    root->addWidget(bottomWidget);

    connect(addVideoButton_, &QPushButton::clicked, this, &UploadDialog::SlotAddVideoFromSystemFileSelect);
    connect(allDeleteButton_, &QPushButton::clicked, this, &UploadDialog::OnDeleteAll);
    connect(confirmButton_, &QPushButton::clicked, this, &UploadDialog::SlotConfirmUpload);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::close);
    connect(model_, &UploadTableModel::SignalRowCountChanged, this, &UploadDialog::OnRowCountChanged);
    connect(uploadTableView_, &UploadTableView::SignalDeleteItem, this, &UploadDialog::OnDeleteItem);
    connect(categoryComboBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &UploadDialog::OnCategoryChanged);

    new DropToUploadEventFilter(uploadTableView_->viewport(),
                                [this](const QList<QUrl>& urls) { AddUrls(urls); });
}

void UploadDialog::SelectCategory(qint64 cateId)
{
    const QModelIndex index = TransferUi::FindCategory(categories_, cateId);
    if (!index.isValid())
        return;
    // The combo box addresses rows under its root; point the root at the
    // item's parent for the selection, then show the whole tree again.
    const QSignalBlocker block(categoryComboBox_);
    categoryComboBox_->setRootModelIndex(index.parent());
    categoryComboBox_->setCurrentIndex(index.row());
    categoryComboBox_->setRootModelIndex(QModelIndex());
    categoryTreeView_->setCurrentIndex(index);
}

void UploadDialog::OnCategoryChanged(int index)
{
    const QModelIndex chosen = categoryTreeView_->currentIndex();
    if (chosen.isValid())
        cateId_ = chosen.data(kCateIdRole).toLongLong();
    qDebug() << "category changed, index:" << index << "text:" << categoryComboBox_->currentText()
             << "selection:" << chosen << "cateId:" << cateId_;
}

void UploadDialog::OnRowCountChanged(int count)
{
    confirmButton_->setEnabled(count > 0);
    totalVideoLabel_->setText(tr("Total %1 videos").arg(count));
    uploadTableView_->horizontalHeader()->setVisible(count > 0);
}

void UploadDialog::SlotAddVideoFromSystemFileSelect()
{
    static const QString filter =
        QStringList{
            QStringLiteral("%1 (%2)").arg(tr("AllMediaFiles"), QLatin1String(kAllMediaPatterns)),
            QStringLiteral("%1 (%2)").arg(tr("VideoFiles"), QLatin1String(kVideoPatterns)),
            QStringLiteral("%1 (%2)").arg(tr("AudioFiles"), QLatin1String(kAudioPatterns)),
        }
            .join(QStringLiteral(";;"));
    const QString start =
        LastLocation().isEmpty() ? StartFolder(QStandardPaths::MoviesLocation) : LastLocation();
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("MediaFiles"), start, filter);
    if (!files.isEmpty()) {
        LastLocation() = files.first();
        AddFiles(files);
    }
    uploadTableView_->horizontalHeader()->setVisible(model_->rowCount() > 0);
}

void UploadDialog::AddFiles(const QStringList& paths)
{
    QStringList unsupported;
    QStringList accepted;
    QSet<QString> seen;
    for (const QString& given : paths) {
        const QFileInfo info(given);
        const QString path = info.absoluteFilePath();
        if (model_->ContainsPath(path) || seen.contains(path)) {
            blinking_[path] = 0;
            continue;
        }
        if (SupportedSuffixes().contains(info.suffix(), Qt::CaseInsensitive)) {
            seen.insert(path);
            accepted << path;
        } else {
            unsupported << given;
        }
    }
    // One batch: a dropped folder of a thousand files is one update.
    model_->AppendFiles(accepted);
    if (!blinking_.isEmpty() && !blinkTimer_->isActive())
        blinkTimer_->start();
    if (!unsupported.isEmpty()) {
        activateWindow();
        ShowToastInParent(this,
                          QStringLiteral("%1\n%2)").arg(tr("UploadDialog.NoSupportFiles:"),
                                                        unsupported.join(QLatin1Char('\n'))),
                          1, Qt::AlignTop | Qt::AlignVCenter, true);
    }
}

void UploadDialog::AddUrls(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    AddFiles(paths);
}

void UploadDialog::SlotHighlightItem()
{
    QItemSelectionModel* selection = uploadTableView_->selectionModel();
    for (auto it = blinking_.begin(); it != blinking_.end();) {
        const int row = model_->RowOfPath(it.key());
        if (row < 0) {
            it = blinking_.erase(it);
            continue;
        }
        const QModelIndex index = model_->index(row, 0);
        selection->select(index, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        if (++it.value() > kBlinkTicks) {
            // End unselected so the row does not stay highlighted.
            selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            it = blinking_.erase(it);
        } else {
            ++it;
        }
    }
    if (blinking_.isEmpty())
        blinkTimer_->stop();
}

void UploadDialog::StopBlinking(const QString& path)
{
    blinking_.remove(path);
    if (blinking_.isEmpty())
        blinkTimer_->stop();
}

void UploadDialog::OnDeleteItem(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    StopBlinking(index.siblingAtColumn(0).data(UploadTableModel::PathRole).toString());
    model_->removeRow(index.row());
}

void UploadDialog::OnDeleteAll()
{
    model_->SlotClear();
    blinkTimer_->stop();
    blinking_.clear();
}

bool UploadDialog::ValidateRows()
{
    bool allValid = true;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex first = model_->index(row, 0);
        const bool valid =
            TransferUi::IsBmpText(QFileInfo(first.data(UploadTableModel::PathRole).toString()).fileName()) &&
            TransferUi::IsBmpText(first.data(UploadTableModel::TitleRole).toString()) &&
            TransferUi::IsBmpText(first.data(UploadTableModel::DescRole).toString()) &&
            TransferUi::IsBmpText(first.data(UploadTableModel::TagsRole).toString());
        for (int column = 0; column < model_->columnCount(); ++column) {
            QStandardItem* item = model_->item(row, column);
            if (valid)
                item->setData(QVariant(), Qt::ForegroundRole);
            else
                item->setForeground(QColor(0xFF, 0x46, 0x46));
        }
        allValid = allValid && valid;
    }
    if (!allValid)
        ShowToastInParent(this, tr("UploadDialog.InvalidParam"), 1, Qt::AlignTop | Qt::AlignVCenter, true);
    return allValid;
}

void UploadDialog::SlotConfirmUpload()
{
    if (!ValidateRows())
        return;
    const QString catePath = TransferUi::CategoryName(categories_, cateId_);
    const int luping = optimizeCheckBox_->isChecked() ? 1 : 0;
    QSet<QString> handled;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex first = model_->index(row, 0);
        const QString path = first.data(UploadTableModel::PathRole).toString();
        if (handled.contains(path))
            continue;
        handled.insert(path);
        const QString title = first.data(UploadTableModel::TitleRole).toString();
        const QString desc = first.data(UploadTableModel::DescRole).toString();
        const QString tags = first.data(UploadTableModel::TagsRole).toString();
        qInfo().noquote() << QStringLiteral(
                                 "upload param:\n  cateId: %1\n  filePath: %2\n  title: %3\n  desc: %4\n"
                                 "  tags: %5\n  cateName: %6\n  luping: %7")
                                 .arg(cateId_)
                                 .arg(path, title, desc, tags, catePath)
                                 .arg(luping);
        uploads_->AddUpload(cateId_, path, title, desc, tags, catePath, luping, 0);
    }
    if (!handled.isEmpty())
        emit SignalSwitchToTransferList();
    if (handled.size() != model_->rowCount())
        emit SignalMessage(tr("UploadDialog.UploadFileDuplicated"));
    close();
}
