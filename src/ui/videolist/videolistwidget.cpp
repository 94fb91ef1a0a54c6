#include "ui/videolist/videolistwidget.h"

#include "account/accountmanager.h"
#include "model/bmptextvalidator.h"
#include "model/categorytreemodel.h"
#include "model/categorytreemodelworker.h"
#include "model/recursivefilterproxymodel.h"
#include "ui/common/msgbox.h"
#include "ui/common/showinexplorer.h"
#include "ui/common/stylehelper.h"
#include "ui/common/toast.h"
#include "ui/videolist/addcategorydialog.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/checkableheaderview.h"
#include "ui/videolist/copycodedialog.h"
#include "ui/videolist/deletevideofailedpromptdialog.h"
#include "ui/videolist/paginator.h"
#include "ui/videolist/selectcategorydialog.h"
#include "ui/videolist/treemodelcompleter.h"
#include "ui/videolist/videobatchsearchdialog.h"
#include "ui/videolist/videoeditdialog.h"
#include "ui/videolist/videotableview.h"
#include "upload/sdkmanager.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QMovie>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStringListModel>
#include <QVBoxLayout>

namespace {
// A field as RFC 4180 wants it: quoted (quotes doubled) when it holds a
// separator, a quote or a line break, so that no title can shift columns.
QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QPushButton* MakeButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QWidget* MakeLoadingPage(QWidget* parent, const char* name, QLabel** text, QMovie** movie)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto* animation = new QLabel(page);
    animation->setAlignment(Qt::AlignCenter);
    *movie = new QMovie(QStringLiteral(":/image/common/loading@2x.gif"), QByteArray(), page);
    (*movie)->setScaledSize(QSize(32, 32));
    animation->setMovie(*movie);
    *text = new QLabel(page);
    (*text)->setAlignment(Qt::AlignCenter);
    (*text)->setObjectName(QStringLiteral("loadingLabel"));
    layout->addWidget(animation);
    layout->addWidget(*text);
    layout->addStretch(2);
    return page;
}

} // namespace

VideoListWidget::VideoListWidget(const ShellServices& services, QWidget* parent)
    : QWidget(parent), services_(services), categories_(services.categories), videos_(services.videos)
{
    setObjectName(QStringLiteral("VideoListWidget"));
    setAttribute(Qt::WA_StyledBackground);
    BindStyleSheet(this, {QStringLiteral("VideoListWidget.qss")});
    lastExportDir_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    BuildUi();
    Retranslate();
    ConnectModels();
}

