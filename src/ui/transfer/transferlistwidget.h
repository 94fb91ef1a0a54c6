#pragma once
// The transfer page of the main window: the upload queue with its summary,
// the history of finished uploads, and the way into the upload dialog.

#include "ui/transfer/uploaddialog.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class AccountManager;
class CategoryTreeModel;
class Config;
class DBManager;
class HistoryModel;
class HistoryTableWidget;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class RecordTableWidget;
class SDKManager;
class StatusButton;
class UploadQueueModel;

class TransferListWidget : public QWidget
{
    Q_OBJECT
public:
    // `uploads` holds the queue and its figures; `db` the history;
    // `accounts` gives the logged-in account's upload category and `config`
    // the upload dialog's settings (either may be null: defaults then).
    TransferListWidget(SDKManager* uploads, DBManager* db, const AccountManager* accounts,
                       const Config* config, QWidget* parent = nullptr);
    ~TransferListWidget() override;

    // The shared category tree: names the "Dir" column, feeds the upload
    // dialog's category choice, and its availability enables the upload buttons.
    void SetCategoryModel(CategoryTreeModel* categories);
    // After login: connects the queue and the history, loads the first
    // history page and restores the account's unfinished uploads.
    void Init();

    RecordTableWidget* recordTable() const { return uploadRecord_; }
    HistoryTableWidget* historyTable() const { return historyRecord_; }
    UploadQueueModel* queueModel() const { return queueModel_; }
    HistoryModel* historyModel() const { return historyModel_; }
    // The upload dialog opened last, while it is open.
    UploadDialog* uploadDialog() const { return uploadDialog_; }

public slots:
    void on_uploadBtn_clicked();
    void on_uploadNowBtn_clicked();
    void SlotDrop(const QList<QUrl>& urls);
    void on_allOperationBtn_clicked(bool start);
    void on_cancelAllBtn_clicked();
    void on_clearAllRecordButton_clicked();
    // Start all / suspend all from the main window's settings menu.
    void OnAllOperation(bool start);
    // Makes this page the visible page of the main window.
    void ShowTransferPage();
    void OnCategoryAvailable(bool available);

signals:
    // The page asks the main window to show it (after files were queued).
    void SignalJumpToTransferList();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void OnPageChanged(int row);
    void UpdatePage();
    void OnProcess(qint64 uploaded, qint64 total, const QString& speed);
    void OnShowMessage(const QString& text);

private:
    void BuildUi();
    QWidget* BuildUploadRecordPage();
    QWidget* BuildHistoryRecordPage();
    QWidget* BuildEmptyUploadPage();
    QWidget* BuildEmptyHistoryPage();
    void BuildPostTaskMenu();
    UploadDialog* OpenUploadDialog();

    SDKManager* uploads_;
    DBManager* db_;
    const AccountManager* accounts_;
    const Config* config_;
    UploadQueueModel* queueModel_;
    HistoryModel* historyModel_;
    QPointer<CategoryTreeModel> categories_;
    QPointer<UploadDialog> uploadDialog_;
    bool initialised_ = false;

    QListWidget* transferPagesListWidget_ = nullptr;
    QStackedWidget* transferListStackedWidget_ = nullptr;
    QWidget* uploadRecordPage_ = nullptr;
    QWidget* historyRecordPage_ = nullptr;
    QWidget* emptyUploadPage_ = nullptr;
    QWidget* emptyHistoryPage_ = nullptr;
    QWidget* uploadInfoWidget_ = nullptr;
    QProgressBar* totalProgressBar_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    StatusButton* allOperationBtn_ = nullptr;
    QPushButton* cancelAllBtn_ = nullptr;
    RecordTableWidget* uploadRecord_ = nullptr;
    QLabel* currentTaskNumLabel_ = nullptr;
    QPushButton* uploadBtn_ = nullptr;
    QPushButton* postTaskBtn_ = nullptr;
    QMenu* postTaskMenu_ = nullptr;
    QLabel* totalTransFinishFilesNum_ = nullptr;
    QPushButton* clearAllRecordButton_ = nullptr;
    HistoryTableWidget* historyRecord_ = nullptr;
    QPushButton* uploadNowBtn_ = nullptr;
};
