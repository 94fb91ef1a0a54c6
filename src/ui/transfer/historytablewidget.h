#pragma once
// The history side of the transfer page: finished uploads, newest first,
// loaded 20 at a time as the user scrolls to the end.

#include "ui/transfer/recordtablebase.h"

class HistoryTableWidget : public RecordTableBase
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 20;

    explicit HistoryTableWidget(QWidget* parent = nullptr);

    // The number of stored history records of the account, not of loaded rows.
    int count() const override;
    int page() const { return page_; }
    bool hasMore() const { return hasMore_; }

public slots:
    // Reads the next page and appends it; does nothing once the last page came.
    void LoadPage();
    void OnAppendHistory(const DBManager::History& record);
    void OnRemoveHistory(const QString& vid);
    void OnRemoveAllHistories();

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void InsertHistoryRow(int row, const DBManager::History& record);
    void EmitChanges(bool wasEmpty);

    int page_ = 0;
    bool hasMore_ = true;
};