void VideoListWidget::BuildUi()
{
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    root->addWidget(splitter);

    // Left: category search, add and reload, and the tree.
    auto* cateTreeWidget = new QWidget(splitter);
    cateTreeWidget->setObjectName(QStringLiteral("cateTreeWidget"));
    cateTreeWidget->setAttribute(Qt::WA_StyledBackground);
    auto* cateLayout = new QVBoxLayout(cateTreeWidget);
    cateLayout->setContentsMargins(12, 12, 12, 12);
    auto* cateBar = new QHBoxLayout;
    searchCateLineEdit_ = new QLineEdit(cateTreeWidget);
    searchCateLineEdit_->setObjectName(QStringLiteral("searchCateLineEdit"));
    searchCateLineEdit_->setClearButtonEnabled(true);
    if (categories_) {
        completer_ = new TreeModelCompleter(categories_->NamesModel(), this);
        completer_->setCaseSensitivity(Qt::CaseInsensitive);
        completer_->setFilterMode(Qt::MatchContains);
        searchCateLineEdit_->setCompleter(completer_);
    }
    addCateButton_ = MakeButton(cateTreeWidget, "addCateButton");
    refreshCateButton_ = MakeButton(cateTreeWidget, "refreshCateButton");
    cateLayout->addWidget(searchCateLineEdit_);
    cateBar->addWidget(addCateButton_);
    cateBar->addWidget(refreshCateButton_);
    cateLayout->addLayout(cateBar);
    cateTreeStackedWidget_ = new QStackedWidget(cateTreeWidget);
    cateTreeStackedWidget_->setObjectName(QStringLiteral("cateTreeStackedWidget"));
    loadingCatePage_ =
        MakeLoadingPage(cateTreeStackedWidget_, "loadingCatePage", &loadingCateLabel_, &cateMovie_);
    cateTreeViewPage_ = new QWidget(cateTreeStackedWidget_);
    cateTreeViewPage_->setObjectName(QStringLiteral("cateTreeViewPage"));
    auto* treeLayout = new QVBoxLayout(cateTreeViewPage_);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    cateTreeView_ = new CategoryTreeView(services_.accounts, cateTreeViewPage_);
    if (categories_)
        cateTreeView_->SetCategoryModel(categories_);
    treeLayout->addWidget(cateTreeView_);
    cateTreeStackedWidget_->addWidget(loadingCatePage_);
    cateTreeStackedWidget_->addWidget(cateTreeViewPage_);
    cateLayout->addWidget(cateTreeStackedWidget_, 1);

    // Right: the control bars, the table and the bottom bar.
    videoWidget_ = new QWidget(splitter);
    videoWidget_->setObjectName(QStringLiteral("videoWidget"));
    auto* videoLayout = new QVBoxLayout(videoWidget_);
    videoLayout->setContentsMargins(16, 12, 16, 8);
    videoLayout->setSpacing(8);
    auto* controlBar = new QHBoxLayout;
    controlVideoListStackedWidget_ = new QStackedWidget(videoWidget_);
    controlVideoListStackedWidget_->setObjectName(QStringLiteral("controlVideoListStackedWidget"));
    uploadButton_ = MakeButton(controlVideoListStackedWidget_, "uploadButton");
    returnButton_ = MakeButton(controlVideoListStackedWidget_, "returnButton");
    controlVideoListStackedWidget_->addWidget(uploadButton_);
    controlVideoListStackedWidget_->addWidget(returnButton_);
    controlVideoListStackedWidget_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    controlBar->addWidget(controlVideoListStackedWidget_);
    controlBar->addStretch(1);
    auto* searchVideoWidget = new QWidget(videoWidget_);
    searchVideoWidget->setObjectName(QStringLiteral("searchVideoWidget"));
    auto* searchLayout = new QHBoxLayout(searchVideoWidget);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchVideoCateTypeComboBox_ = new QComboBox(searchVideoWidget);
    searchVideoCateTypeComboBox_->setObjectName(QStringLiteral("searchVideoCateTypeComboBox"));
    searchVideoCateTypeComboBox_->addItems({QString(), QString()});
    searchVideoLineEdit_ = new QLineEdit(searchVideoWidget);
    searchVideoLineEdit_->setObjectName(QStringLiteral("searchVideoLineEdit"));
    searchVideoLineEdit_->setClearButtonEnabled(true);
    searchVideoLineEdit_->setMinimumWidth(200);
    searchButton_ = MakeButton(searchVideoWidget, "searchButton");
    batchSearchButton_ = MakeButton(searchVideoWidget, "batchSearchButton");
    sortComboBox_ = new QComboBox(searchVideoWidget);
    sortComboBox_->setObjectName(QStringLiteral("sortComboBox"));
    searchLayout->addWidget(searchVideoCateTypeComboBox_);
    searchLayout->addWidget(searchVideoLineEdit_, 1);
    searchLayout->addWidget(searchButton_);
    searchLayout->addWidget(batchSearchButton_);
    controlBar->addWidget(searchVideoWidget);
    videoLayout->addLayout(controlBar);
    // Sorting is chosen in the table header; the box is kept for the layout.
    sortComboBox_->hide();

    auto* actionBar = new QHBoxLayout;
    subCateSwitchWidget_ = new QWidget(videoWidget_);
    subCateSwitchWidget_->setObjectName(QStringLiteral("subCateSwitchWidget"));
    auto* switchLayout = new QHBoxLayout(subCateSwitchWidget_);
    switchLayout->setContentsMargins(0, 0, 0, 0);
    switchLayout->setSpacing(0);
    noContainSubCateButton_ = MakeButton(subCateSwitchWidget_, "noContainSubCateButton");
    containSubCateButton_ = MakeButton(subCateSwitchWidget_, "containSubCateButton");
    for (QPushButton* b : {noContainSubCateButton_, containSubCateButton_}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        switchLayout->addWidget(b);
    }
    containSubCateButton_->setChecked(true);
    searchResultTip_ = new QLabel(videoWidget_);
    searchResultTip_->setObjectName(QStringLiteral("searchResultTip"));
    searchResultTip_->hide();
    exportButton_ = MakeButton(videoWidget_, "exportButton");
    refreshVideoTableButton_ = MakeButton(videoWidget_, "refreshVideoTableButton");
    moveMultiVideoButton_ = MakeButton(videoWidget_, "moveMultiVideoButton");
    deleteMultiVideoButton_ = MakeButton(videoWidget_, "deleteMultiVideoButton");
    actionBar->addWidget(subCateSwitchWidget_);
    actionBar->addWidget(searchResultTip_);
    actionBar->addStretch(1);
    for (QPushButton* b :
         {exportButton_, refreshVideoTableButton_, moveMultiVideoButton_, deleteMultiVideoButton_})
        actionBar->addWidget(b);
    videoLayout->addLayout(actionBar);

    videoListStackedWidget_ = new QStackedWidget(videoWidget_);
    videoListStackedWidget_->setObjectName(QStringLiteral("videoListStackedWidget"));
    noVideoPage_ = new QWidget(videoListStackedWidget_);
    noVideoPage_->setObjectName(QStringLiteral("noVideoPage"));
    auto* emptyLayout = new QVBoxLayout(noVideoPage_);
    emptyLayout->addStretch(1);
    noVideoPicLabel_ = new QLabel(noVideoPage_);
    noVideoPicLabel_->setObjectName(QStringLiteral("noVideoPicLabel"));
    noVideoPicLabel_->setAlignment(Qt::AlignCenter);
    noVideoStrLabel_ = new QLabel(noVideoPage_);
    noVideoStrLabel_->setObjectName(QStringLiteral("noVideoStrLabel"));
    noVideoStrLabel_->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(noVideoPicLabel_);
    emptyLayout->addWidget(noVideoStrLabel_);
    emptyLayout->addStretch(2);
    loadingVideoPage_ =
        MakeLoadingPage(videoListStackedWidget_, "loadingVideoPage", &loadingVideoLabel_, &videoMovie_);
    videoTablePage_ = new QWidget(videoListStackedWidget_);
    videoTablePage_->setObjectName(QStringLiteral("videoTablePage"));
    auto* tableLayout = new QVBoxLayout(videoTablePage_);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    videoTableView_ = new VideoTableView(videoTablePage_);
    if (videos_)
        videoTableView_->SetVideoModel(videos_);
    tableLayout->addWidget(videoTableView_);
    videoListStackedWidget_->addWidget(noVideoPage_);
    videoListStackedWidget_->addWidget(loadingVideoPage_);
    videoListStackedWidget_->addWidget(videoTablePage_);
    videoListStackedWidget_->setCurrentWidget(loadingVideoPage_);
    videoLayout->addWidget(videoListStackedWidget_, 1);

    auto* bottomBar = new QHBoxLayout;
    statusBar_ = new QLabel(videoWidget_);
    statusBar_->setObjectName(QStringLiteral("statusBar"));
    paginator_ = new Paginator(videoWidget_);
    bottomBar->addWidget(statusBar_);
    bottomBar->addStretch(1);
    bottomBar->addWidget(paginator_);
    videoLayout->addLayout(bottomBar);

    splitter->addWidget(cateTreeWidget);
    splitter->addWidget(videoWidget_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 760});
    ApplyPlaceholderColor(this);

    // The page's own controls.
    connect(searchCateLineEdit_, &QLineEdit::textChanged, this, &VideoListWidget::SlotUpdateCateFilter);
    connect(refreshCateButton_, &QPushButton::clicked, this, [this] {
        if (!categories_)
            return;
        if (categories_->HasTask()) {
            ShowToast(tr("IsOperatingCategory"), true);
            return;
        }
        searchCateLineEdit_->clear();
        SlotUpdateCateFilter();
        qInfo() << "RefreshCategory";
        categories_->RefreshCategory();
    });
    connect(addCateButton_, &QPushButton::clicked, this, [this] {
        if (!categories_)
            return;
        const qulonglong parent = currentCateId_ ? currentCateId_ : categories_->TopCateId();
        auto* dialog = new AddCategoryDialog(categories_, parent, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
    });
    connect(cateTreeView_, &CategoryTreeView::SignalCategorySelected, this, &VideoListWidget::SelectCategory);
    connect(uploadButton_, &QPushButton::clicked, this, &VideoListWidget::SignalUpload);
    connect(returnButton_, &QPushButton::clicked, this, &VideoListWidget::ReturnToList);
    connect(searchButton_, &QPushButton::clicked, this, &VideoListWidget::Search);
    connect(searchVideoLineEdit_, &QLineEdit::returnPressed, this, &VideoListWidget::Search);
    connect(batchSearchButton_, &QPushButton::clicked, this, [this] {
        if (!videos_)
            return;
        auto* dialog = new VideoBatchSearchDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QDialog::accepted, this, [this, dialog] {
            searching_ = true;
            videos_->ShowVideosInfo(dialog->vids());
        });
        dialog->show();
    });
    connect(noContainSubCateButton_, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            OnSetContainSubCate(false);
    });
    connect(containSubCateButton_, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            OnSetContainSubCate(true);
    });
    connect(exportButton_, &QPushButton::clicked, this, &VideoListWidget::OnExport);
    connect(refreshVideoTableButton_, &QPushButton::clicked, this,
            [this] { refreshButtonUuid_ = SlotRefreshWithTitleFilter(searchVideoLineEdit_->text()); });
    connect(moveMultiVideoButton_, &QPushButton::clicked, this, &VideoListWidget::MoveChecked);
    connect(deleteMultiVideoButton_, &QPushButton::clicked, this, &VideoListWidget::DeleteChecked);
    connect(paginator_, &Paginator::SignalPageChanged, this, [this](qulonglong current, qulonglong size) {
        page_ = int(current);
        pageSize_ = int(size);
        SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
    });
    connect(videoTableView_->header(), &CheckableHeaderView::SignalSortChange, this, [this](int) {
        page_ = 1;
        SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
    });
    connect(videoTableView_, &VideoTableView::SignalJumpCategory, this, [this](qulonglong cateId) {
        if (cateTreeView_->SelectCateId(cateId))
            return;
        // Filtered out of the tree: clear the filter and try again.
        searchCateLineEdit_->clear();
        cateTreeView_->SelectCateId(cateId);
    });
    connect(videoTableView_, &VideoTableView::SignalEdit, this, &VideoListWidget::OnEdit);
    connect(videoTableView_, &VideoTableView::SignalCodeGen, this, &VideoListWidget::OnCodeGen);
}

