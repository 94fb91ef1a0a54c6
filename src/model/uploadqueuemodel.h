#pragma once
// The upload queue as a table model: one row per queued upload, keyed by vid,
// in the order the uploads were announced. The figures live in SDKManager;
// the model only maps rows to vids and turns the manager's batched updates
// into one dataChanged per batch.

#include "model/transferroles.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QVector>

class CategoryTreeModel;
class SDKManager;

class UploadQueueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        TitleColumn = 0,
        SizeColumn,
        DirColumn,
        StatusColumn,
        OperationColumn,
        ColumnCount,
    };

    explicit UploadQueueModel(SDKManager* uploads, QObject* parent = nullptr);

    // The shared category tree that names the "Dir" column.
    void SetCategoryModel(CategoryTreeModel* categories);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Row of a vid; -1 when absent.
    int RowOf(const QString& vid) const { return rows_.value(vid, -1); }
    QString VidAt(int row) const { return vids_.value(row); }

signals:
    void SignalCountChange(int count);
    void SignalContentStatus(bool empty);

private:
    void OnAppend(const QStringList& vids);
    void OnRemove(const QString& vid);
    void OnUpdated(const QStringList& vids);

    QPointer<SDKManager> uploads_;
    QPointer<CategoryTreeModel> categories_;
    QVector<QString> vids_;
    QHash<QString, int> rows_;
};
