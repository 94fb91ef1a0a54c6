#include "model/historymodel.h"

#include "upload/transferstats.h"

#include <QCoreApplication>
#include <QDateTime>

HistoryModel::HistoryModel(DBManager* db, QObject* parent) : QAbstractTableModel(parent), db_(db)
{
    if (!db)
        return;
    connect(db, &DBManager::SignalAppendHistory, this, &HistoryModel::OnAppendHistory);
    connect(db, &DBManager::SignalRemoveHistory, this, &HistoryModel::OnRemoveHistory);
    connect(db, &DBManager::SignalRemoveAllHistories, this, &HistoryModel::OnRemoveAllHistories);
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.size();
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int HistoryModel::count() const
{
    // A failed count has been logged; the page then shows what it holds.
    return db_ ? db_->CountHistories().valueOr(0) : 0;
}

int HistoryModel::RowOf(const QString& vid) const
{
    if (!vids_.contains(vid))
        return -1;
    for (int row = 0; row < rows_.size(); ++row) {
        if (rows_.at(row).vid == vid)
            return row;
    }
    return -1;
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const keys[] = {QT_TRANSLATE_NOOP("HistoryTableWidget", "Record.Title"),
                                       QT_TRANSLATE_NOOP("HistoryTableWidget", "Record.FileSize"),
                                       QT_TRANSLATE_NOOP("HistoryTableWidget", "Record.Time"),
                                       QT_TRANSLATE_NOOP("HistoryTableWidget", "Record.Status"),
                                       QT_TRANSLATE_NOOP("HistoryTableWidget", "Record.Opertation")};
    return TransferHeaderData("HistoryTableWidget", keys, section, orientation, role);
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return QVariant();
    const DBManager::History& h = rows_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TitleColumn:
            return h.titleName;
        case SizeColumn:
            return FormatSize(static_cast<qint64>(h.fileSize), 4);
        case TimeColumn:
            return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(h.updateTS))
                .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case StatusColumn:
            return h.fileStatus;
        default:
            return QVariant();
        }
    case Qt::TextAlignmentRole:
        return index.column() == TitleColumn ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case TransferRole::Vid:
        return h.vid;
    case TransferRole::FileName:
        return h.fileName;
    case TransferRole::TotalBytes:
        return static_cast<qulonglong>(h.fileSize);
    case TransferRole::UpdateTime:
        return static_cast<qulonglong>(h.updateTS);
    default:
        return QVariant();
    }
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && hasMore_ && db_;
}

void HistoryModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const DBManager::Result<QList<DBManager::History>> read = db_->SelectHistories(page_, kPageSize);
    if (!read) {
        // Logged by the database; stop asking, or the view would retry on every scroll.
        hasMore_ = false;
        if (rows_.isEmpty())
            EmitChanges(true);
        return;
    }
    const QList<DBManager::History>& records = read.value();
    ++page_;
    hasMore_ = records.size() >= kPageSize;
    const bool wasEmpty = rows_.isEmpty();
    QVector<DBManager::History> fresh;
    fresh.reserve(records.size());
    for (const DBManager::History& record : records) {
        if (!vids_.contains(record.vid)) {
            vids_.insert(record.vid);
            fresh.append(record);
        }
    }
    if (!fresh.isEmpty()) {
        beginInsertRows(QModelIndex(), rows_.size(), rows_.size() + fresh.size() - 1);
        rows_ += fresh;
        endInsertRows();
    }
    if (!records.isEmpty() || wasEmpty)
        EmitChanges(wasEmpty);
}

void HistoryModel::EmitChanges(bool wasEmpty)
{
    const bool empty = rows_.isEmpty();
    if (empty != wasEmpty)
        emit SignalContentStatus(empty);
    emit SignalCountChange(count());
}

void HistoryModel::OnAppendHistory(const DBManager::History& record)
{
    const bool wasEmpty = rows_.isEmpty();
    const int old = RowOf(record.vid);
    if (old >= 0) {
        beginRemoveRows(QModelIndex(), old, old);
        rows_.remove(old);
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), 0, 0);
    rows_.prepend(record);
    vids_.insert(record.vid);
    endInsertRows();
    EmitChanges(wasEmpty);
}

void HistoryModel::OnRemoveHistory(const QString& vid)
{
    const int row = RowOf(vid);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.remove(row);
    vids_.remove(vid);
    endRemoveRows();
    EmitChanges(false);
}

void HistoryModel::OnRemoveAllHistories()
{
    beginResetModel();
    rows_.clear();
    vids_.clear();
    // Nothing is stored any more; later pages start again from the top.
    page_ = 0;
    hasMore_ = true;
    endResetModel();
    emit SignalContentStatus(true);
    emit SignalCountChange(count());
}
