#pragma once
// The library page: the category tree with its search on the left, the
// paged, sortable and searchable video table on the right. All data comes
// from the two shared models; the page only asks them for work and follows
// their signals.

#include "model/videotablemodel.h"
#include "ui/common/shellservices.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

class CategoryTreeModel;
class CategoryTreeView;
class Paginator;
class QComboBox;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;
class QStackedWidget;
class Toast;
class TreeModelCompleter;
class VideoTableView;

class VideoListWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultPageSize = 20;
    // Width of the box font that a single title may take in the delete question.
    static constexpr int kDeleteTitleWidth = 200;

    // Uses the shared models, the account (rights, thumbnail cache), the upload
    // manager (uploads of listed videos) and the settings of `services`.
    explicit VideoListWidget(const ShellServices& services, QWidget* parent = nullptr);

    // Asks for the category tree (or takes the loaded one) and then the first page.
    void Init();

    // Writes the records as CSV (UTF-8 with a byte order mark); false with
    // `error` set when the file cannot be written.
    static bool WriteCsv(const QString& path, const QList<VideoListRecord>& records, QString* error);
    // Exports the checked rows of the page to `path`; false when nothing was written.
    bool ExportTo(const QString& path);

    qulonglong currentCateId() const { return currentCateId_; }
    int page() const { return page_; }
    int pageSize() const { return pageSize_; }
    bool containSubCate() const { return containSubCate_; }
    bool searchMode() const { return searchMode_; }
    bool refreshPending() const { return refreshPending_; }
    VideoTableView* tableView() const { return videoTableView_; }
    Paginator* paginator() const { return paginator_; }
    QString statusText() const;
    Toast* slowToast() const;

signals:
    // The upload dialog is wanted (the transfer page owns it).
    void SignalUpload();

public slots:
    void SlotUploadTaskAppended();
    void SlotUploadTaskRemoved();
    void SlotUpdateCateFilter();
    QUuid SlotRefreshVideoList();
    QUuid SlotRefreshWithTitleFilter(const QString& text, bool allCate);
    QUuid SlotRefreshWithTitleFilter(const QString& text);
    void SlotTaskRunningSlowly(bool isFinish);

    // The actions of the page's buttons, callable without a click.
    void Search();
    void DeleteChecked();
    void MoveChecked();
    void ReturnToList();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildUi();
    void ConnectModels();
    void Retranslate();
    void SelectCategory(qulonglong cateId);
    void SetSearchMode(bool on, int count = 0);
    void UpdateStatusLine();
    void ShowLoading(QStackedWidget* stack, QWidget* page, QMovie* movie, bool loading);
    void OnRefreshSucceed(qulonglong pageNumber, qulonglong totalPages, qulonglong pageSize);
    void OnRefreshDone();
    void OnExport();
    void OnEdit(const QModelIndex& index);
    void OnCodeGen(const QModelIndex& index);
    void OnSetContainSubCate(bool on);
    void ShowToast(const QString& text, bool error);

    ShellServices services_;
    CategoryTreeModel* categories_;
    VideoTableModel* videos_;

    qulonglong currentCateId_ = 0;
    int page_ = 1;
    int pageSize_ = kDefaultPageSize;
    bool containSubCate_ = true;
    QUuid refreshButtonUuid_;
    bool refreshPending_ = false;
    bool searchMode_ = false;
    bool searching_ = false; // a search or vid search waits for its answer
    int slowTasks_ = 0;
    QString lastExportDir_;
    QString lastCateFilter_;

    QLineEdit* searchCateLineEdit_ = nullptr;
    TreeModelCompleter* completer_ = nullptr;
    QPushButton* addCateButton_ = nullptr;
    QPushButton* refreshCateButton_ = nullptr;
    QStackedWidget* cateTreeStackedWidget_ = nullptr;
    QWidget* loadingCatePage_ = nullptr;
    QWidget* cateTreeViewPage_ = nullptr;
    QMovie* cateMovie_ = nullptr;
    QLabel* loadingCateLabel_ = nullptr;
    CategoryTreeView* cateTreeView_ = nullptr;

    QWidget* videoWidget_ = nullptr;
    QStackedWidget* controlVideoListStackedWidget_ = nullptr;
    QPushButton* uploadButton_ = nullptr;
    QPushButton* returnButton_ = nullptr;
    QComboBox* searchVideoCateTypeComboBox_ = nullptr;
    QLineEdit* searchVideoLineEdit_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* batchSearchButton_ = nullptr;
    QComboBox* sortComboBox_ = nullptr;
    QWidget* subCateSwitchWidget_ = nullptr;
    QPushButton* noContainSubCateButton_ = nullptr;
    QPushButton* containSubCateButton_ = nullptr;
    QLabel* searchResultTip_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* refreshVideoTableButton_ = nullptr;
    QPushButton* moveMultiVideoButton_ = nullptr;
    QPushButton* deleteMultiVideoButton_ = nullptr;
    QStackedWidget* videoListStackedWidget_ = nullptr;
    QWidget* noVideoPage_ = nullptr;
    QLabel* noVideoPicLabel_ = nullptr;
    QLabel* noVideoStrLabel_ = nullptr;
    QWidget* loadingVideoPage_ = nullptr;
    QLabel* loadingVideoLabel_ = nullptr;
    QMovie* videoMovie_ = nullptr;
    QWidget* videoTablePage_ = nullptr;
    VideoTableView* videoTableView_ = nullptr;
    QLabel* statusBar_ = nullptr;
    Paginator* paginator_ = nullptr;
    QPointer<Toast> slowToast_;
};
