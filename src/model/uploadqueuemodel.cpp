#include "model/uploadqueuemodel.h"

#include "model/categorytreemodel.h"
#include "upload/sdkmanager.h"
#include "upload/transferstats.h"

#include <QCoreApplication>

namespace {

QString StateText(UploadStatus status)
{
    switch (status) {
    case UploadStatus::Waiting:
        return QCoreApplication::translate("ProgressWidget", "Waiting");
    case UploadStatus::Paused:
        return QCoreApplication::translate("ProgressWidget", "Pause");
    case UploadStatus::Stopped:
        return QCoreApplication::translate("ProgressWidget", "Stoped");
    default:
        return QString();
    }
}

} // namespace

UploadQueueModel::UploadQueueModel(SDKManager* uploads, QObject* parent)
    : QAbstractTableModel(parent), uploads_(uploads)
{
    if (!uploads)
        return;
    // Uploads queued before the view came keep their rows.
    QStringList queued;
    for (const SharedUploadTaskPtr& task : uploads->tasks())
        queued << task->record().vid;
    OnAppend(queued);
    connect(uploads, &SDKManager::SignalUploadsAppended, this, &UploadQueueModel::OnAppend);
    connect(uploads, &SDKManager::SignalRemoveUpload, this, &UploadQueueModel::OnRemove);
    connect(uploads, &SDKManager::SignalTasksUpdated, this, &UploadQueueModel::OnUpdated);
}

void UploadQueueModel::SetCategoryModel(CategoryTreeModel* categories)
{
    if (categories_)
        disconnect(categories_, nullptr, this, nullptr);
    categories_ = categories;
    if (!categories)
        return;
    // The tree may load after the rows: name their folders again then.
    auto rename = [this] {
        if (!vids_.isEmpty())
            emit dataChanged(index(0, DirColumn), index(vids_.size() - 1, DirColumn), {Qt::DisplayRole});
    };
    connect(categories, &QAbstractItemModel::modelReset, this, rename);
    connect(categories, &QAbstractItemModel::rowsInserted, this, rename);
}

int UploadQueueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : vids_.size();
}

int UploadQueueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant UploadQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const keys[] = {QT_TRANSLATE_NOOP("RecordTableWidget", "Record.Title"),
                                       QT_TRANSLATE_NOOP("RecordTableWidget", "Record.FileSize"),
                                       QT_TRANSLATE_NOOP("RecordTableWidget", "Record.Dir"),
                                       QT_TRANSLATE_NOOP("RecordTableWidget", "Record.Status"),
                                       QT_TRANSLATE_NOOP("RecordTableWidget", "Record.Opertation")};
    return TransferHeaderData("RecordTableWidget", keys, section, orientation, role);
}

QVariant UploadQueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= vids_.size() || !uploads_)
        return QVariant();
    const QString& vid = vids_.at(index.row());
    if (role == TransferRole::Vid)
        return vid;
    const SharedUploadTaskPtr task = uploads_->task(vid);
    if (!task)
        return QVariant();
    const DBManager::Upload& r = task->record();
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TitleColumn:
            return r.titleName;
        case SizeColumn:
            return FormatSize(static_cast<qint64>(r.totalBytes), 4);
        case DirColumn: {
            const QString name =
                categories_ ? categories_->CateNameOf(static_cast<qulonglong>(r.cateId)) : QString();
            return name.isEmpty() ? r.catePath : name;
        }
        default:
            return QVariant();
        }
    case Qt::TextAlignmentRole:
        return index.column() == TitleColumn ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case TransferRole::Status:
        return int(task->status());
    case TransferRole::Percent:
        return r.totalBytes > 0
                   ? static_cast<int>(qMin<quint64>(r.uploadBytes, r.totalBytes) * 100 / r.totalBytes)
                   : 0;
    case TransferRole::StateText:
        return StateText(task->status());
    case TransferRole::ErrorText:
        return uploads_->figures(vid).error;
    case TransferRole::SpeedText:
        return uploads_->figures(vid).speedText;
    case TransferRole::TimeText:
        return uploads_->figures(vid).timeText;
    case TransferRole::UploadBytes:
        return static_cast<qulonglong>(r.uploadBytes);
    case TransferRole::TotalBytes:
        return static_cast<qulonglong>(r.totalBytes);
    case TransferRole::RetryShown:
        // A failed run offers retry; a broken file never does.
        return task->status() != UploadStatus::FileError && !uploads_->figures(vid).error.isEmpty();
    case TransferRole::FileName:
        return r.fileName;
    case TransferRole::CateId:
        return r.cateId;
    default:
        return QVariant();
    }
}

void UploadQueueModel::OnAppend(const QStringList& vids)
{
    QStringList fresh;
    for (const QString& vid : vids) {
        if (!vid.isEmpty() && !rows_.contains(vid))
            fresh << vid;
    }
    if (fresh.isEmpty())
        return;
    const int first = vids_.size();
    // One insertion for a whole batch: the view lays out once.
    beginInsertRows(QModelIndex(), first, first + fresh.size() - 1);
    for (const QString& vid : qAsConst(fresh)) {
        rows_.insert(vid, vids_.size());
        vids_.append(vid);
    }
    endInsertRows();
    if (first == 0)
        emit SignalContentStatus(false);
    emit SignalCountChange(vids_.size());
}

void UploadQueueModel::OnRemove(const QString& vid)
{
    const int row = rows_.value(vid, -1);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    vids_.remove(row);
    rows_.remove(vid);
    for (int i = row; i < vids_.size(); ++i)
        rows_[vids_.at(i)] = i;
    endRemoveRows();
    if (vids_.isEmpty())
        emit SignalContentStatus(true);
    emit SignalCountChange(vids_.size());
}

void UploadQueueModel::OnUpdated(const QStringList& vids)
{
    int first = vids_.size();
    int last = -1;
    for (const QString& vid : vids) {
        const int row = rows_.value(vid, -1);
        if (row < 0)
            continue;
        first = qMin(first, row);
        last = qMax(last, row);
    }
    if (last >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}