void VideoListWidget::ConnectModels()
{
    if (videos_) {
        connect(videos_, &VideoTableModel::SignalRefreshVideoListAboutToDo, this,
                [this] { ShowLoading(videoListStackedWidget_, loadingVideoPage_, videoMovie_, true); });
        connect(videos_, &VideoTableModel::SignalRefreshVideoListSucceed, this,
                &VideoListWidget::OnRefreshSucceed);
        connect(videos_, &VideoTableModel::SignalRefreshVideoListDone, this, &VideoListWidget::OnRefreshDone);
        connect(videos_, &VideoTableModel::SignalGetVideoListDone, this, [this](int count) {
            searching_ = false;
            if (count > 0)
                SetSearchMode(true, count);
        });
        connect(videos_, &VideoTableModel::SignalRefreshVideoListFailed, this,
                [this](const QString& error) { ShowToast(tr("RefreshVideoListFailed:") + error, true); });
        connect(videos_, &VideoTableModel::SignalTaskEndStatus, this,
                [this](QUuid uuid, TaskEndStatus status) {
                    if (!refreshButtonUuid_.isNull() && uuid == refreshButtonUuid_ && status == EndFinished)
                        ShowToast(tr("RefreshVideoSucceed"), false);
                });
        connect(videos_, &VideoTableModel::SignalMoveVideoSucceed, this, [this] {
            ShowToast(tr("MoveVideoSucceed"), false);
            SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
        });
        connect(videos_, &VideoTableModel::SignalMoveVideoFailed, this,
                [this](const QString& error) { ShowToast(tr("MoveVideoFailed:") + error, true); });
        connect(videos_, &VideoTableModel::SignalDeleteVideosSucceed, this, [this] {
            ShowToast(tr("DeleteVideoSucceed"), false);
            SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
        });
        connect(videos_, &VideoTableModel::SignalDeleteVideosFailed, this,
                [this](const VideoErrorList& errors) {
                    auto* dialog = new DeleteVideoFailedPromptDialog(videos_, this);
                    dialog->setAttribute(Qt::WA_DeleteOnClose);
                    for (const auto& error : errors)
                        dialog->AddFailure(error.first, error.second);
                    dialog->show();
                    SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
                });
        connect(videos_, &VideoTableModel::SignalCheckStateChanged, this, &VideoListWidget::UpdateStatusLine);
        connect(videos_, &QAbstractItemModel::modelReset, this, &VideoListWidget::UpdateStatusLine);
        connect(videos_, &VideoTableModel::SignalTaskRunningSlowly, this,
                [this](VideoTableModel::TaskType, bool isFinish) { SlotTaskRunningSlowly(isFinish); });
    }
    if (categories_) {
        connect(categories_, &CategoryTreeModel::SignalRefreshCategoryAboutToDo, this,
                [this] { ShowLoading(cateTreeStackedWidget_, loadingCatePage_, cateMovie_, true); });
        connect(categories_, &CategoryTreeModel::SignalRefreshCategoryDone, this, [this] {
            ShowLoading(cateTreeStackedWidget_, cateTreeViewPage_, cateMovie_, false);
            cateTreeView_->expandToDepth(0);
            // The shown category may be gone after a reload: fall back to the top.
            if (!categories_->IndexOfCateId(currentCateId_).isValid())
                cateTreeView_->SelectCateId(categories_->TopCateId());
            else
                cateTreeView_->SelectCateId(currentCateId_);
        });
        connect(categories_, &CategoryTreeModel::SignalRefreshCategoryFailed, this,
                [this](const QString& error) { ShowToast(tr("RefreshCategoryFailed:") + error, true); });
        connect(categories_, &CategoryTreeModel::SignalAddCategorySucceed, this,
                [this] { ShowToast(tr("AddCategorySucceed"), false); });
        connect(categories_, &CategoryTreeModel::SignalAddCategoryFailed, this,
                [this](const QString& error) { ShowToast(tr("AddCategoryFailed:") + error, true); });
        connect(categories_, &CategoryTreeModel::SignalMoveCategorySucceed, this,
                [this] { ShowToast(tr("MoveCategorySucceed"), false); });
        connect(categories_, &CategoryTreeModel::SignalRenameCategorySucceed, this,
                [this] { ShowToast(tr("RenameCategorySucceed"), false); });
        connect(categories_, &CategoryTreeModel::SignalRenameCategoryFailed, this,
                [this](const QString& error) { ShowToast(tr("RenameCategoryFailed:") + error, true); });
        connect(categories_, &CategoryTreeModel::SignalTaskRunningSlowly, this,
                [this](CategoryTreeModel::TaskType, bool isFinish) { SlotTaskRunningSlowly(isFinish); });
    }
}

