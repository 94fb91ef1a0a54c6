#include "ui/transfer/uploadtablemodel.h"

#include "upload/transferstats.h"

#include <QFileInfo>

UploadTableModel::UploadTableModel(QObject* parent) : QStandardItemModel(0, ColumnCount, parent)
{
    setHorizontalHeaderLabels({tr("UploadTableModel.Title"), tr("UploadTableModel.VideoFormat"),
                               tr("UploadTableModel.Size"), QString(), QString()});
    setHeaderData(TitleColumn, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter), Qt::TextAlignmentRole);
    setHeaderData(SizeColumn, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    connect(this, &QAbstractItemModel::rowsInserted, this, &UploadTableModel::CountChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &UploadTableModel::CountChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &UploadTableModel::CountChanged);
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    paths_.remove(index(row, TitleColumn).data(PathRole).toString());
            });
}

void UploadTableModel::CountChanged()
{
    if (!batching_)
        emit SignalRowCountChanged(rowCount());
}

void UploadTableModel::AppendFiles(const QStringList& filepaths)
{
    batching_ = true;
    for (const QString& path : filepaths)
        SlotAppend(path);
    batching_ = false;
    CountChanged();
}

void UploadTableModel::SlotAppend(const QString& filepath)
{
    const QFileInfo info(filepath);
    QList<QStandardItem*> items;
    for (int column = 0; column < ColumnCount; ++column) {
        auto* item = new QStandardItem;
        item->setData(info.absoluteFilePath(), PathRole);
        item->setData(info.suffix(), SuffixRole);
        item->setData(static_cast<qint64>(info.size()), SizeRole);
        item->setEditable(false);
        items.append(item);
    }
    // The editable texts live on the first cell; the row's other cells read them there.
    items[TitleColumn]->setData(info.completeBaseName().left(kMaxTitleLength), TitleRole);
    items[TitleColumn]->setData(QString(), DescRole);
    items[TitleColumn]->setData(QString(), TagsRole);
    paths_.insert(info.absoluteFilePath());
    appendRow(items);
}

void UploadTableModel::SlotClear()
{
    removeRows(0, rowCount());
}

int UploadTableModel::RowOfPath(const QString& path) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (index(row, TitleColumn).data(PathRole).toString() == path)
            return row;
    }
    return -1;
}

QVariant UploadTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == TitleRole || role == DescRole || role == TagsRole)
        return QStandardItemModel::data(index.siblingAtColumn(TitleColumn), role);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TitleColumn:
            return QStandardItemModel::data(index, TitleRole);
        case FormatColumn:
            return QStandardItemModel::data(index, SuffixRole).toString().toUpper();
        case SizeColumn:
            return FormatSize(QStandardItemModel::data(index, SizeRole).toLongLong(), 4);
        default:
            return QVariant();
        }
    case Qt::ToolTipRole:
        if (index.column() == TitleColumn)
            return QStandardItemModel::data(index, PathRole).toString().toHtmlEscaped();
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == TitleColumn)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (index.column() == SizeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignCenter);
    default:
        return QStandardItemModel::data(index, role);
    }
}

bool UploadTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    if (role == TitleRole || role == DescRole || role == TagsRole) {
        const QModelIndex first = index.siblingAtColumn(TitleColumn);
        const bool ok = QStandardItemModel::setData(first, value, role);
        if (ok)
            emit dataChanged(first, index.siblingAtColumn(ColumnCount - 1));
        return ok;
    }
    return QStandardItemModel::setData(index, value, role);
}

Qt::ItemFlags UploadTableModel::flags(const QModelIndex& index) const
{
    return QStandardItemModel::flags(index) & ~Qt::ItemIsEditable;
}
