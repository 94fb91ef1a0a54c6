#pragma once
// The upload history as a table model: finished uploads, newest first, read
// from the database 20 at a time through canFetchMore/fetchMore, so a view
// loads the next page however the user reaches the end of the list.

#include "model/transferroles.h"
#include "storage/dbmanager.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QSet>
#include <QVector>

class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 20;
    enum Column
    {
        TitleColumn = 0,
        SizeColumn,
        TimeColumn,
        StatusColumn,
        OperationColumn,
        ColumnCount,
    };

    explicit HistoryModel(DBManager* db, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The number of stored history records of the account, not of loaded rows.
    int count() const;
    int page() const { return page_; }
    // Row of a vid; -1 when absent.
    int RowOf(const QString& vid) const;

signals:
    void SignalCountChange(int count);
    void SignalContentStatus(bool empty);

private:
    void OnAppendHistory(const DBManager::History& record);
    void OnRemoveHistory(const QString& vid);
    void OnRemoveAllHistories();
    void EmitChanges(bool wasEmpty);

    QPointer<DBManager> db_;
    QVector<DBManager::History> rows_;
    QSet<QString> vids_;
    int page_ = 0;
    bool hasMore_ = true;
};