void VideoListWidget::Init()
{
    if (!categories_)
        return;
    if (categories_->rowCount() > 0) {
        ShowLoading(cateTreeStackedWidget_, cateTreeViewPage_, cateMovie_, false);
        cateTreeView_->expandToDepth(0);
        cateTreeView_->SelectCateId(categories_->TopCateId());
        return;
    }
    ShowLoading(cateTreeStackedWidget_, loadingCatePage_, cateMovie_, true);
    categories_->RefreshCategory();
}

void VideoListWidget::Retranslate()
{
    searchCateLineEdit_->setPlaceholderText(tr("VideoList.SearchCate"));
    addCateButton_->setText(tr("AddCate"));
    refreshCateButton_->setText(tr("RefreshCate"));
    loadingCateLabel_->setText(tr("VideoList.LoadingCate..."));
    uploadButton_->setText(tr("VideoList.Upload"));
    returnButton_->setText(tr("Return List"));
    searchVideoCateTypeComboBox_->setItemText(0, tr("VideoList.CurrentCategory"));
    searchVideoCateTypeComboBox_->setItemText(1, tr("VideoList.AllCategory"));
    searchVideoLineEdit_->setPlaceholderText(tr("VideoList.SearchFile"));
    searchButton_->setText(tr("Search"));
    batchSearchButton_->setText(tr("BatchSearch"));
    sortComboBox_->clear();
    sortComboBox_->addItems({tr("TimeDescSort"), tr("TimeAscSort"), tr("TitleDescSort"), tr("TitleAscSort")});
    noContainSubCateButton_->setText(tr("VideoList.NoContainSub"));
    containSubCateButton_->setText(tr("VideoList.ContainSub"));
    exportButton_->setText(tr("Export Data"));
    refreshVideoTableButton_->setText(tr("VideoList.Refresh"));
    moveMultiVideoButton_->setText(tr("VideoList.Move"));
    deleteMultiVideoButton_->setText(tr("VideoList.Delete"));
    loadingVideoLabel_->setText(tr("VideoList.LoadingVideo..."));
    UpdateStatusLine();
}

void VideoListWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

void VideoListWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (refreshPending_) {
        refreshPending_ = false;
        SlotRefreshVideoList();
    }
}

void VideoListWidget::ShowToast(const QString& text, bool error)
{
    ShowToastInParent(videoWidget_, text, error ? 1 : 0);
}

void VideoListWidget::ShowLoading(QStackedWidget* stack, QWidget* page, QMovie* movie, bool loading)
{
    stack->setCurrentWidget(page);
    if (loading)
        movie->start();
    else
        movie->stop();
}

// ---- Refreshing -------------------------------------------------------------

void VideoListWidget::SelectCategory(qulonglong cateId)
{
    if (cateId == 0)
        return;
    currentCateId_ = cateId;
    page_ = 1;
    if (!searchVideoLineEdit_->text().isEmpty())
        qDebug().noquote() << "search:" << searchVideoLineEdit_->text();
    SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
}

void VideoListWidget::OnSetContainSubCate(bool on)
{
    if (containSubCate_ == on)
        return;
    containSubCate_ = on;
    page_ = 1;
    if (!searchVideoLineEdit_->text().isEmpty())
        qDebug().noquote() << "search:" << searchVideoLineEdit_->text();
    SlotRefreshWithTitleFilter(searchVideoLineEdit_->text());
}

