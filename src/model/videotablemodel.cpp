#include "model/videotablemodel.h"

#include "account/accountmanager.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodelworker.h"
#include "upload/transferstats.h"

#include <QCoreApplication>
#include <QJsonObject>

namespace {
QString Text(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toVariant().toString();
}

qulonglong U64(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toVariant().toULongLong();
}

// Status keys live in their own translation context ("VideoStatus.Release").
const char* StatusKey(int status)
{
    switch (status) {
    case VideoTableModel::Uploading:
        return QT_TRANSLATE_NOOP("VideoStatus", "Uploading");
    case VideoTableModel::Syncing:
        return QT_TRANSLATE_NOOP("VideoStatus", "Syncing");
    case VideoTableModel::SyncFailed:
        return QT_TRANSLATE_NOOP("VideoStatus", "SyncFailed");
    case VideoTableModel::WaitingProcess:
        return QT_TRANSLATE_NOOP("VideoStatus", "WaitingProcess");
    case VideoTableModel::Transcoding:
        return QT_TRANSLATE_NOOP("VideoStatus", "Transcoding");
    case VideoTableModel::TranscodeFailed:
        return QT_TRANSLATE_NOOP("VideoStatus", "TranscodeFailed");
    case VideoTableModel::SourceFileIllegal:
        return QT_TRANSLATE_NOOP("VideoStatus", "SourceFileIllegal");
    case VideoTableModel::WaitingReview:
        return QT_TRANSLATE_NOOP("VideoStatus", "WaitingReview");
    case VideoTableModel::ReviewNoPass:
        return QT_TRANSLATE_NOOP("VideoStatus", "ReviewNoPass");
    case VideoTableModel::Reviewing:
        return QT_TRANSLATE_NOOP("VideoStatus", "Reviewing");
    case VideoTableModel::Forbidden:
        return QT_TRANSLATE_NOOP("VideoStatus", "Forbidden");
    case VideoTableModel::Release:
    case VideoTableModel::ReleaseByAutoCensored:
        return QT_TRANSLATE_NOOP("VideoStatus", "Release");
    default:
        return nullptr;
    }
}

const char* const kColumnKeys[] = {
    nullptr,
    QT_TRANSLATE_NOOP("VideoTableColumn", "Thumbs"),
    QT_TRANSLATE_NOOP("VideoTableColumn", "Name"),
    QT_TRANSLATE_NOOP("VideoTableColumn", "Uploader"),
    QT_TRANSLATE_NOOP("VideoTableColumn", "Category"),
    QT_TRANSLATE_NOOP("VideoTableColumn", "UploadTime"),
    QT_TRANSLATE_NOOP("VideoTableColumn", "Status"),
    nullptr,
    nullptr,
};
} // namespace

bool VideoListRecord::FromListElement(const QJsonValue& element, VideoListRecord* record)
{
    if (!element.isObject())
        return false;
    const QJsonObject object = element.toObject();
    const QJsonValue basicValue = object.value(QLatin1String("basicInfo"));
    if (!basicValue.isObject())
        return false;
    const QJsonObject basic = basicValue.toObject();
    VideoListRecord& r = *record;
    r.vid = Text(object, "vid");
    r.cateId = U64(basic, "cateId");
    r.cateName = Text(basic, "cateName");
    r.title = Text(basic, "title");
    r.description = Text(basic, "description");
    r.duration = basic.value(QLatin1String("duration")).toVariant().toDouble();
    r.thumbnailURL = QUrl(Text(basic, "thumbnailURL"));
    r.coverURL = QUrl(Text(basic, "coverURL"));
    r.creationTime = Text(basic, "creationTime");
    r.updateTime = Text(basic, "updateTime");
    r.size = U64(basic, "size");
    r.status = basic.value(QLatin1String("status")).toVariant().toInt();
    r.tags = Text(basic, "tags");
    r.uploader = Text(basic, "uploader");
    r.playTimes = basic.value(QLatin1String("playTimes")).toVariant().toInt();
    r.md5Checksum = Text(basic, "md5Checksum");
    return true;
}

