#pragma once
// The history side of the transfer page: finished uploads, newest first. The
// model loads 20 more whenever the view reaches its end (wheel, scroll bar or
// keyboard alike).

#include "ui/transfer/recordtablebase.h"

class DBManager;
class HistoryModel;

class HistoryTableWidget : public RecordTableBase
{
    Q_OBJECT
public:
    HistoryTableWidget(HistoryModel* model, DBManager* db, QWidget* parent = nullptr);

    HistoryModel* historyModel() const { return model_; }

public slots:
    void OnButtonClicked(const QModelIndex& index, TransferDelegate::Button button);

private:
    HistoryModel* model_;
    DBManager* db_;
};