QUuid VideoListWidget::SlotRefreshVideoList()
{
    return SlotRefreshWithTitleFilter(QString(), false);
}

QUuid VideoListWidget::SlotRefreshWithTitleFilter(const QString& text)
{
    return SlotRefreshWithTitleFilter(text, searchVideoCateTypeComboBox_->currentIndex() == 1);
}

QUuid VideoListWidget::SlotRefreshWithTitleFilter(const QString& text, bool allCate)
{
    if (!videos_)
        return QUuid();
    const qulonglong cateId = allCate && categories_ ? categories_->TopCateId() : currentCateId_;
    if (cateId == 0)
        return QUuid();
    const int sort = videoTableView_->header()->SortMethod();
    qInfo() << "RefreshVideoTable:";
    qInfo().noquote() << "  cate:" << (categories_ ? categories_->CateNameOf(currentCateId_) : QString());
    qInfo() << "  cateId:" << cateId;
    qInfo() << "  page:" << page_;
    qInfo() << "  pageSize:" << pageSize_;
    qInfo().noquote() << "  titleFilter:" << text;
    qInfo() << "  containSubCate:" << containSubCate_;
    qInfo().noquote() << "  sort:" << QMetaEnum::fromType<ApiCollection::SortMethod>().valueToKey(sort);
    searching_ = !text.isEmpty();
    return videos_->RefreshVideoList(cateId, text, containSubCate_, page_, pageSize_, sort);
}

void VideoListWidget::Search()
{
    const QString text = searchVideoLineEdit_->text();
    if (text.isEmpty())
        return;
    if (!BmpTextValidator::IsValid(text)) {
        ShowToast(tr("RefreshVideoListMySQLIncompatible"), true);
        qWarning() << "search: category name is MySQL incompatible";
        return;
    }
    qDebug().noquote() << "search:" << text;
    const bool allCate = searchVideoCateTypeComboBox_->currentIndex() == 1;
    if (allCate && !containSubCate_) {
        // The switch's handler would refresh on its own; the search below does.
        const QSignalBlocker block(containSubCateButton_);
        const QSignalBlocker blockOther(noContainSubCateButton_);
        containSubCateButton_->setChecked(true);
        noContainSubCateButton_->setChecked(false);
        containSubCate_ = true;
    }
    page_ = 1;
    SlotRefreshWithTitleFilter(text, allCate);
}

void VideoListWidget::OnRefreshSucceed(qulonglong pageNumber, qulonglong totalPages, qulonglong pageSize)
{
    if (totalPages != 0) {
        page_ = int(pageNumber);
        if (pageSize != 0)
            pageSize_ = int(pageSize);
        paginator_->SetPages(pageNumber, totalPages, qulonglong(pageSize_));
    }
    if (searching_ && !searchVideoLineEdit_->text().isEmpty())
        SetSearchMode(true, videos_->rowCount());
    // Search results of more than one page still page; a vid search has one.
    paginator_->setVisible(totalPages != 0 && !(searchMode_ && totalPages <= 1));
    UpdateStatusLine();
}

void VideoListWidget::OnRefreshDone()
{
    videoMovie_->stop();
    if (videos_->rowCount() > 0) {
        videoListStackedWidget_->setCurrentWidget(videoTablePage_);
        return;
    }
    const bool searched = !searchVideoLineEdit_->text().isEmpty();
    SetSearchMode(false);
    noVideoPicLabel_->setPixmap(QIcon(searched ? QStringLiteral(":/image/videoList/no_search_result_img.svg")
                                               : QStringLiteral(":/image/videoList/no_video_img.svg"))
                                    .pixmap(QSize(160, 120)));
    noVideoStrLabel_->setText(searched ? tr("VideoList.NoSearchResult") : tr("VideoList.NoVideo"));
    videoListStackedWidget_->setCurrentWidget(noVideoPage_);
}