VideoListRecord VideoListRecord::FromVideoInfo(const ApiCollection::VideoInfo& info)
{
    VideoListRecord r;
    r.vid = info.vid;
    r.cateId = info.cateId;
    r.cateName = info.cateName;
    r.title = info.title;
    r.description = info.description;
    r.duration = info.duration;
    r.thumbnailURL = info.thumbnailURL;
    r.coverURL = info.coverURL;
    r.creationTime = info.creationTime;
    r.updateTime = info.updateTime;
    r.size = info.size;
    r.status = info.status;
    r.tags = info.tags;
    r.uploader = info.uploader;
    r.playTimes = static_cast<int>(info.playTimes);
    r.md5Checksum = info.md5Checksum;
    return r;
}

VideoTableModel::VideoTableModel(CategoryTreeModel* categories, QObject* parent)
    : QStandardItemModel(0, ColumnSize, parent), categories_(categories)
{
    qRegisterMetaType<VideoTableModel::TaskType>("VideoTableModel::TaskType");
    qRegisterMetaType<TaskEndStatus>("TaskEndStatus");
    qRegisterMetaType<VideoListRecord>("VideoListRecord");
    qRegisterMetaType<QList<VideoListRecord>>("QList<VideoListRecord>");
    qRegisterMetaType<VideoErrorList>("VideoErrorList");
    qRegisterMetaType<ApiCollection::VideoInfosResult>("ApiCollection::VideoInfosResult");
    qRegisterMetaType<QFileInfo>("QFileInfo");
    worker_ = new VideoTableModelWorker(this);
    defaultThumbnail_ = worker_->DefaultThumbnail();
    if (categories_) {
        // Category names and paths of the rows come from the tree.
        auto repaint = [this] {
            if (rowCount() > 0)
                emit dataChanged(index(0, CategoryName), index(rowCount() - 1, CategoryName));
        };
        connect(categories_, &CategoryTreeModel::SignalRefreshCategoryDone, this, repaint);
        connect(categories_, &CategoryTreeModel::SignalRenameCategorySucceed, this, repaint);
        connect(categories_, &CategoryTreeModel::SignalMoveCategorySucceed, this, repaint);
    }
}

VideoTableModel::~VideoTableModel()
{
    // The worker's jobs emit this model's signals: they end before the model goes.
    delete worker_;
    worker_ = nullptr;
}

QUuid VideoTableModel::RefreshVideoList(qulonglong cateId, const QString& titleFilter, bool containSubCate,
                                        int page, int pageSize, int sort)
{
    return worker_->RefreshVideoList(cateId, titleFilter, containSubCate, page, pageSize, sort);
}

QUuid VideoTableModel::GetVideosInfo(const QStringList& vids, int infoType)
{
    return worker_->GetVideosInfo(vids, infoType, false);
}

QUuid VideoTableModel::ShowVideosInfo(const QStringList& vids, int infoType)
{
    return worker_->GetVideosInfo(vids, infoType | ApiCollection::Basic, true);
}

QUuid VideoTableModel::MoveVideo(const QStringList& vids, qulonglong dstCateId)
{
    return worker_->MoveVideo(vids, dstCateId);
}

QUuid VideoTableModel::DeleteVideos(const QStringList& vids)
{
    return worker_->DeleteVideos(vids);
}

QUuid VideoTableModel::UpdateVideoInfo(const QString& vid, const QString& title, const QString& tags,
                                       const QString& desc)
{
    return worker_->UpdateVideoInfo(vid, title, tags, desc);
}

QUuid VideoTableModel::ChangeVideoCover(const QString& vid, const QUrl& url)
{
    return worker_->ChangeVideoCover(vid, url);
}

QUuid VideoTableModel::UploadVideoCover(const QString& vid, const QFileInfo& fileinfo)
{
    return worker_->UploadVideoCover(vid, fileinfo);
}

bool VideoTableModel::HasTask() const
{
    return worker_->HasTask();
}

void VideoTableModel::WaitForTasks()
{
    worker_->WaitForTasks();
}

int VideoTableModel::RowOfVid(const QString& vid) const
{
    for (int row = 0; row < records_.size(); ++row)
        if (records_.at(row).vid == vid)
            return row;
    return -1;
}

const VideoListRecord* VideoTableModel::RecordOf(const QString& vid) const
{
    const int row = RowOfVid(vid);
    return row < 0 ? nullptr : &records_.at(row);
}

QStringList VideoTableModel::CheckedVids() const
{
    QStringList vids;
    for (int row = 0; row < rowCount(); ++row) {
        const QModelIndex cell = index(row, Selected);
        if (cell.data(Qt::CheckStateRole).toInt() == Qt::Checked)
            vids.append(cell.data(DataRole::Vid).toString());
    }
    return vids;
}

