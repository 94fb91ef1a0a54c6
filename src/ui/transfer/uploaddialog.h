#pragma once
// Collects media files, their texts, the target category and the optimise
// switch, and hands each file to the upload queue.

#include <QDialog>
#include <QMap>
#include <QUrl>

class Config;
class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QTreeView;
class SDKManager;
class TitleBar;
class UploadTableModel;
class UploadTableView;

class UploadDialog : public QDialog
{
    Q_OBJECT
public:
    // `uploads` queues the files; `config` gives the optimise switch's
    // starting state (off without one). `categories` is the shared category
    // tree; the combo box picks from it. Until the tree is there, files go to
    // `accountCateId`, the account's upload category from the login (the
    // platform reads 1 as the top one).
    UploadDialog(SDKManager* uploads, const Config* config, QAbstractItemModel* categories,
                 QWidget* parent = nullptr, qint64 accountCateId = 1);
    ~UploadDialog() override;

    void AddFiles(const QStringList& paths);
    void AddUrls(const QList<QUrl>& urls);

    // The 25 file extensions the platform accepts, lower case.
    static const QStringList& SupportedSuffixes();

    qint64 cateId() const { return cateId_; }
    UploadTableModel* tableModel() const { return model_; }
    UploadTableView* tableView() const { return uploadTableView_; }

public slots:
    void SlotAddVideoFromSystemFileSelect();
    void SlotConfirmUpload();
    void SlotHighlightItem();

signals:
    // Files were queued: the main window shows the transfer page.
    void SignalSwitchToTransferList();
    // A message for the main window to show.
    void SignalMessage(const QString& text);

private slots:
    void OnRowCountChanged(int count);
    void OnCategoryChanged(int index);
    void OnDeleteItem(const QModelIndex& index);
    void OnDeleteAll();

private:
    void BuildUi();
    void SelectCategory(qint64 cateId);
    bool ValidateRows();
    void StopBlinking(const QString& path);

    SDKManager* uploads_;
    const Config* config_;
    QAbstractItemModel* categories_;
    qint64 accountCateId_;
    qint64 cateId_ = 0;
    UploadTableModel* model_;
    QMap<QString, int> blinking_;
    static constexpr int kBlinkTicks = 10;
    QTimer* blinkTimer_;

    TitleBar* titleWidget_ = nullptr;
    QPushButton* addVideoButton_ = nullptr;
    QComboBox* categoryComboBox_ = nullptr;
    QTreeView* categoryTreeView_ = nullptr;
    QCheckBox* optimizeCheckBox_ = nullptr;
    QPushButton* allDeleteButton_ = nullptr;
    UploadTableView* uploadTableView_ = nullptr;
    QLabel* totalVideoLabel_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};