void VideoListWidget::SetSearchMode(bool on, int count)
{
    searchMode_ = on;
    controlVideoListStackedWidget_->setCurrentWidget(on ? returnButton_ : uploadButton_);
    searchResultTip_->setVisible(on);
    if (on)
        searchResultTip_->setText(tr("Search %1 Video").arg(count));
    subCateSwitchWidget_->setVisible(!on);
    moveMultiVideoButton_->setVisible(!on);
    refreshVideoTableButton_->setVisible(!on);
    videoTableView_->header()->SetSortingEnabled(!on);
}

void VideoListWidget::ReturnToList()
{
    if (videos_ && videos_->rowCount() > 0 &&
        MsgBox::information(this, tr("SystemTip"), tr("Return To Video List"),
                            QDialogButtonBox::Ok | QDialogButtonBox::Cancel) != QDialogButtonBox::Ok)
        return;
    SetSearchMode(false);
    searchVideoLineEdit_->clear();
    page_ = 1;
    SlotRefreshVideoList();
}

void VideoListWidget::SlotUpdateCateFilter()
{
    const QString text = searchCateLineEdit_->text();
    if (text == lastCateFilter_)
        return;
    lastCateFilter_ = text;
    qInfo().noquote() << "Set cate filter:" << text;
    // Filtering moves the tree's current row; that is no choice of the user.
    const QSignalBlocker block(cateTreeView_);
    cateTreeView_->proxy()->setFilterFixedString(text);
    if (text.isEmpty()) {
        cateTreeView_->collapseAll();
        cateTreeView_->expandToDepth(0);
        cateTreeView_->SelectCateId(currentCateId_);
    } else {
        cateTreeView_->clearSelection();
        cateTreeView_->expandAll();
    }
}

void VideoListWidget::SlotUploadTaskAppended()
{
    // The page rather than the table: an empty category shows no table but
    // must still show the new upload.
    if (isVisible())
        SlotRefreshVideoList();
    else
        refreshPending_ = true;
}

void VideoListWidget::SlotUploadTaskRemoved()
{
    SlotUploadTaskAppended();
}

void VideoListWidget::SlotTaskRunningSlowly(bool isFinish)
{
    // Counted, so that one slow task ending does not hide the note while
    // another is still slow.
    slowTasks_ = qMax(0, slowTasks_ + (isFinish ? -1 : 1));
    if (slowTasks_ == 0) {
        if (slowToast_)
            slowToast_->hide();
        return;
    }
    if (!slowToast_)
        slowToast_ = ShowToastInParent(videoWidget_, tr("TaskRunningSlowly"), 0, Qt::AlignCenter, false);
    else
        slowToast_->show();
}

// ---- Status line --------------------------------------------------------------

Toast* VideoListWidget::slowToast() const
{
    return slowToast_;
}

QString VideoListWidget::statusText() const
{
    return statusBar_->text();
}

void VideoListWidget::UpdateStatusLine()
{
    const int rows = videos_ ? videos_->rowCount() : 0;
    const int checked = videos_ ? videos_->CheckedVids().size() : 0;
    statusBar_->setText(checked == 0 ? tr("Total %1 videos").arg(rows)
                                     : tr("Selected %1/%2 videos").arg(checked).arg(rows));
}

// ---- Move, delete, export -------------------------------------------------------

void VideoListWidget::MoveChecked()
{
    const QStringList vids = videos_->CheckedVids();
    if (vids.isEmpty()) {
        ShowToast(tr("NoSelected"), true);
        return;
    }
    for (const QString& vid : vids) {
        const VideoListRecord* record = videos_->RecordOf(vid);
        if (record && record->status == VideoTableModel::Uploading) {
            ShowToast(tr("CanNotMoveUploadingVideo"), true);
            return;
        }
    }
    auto* dialog = new SelectCategoryDialog(SelectCategoryDialog::MoveVideoMode, categories_, videos_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetVids(vids);
    dialog->show();
}

void VideoListWidget::DeleteChecked()
{
    const QStringList vids = videos_->CheckedVids();
    if (vids.isEmpty()) {
        ShowToast(tr("NoSelected"), true);
        return;
    }
    MsgBox box(this, MsgBox::Warning, tr("DeleteVideoConfirmTitle"), QString(),
               QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
    QString text = tr("DeleteVideoConfirmMessage");
    if (vids.size() == 1) {
        const QString title =
            videos_->RecordOf(vids.first()) ? videos_->RecordOf(vids.first())->title : QString();
        const QString elided = QFontMetrics(box.font()).elidedText(title, Qt::ElideMiddle, kDeleteTitleWidth);
        text += QStringLiteral("File\"%1\"").arg(elided.toHtmlEscaped());
        if (elided != title)
            box.setToolTip(title);
    } else {
        text += tr("Selected <span style=color:rgb(241,91,52);>%1</span> videos").arg(vids.size());
    }
    for (const QString& vid : vids) {
        const VideoListRecord* record = videos_->RecordOf(vid);
        if (record && record->status == VideoTableModel::Uploading && services_.uploads &&
            services_.uploads->contains(vid)) {
            text += QStringLiteral("<br><span style=color:rgb(241,91,52);>%1</span>")
                        .arg(tr("DeleteVideoContainsUploadTask"));
            break;
        }
    }
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("textLabel")))
        label->setText(text);
    if (QPushButton* ok = box.buttonBox()->button(QDialogButtonBox::Ok))
        ok->setText(tr("Delete"));
    box.exec();
    if (box.clickedButton() == QDialogButtonBox::Ok)
        videos_->DeleteVideos(vids);
}