QStringList VideoTableModel::AllVids() const
{
    QStringList vids;
    for (const VideoListRecord& record : records_)
        vids.append(record.vid);
    return vids;
}

void VideoTableModel::SetAllChecked(bool checked)
{
    for (int row = 0; row < rowCount(); ++row)
        setData(index(row, Selected), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

QString VideoTableModel::StatusText(int status)
{
    if (const char* key = StatusKey(status))
        return QCoreApplication::translate("VideoStatus", key);
    return VideoTableModel::tr("unknown");
}

QString VideoTableModel::DisplayText(const QString& title, qulonglong size, double duration,
                                     const QString& vid)
{
    const quint64 seconds = duration > 0 ? static_cast<quint64>(duration) : 0;
    return title + QLatin1Char('\n') +
           QStringLiteral("%1 | %2").arg(FormatSize(static_cast<qint64>(size)), FormatDuration(seconds)) +
           QLatin1Char('\n') + vid;
}

QList<QStandardItem*> VideoTableModel::MakeRow(const VideoListRecord& r) const
{
    const AccountManager* account = AccountManager::Current();
    const bool canManage = account && account->HasPermission(AccountManager::OperaManage);
    const bool canCopyCode = account && account->HasPermission(AccountManager::OperaCopyCode);

    QList<QStandardItem*> row;
    row.reserve(ColumnSize);
    for (int column = 0; column < ColumnSize; ++column) {
        auto* item = new QStandardItem;
        item->setEditable(false);
        item->setTextAlignment(Qt::AlignCenter);
        row.append(item);
    }
    QStandardItem* selected = row[Selected];
    selected->setData(r.vid, DataRole::Vid);
    selected->setData(r.cateId, DataRole::CateId);
    selected->setData(r.cateName, DataRole::CateName);
    selected->setData(r.title, DataRole::Title);
    selected->setData(r.description, DataRole::Description);
    selected->setData(r.duration, DataRole::Duration);
    selected->setData(r.thumbnailURL, DataRole::ThumbnailURL);
    selected->setData(r.coverURL, DataRole::CoverURL);
    selected->setData(r.creationTime, DataRole::CreationTime);
    selected->setData(r.updateTime, DataRole::UpdateTime);
    selected->setData(r.size, DataRole::FileSize);
    selected->setData(r.status, DataRole::Status);
    selected->setData(r.tags, DataRole::Tags);
    selected->setData(r.uploader, DataRole::Uploader);
    selected->setData(r.playTimes, DataRole::PlayTimes);
    // The view toggles the box itself (the delegate and the header).
    selected->setCheckable(false);
    selected->setData(Qt::Unchecked, Qt::CheckStateRole);

    row[Thumbs]->setData(defaultThumbnail_, ThumbnailRole);
    row[DisplayInfo]->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row[CategoryName]->setData(1, HasButtonRole);
    row[CategoryName]->setData(QStringLiteral("categoryButton"), ButtonRole);
    row[CategoryName]->setData(r.cateId == shownCateId_ ? 0 : 1, ButtonEnabledRole);
    row[DisplayInfo]->setData(0, ButtonEnabledRole);
    row[Edit]->setData(1, HasButtonRole);
    row[Edit]->setData(QStringLiteral("editButton"), ButtonRole);
    row[Edit]->setData(canManage ? 1 : 0, ButtonEnabledRole);
    row[Edit]->setText(tr("Edit"));
    row[CodeGen]->setData(1, HasButtonRole);
    row[CodeGen]->setData(QStringLiteral("codeGenButton"), ButtonRole);
    row[CodeGen]->setData(canCopyCode ? 1 : 0, ButtonEnabledRole);
    row[CodeGen]->setText(tr("CodeGen"));
    return row;
}

void VideoTableModel::Fill(const QList<VideoListRecord>& records, qulonglong shownCateId)
{
    shownCateId_ = shownCateId;
    QList<QList<QStandardItem*>> rows;
    rows.reserve(records.size());
    for (const VideoListRecord& record : records)
        rows.append(MakeRow(record));
    // One reset instead of a signal per row and cell: views lay the page out once.
    beginResetModel();
    {
        const QSignalBlocker blocker(this);
        removeRows(0, rowCount());
        records_ = records;
        for (const QList<QStandardItem*>& row : qAsConst(rows))
            appendRow(row);
    }
    endResetModel();
}

void VideoTableModel::PlaceThumbnail(const QString& vid, const QPixmap& pixmap)
{
    const int row = RowOfVid(vid);
    if (row < 0)
        return;
    QStandardItem* cell = item(row, Thumbs);
    if (!cell)
        return;
    {
        const QSignalBlocker blocker(this);
        cell->setData(pixmap, ThumbnailRole);
    }
    // One cell: cheap, and the thumbnails appear as they arrive.
    const QModelIndex changed = cell->index();
    emit dataChanged(changed, changed, {ThumbnailRole});
}

void VideoTableModel::UpdateRecord(const QString& vid, const std::function<void(VideoListRecord&)>& change)
{
    const int row = RowOfVid(vid);
    if (row < 0)
        return;
    VideoListRecord& record = records_[row];
    change(record);
    QStandardItem* selected = item(row, Selected);
    selected->setData(record.title, DataRole::Title);
    selected->setData(record.tags, DataRole::Tags);
    selected->setData(record.description, DataRole::Description);
    selected->setData(record.thumbnailURL, DataRole::ThumbnailURL);
    selected->setData(record.coverURL, DataRole::CoverURL);
    emit dataChanged(index(row, 0), index(row, ColumnSize - 1));
}

QVariant VideoTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QStandardItemModel::data(index, role);
    const QModelIndex first = index.siblingAtColumn(Selected);
    switch (index.column()) {
    case DisplayInfo: {
        const QString text =
            DisplayText(first.data(DataRole::Title).toString(), first.data(DataRole::FileSize).toULongLong(),
                        first.data(DataRole::Duration).toDouble(), first.data(DataRole::Vid).toString());
        if (role == Qt::DisplayRole)
            return text;
        return QStandardItemModel::data(index, ButtonEnabledRole).toInt() == 0
                   ? text.toHtmlEscaped()
                   : QCoreApplication::translate("VideoTableView", "CopyVid");
    }
    case Uploader: {
        if (role != Qt::DisplayRole)
            break;
        const QString uploader = first.data(DataRole::Uploader).toString();
        return uploader.isEmpty() ? tr("MainUploader") : uploader;
    }
    case CategoryName: {
        if (!categories_)
            return role == Qt::DisplayRole ? first.data(DataRole::CateName) : QVariant();
        const qulonglong cateId = first.data(DataRole::CateId).toULongLong();
        if (role == Qt::DisplayRole)
            return categories_->CateNameOf(cateId);
        QStringList names;
        for (const QModelIndex& node : categories_->IndexesToTop(cateId))
            names.prepend(node.data(Qt::DisplayRole).toString());
        if (names.isEmpty())
            return QVariant();
        return QStringLiteral("<p style='white-space:pre'>%1</p>")
            .arg(names.join(QLatin1Char('>')).toHtmlEscaped());
    }
    case UploadTime:
        if (role != Qt::DisplayRole)
            break;
        return first.data(DataRole::CreationTime).toString().replace(QLatin1Char(' '), QLatin1Char('\n'));
    case Status:
        if (role != Qt::DisplayRole)
            break;
        return StatusText(first.data(DataRole::Status).toInt());
    default:
        break;
    }
    return QStandardItemModel::data(index, role);
}

bool VideoTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const bool checkChange = role == Qt::CheckStateRole && index.column() == Selected &&
                             QStandardItemModel::data(index, role) != value;
    if (!QStandardItemModel::setData(index, value, role))
        return false;
    if (checkChange)
        emit SignalCheckStateChanged(index);
    return true;
}

QVariant VideoTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnSize)
        return QStandardItemModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return kColumnKeys[section] ? QCoreApplication::translate("VideoTableColumn", kColumnKeys[section])
                                    : QString();
    case Qt::TextAlignmentRole:
        if (section == DisplayInfo || section == UploadTime)
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignCenter);
    case Qt::CheckStateRole:
        if (section != Selected)
            return QVariant();
        return QStandardItemModel::headerData(section, orientation, role).isValid()
                   ? QStandardItemModel::headerData(section, orientation, role)
                   : QVariant(Qt::Unchecked);
    default:
        return QStandardItemModel::headerData(section, orientation, role);
    }
}
