#pragma once
// The queue side of the transfer page: one row per queued upload, the
// per-second statistics and the periodic saving of progress.

#include "ui/transfer/recordtablebase.h"

class QAbstractItemModel;
class QTimer;

class RecordTableWidget : public RecordTableBase
{
    Q_OBJECT
public:
    explicit RecordTableWidget(QWidget* parent = nullptr);
    ~RecordTableWidget() override;

    // The shared category tree that names the "Dir" column.
    void SetCategoryModel(QAbstractItemModel* categories) { categories_ = categories; }
    QTimer* timer() const { return timer_; }
    // Stores every row's record with its current progress.
    void SaveRecords();

public slots:
    void OnAppendItem(const SharedUploadTaskPtr& task, const DBManager::Upload& record);
    void OnRemoveItem(const QString& vid);
    void OnRemoveAllItems();
    void OnContentStatus(bool empty);
    void OnTimer();
    void OnItemEntered(QTableWidgetItem* item);

signals:
    void SignalProcess(qint64 uploaded, qint64 total, const QString& speed);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAbstractItemModel* categories_ = nullptr;
    QTimer* timer_;
};