bool VideoListWidget::WriteCsv(const QString& path, const QList<VideoListRecord>& records, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QStringList header{
        QStringLiteral("vid"), tr("title"),        tr("description"), tr("duration"), tr("thumbnailURL"),
        tr("coverURL"),        tr("creationTime"), tr("updateTime"),  tr("size"),     tr("status"),
        tr("cateId"),          tr("cateName"),     tr("tags"),        tr("uploader"), tr("playTimes"),
        tr("md5Checksum")};
    QString out;
    out += QChar(0xFEFF);
    QStringList quotedHeader;
    for (const QString& h : header)
        quotedHeader.append(CsvField(h));
    out += quotedHeader.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const VideoListRecord& r : records) {
        const QStringList fields{r.vid,
                                 r.title,
                                 r.description,
                                 QString::number(r.duration, 'g', QLocale::FloatingPointShortest),
                                 r.thumbnailURL.toString(),
                                 r.coverURL.toString(),
                                 r.creationTime,
                                 r.updateTime,
                                 QString::number(r.size),
                                 QString::number(r.status),
                                 QString::number(r.cateId),
                                 r.cateName,
                                 r.tags,
                                 r.uploader,
                                 QString::number(r.playTimes),
                                 r.md5Checksum};
        QStringList quoted;
        for (const QString& f : fields)
            quoted.append(CsvField(f));
        out += quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    if (file.write(out.toUtf8()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool VideoListWidget::ExportTo(const QString& path)
{
    QList<VideoListRecord> records;
    for (const QString& vid : videos_->CheckedVids())
        if (const VideoListRecord* record = videos_->RecordOf(vid))
            records.append(*record);
    QString error;
    if (!WriteCsv(path, records, &error)) {
        qWarning().noquote() << "export failed:" << path << error;
        ShowToast(tr("ExportFailed:") + error, true);
        return false;
    }
    lastExportDir_ = QFileInfo(path).absolutePath();
    return true;
}

void VideoListWidget::OnExport()
{
    const QStringList vids = videos_->CheckedVids();
    if (vids.isEmpty()) {
        ShowToast(tr("Select Video Is Empty"), true);
        return;
    }
    const QString name = QStringLiteral("/%1-%2%3-%4")
                             .arg(tr("Select Video Data"))
                             .arg(vids.size())
                             .arg(tr("Count"))
                             .arg(QDateTime::currentSecsSinceEpoch()) +
                         QStringLiteral(".csv");
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export csv video data file"), lastExportDir_ + name,
                                     QStringLiteral("%1 (%2)").arg(tr("CsvFiles"), QStringLiteral("*.csv")));
    if (path.isEmpty())
        return;
    if (ExportTo(path))
        ShowInExplorer(path);
}

// ---- Row actions ----------------------------------------------------------------

void VideoListWidget::OnEdit(const QModelIndex& index)
{
    const QString vid =
        index.siblingAtColumn(VideoTableModel::Selected).data(VideoTableModel::DataRole::Vid).toString();
    if (!videos_->RecordOf(vid))
        return;
    qDebug().noquote() << "Edit vid:" << vid;
    // The cover pictures share the thumbnail cache of the logged-in account.
    const QString userId = services_.accounts ? services_.accounts->userId() : QString();
    auto* dialog = new VideoEditDialog(videos_, userId, index, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void VideoListWidget::OnCodeGen(const QModelIndex& index)
{
    const QString vid =
        index.siblingAtColumn(VideoTableModel::Selected).data(VideoTableModel::DataRole::Vid).toString();
    qDebug().noquote() << "CodeGen vid:" << vid;
    auto* dialog = new CopyCodeDialog(vid, services_.config, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
