#pragma once
// The videos of the library page's current page: one row per video, the
// video's data in custom roles of the first cell, the thumbnail in the second
// and per-row buttons in the last ones. Loading, thumbnails and every video
// operation of the library run as tasks of the model's worker; their outcomes
// come back as the signals below, on the interface thread.

#include "api/apicollection.h"
#include "task/taskinfo.h"

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QPixmap>
#include <QStandardItemModel>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <functional>

class CategoryTreeModel;
class VideoTableModelWorker;

// One video as a list page (or a details answer) describes it.
struct VideoListRecord
{
    QString vid;
    qulonglong cateId = 0;
    QString cateName;
    QString title;
    QString description;
    double duration = 0; // seconds
    QUrl thumbnailURL;
    QUrl coverURL;
    QString creationTime;
    QString updateTime;
    qulonglong size = 0; // bytes
    int status = 0;
    QString tags;
    QString uploader;
    int playTimes = 0;
    QString md5Checksum;

    // From an element of a list page's "contents"; false when the element
    // has no "basicInfo" object.
    static bool FromListElement(const QJsonValue& element, VideoListRecord* record);
    static VideoListRecord FromVideoInfo(const ApiCollection::VideoInfo& info);
};

// (vid, error text) of each video a delete did not remove.
using VideoErrorList = QList<QPair<QString, QString>>;

class VideoTableModel : public QStandardItemModel
{
    Q_OBJECT
public:
    enum Column
    {
        Selected = 0,
        Thumbs = 1,
        DisplayInfo = 2,
        Uploader = 3,
        CategoryName = 4,
        UploadTime = 5,
        Status = 6,
        Edit = 7,
        CodeGen = 8,
        ColumnSize = 9,
    };
    Q_ENUM(Column)

    // Stored on the Selected cell of each row. A struct around the enum, so
    // that Status and Uploader can be both columns and roles:
    // VideoTableModel::DataRole::Status is 267, VideoTableModel::Status is 6.
    struct DataRole
    {
        enum Value
        {
            Vid = Qt::UserRole, // 256
            CateId = 257,
            CateName = 258,
            Title = 259,
            Description = 260,
            Duration = 261,     // double, seconds
            ThumbnailURL = 262, // QUrl
            CoverURL = 263,     // QUrl
            CreationTime = 264,
            UpdateTime = 265,
            FileSize = 266, // qulonglong
            Status = 267,   // int
            Tags = 268,
            Uploader = 269,
            PlayTimes = 270, // int
            Count = 271,     // number of data roles; not stored
        };
    };

    // Used by the table's delegates.
    enum ViewRole
    {
        HasButtonRole = 512,     // 1 when the cell shows a button
        ButtonRole = 513,        // object name of the shared button the cell shows
        ButtonEnabledRole = 514, // 1 when the button is active; on DisplayInfo: pointer over the vid
        ThumbnailRole = 520,     // the thumbnail pixmap, on the Thumbs cell
    };

    // The platform's processing states.
    enum VideoStatus
    {
        Deleted = -1,
        Uploading = 5,
        Syncing = 6,
        SyncFailed = 7,
        WaitingProcess = 10,
        Transcoding = 20,
        TranscodeFailed = 40,
        SourceFileIllegal = 41,
        WaitingReview = 50,
        ReviewNoPass = 51,
        Reviewing = 52,
        Forbidden = 53,
        Release = 60,
        ReleaseByAutoCensored = 61,
    };
    Q_ENUM(VideoStatus)

    // Scoped so that the keys can share their names with the operations.
    enum class TaskType
    {
        RefreshVideoList = 0,
        LoadThumbs = 1,
        MoveVideo = 2,
        DeleteVideo = 3,
        GetVideosInfo = 4,
        UpdateVideoInfo = 5,
        ChangeVideoCover = 6,
        UploadVideoCover = 7,
    };
    Q_ENUM(TaskType)

    // The shown category id of a table filled by ShowVideosInfo: no row is in it.
    static constexpr qulonglong kNoCategory = ~0ULL;

    // `categories` names the categories of the rows; may be null.
    explicit VideoTableModel(CategoryTreeModel* categories = nullptr, QObject* parent = nullptr);
    ~VideoTableModel() override;

    // Each queues a task and returns its uuid.
    // sort: an ApiCollection::SortMethod value. Replaces any older refresh.
    QUuid RefreshVideoList(qulonglong cateId, const QString& titleFilter, bool containSubCate, int page,
                           int pageSize, int sort);
    // infoType: ApiCollection::VideoInfoType flags. Answers with
    // SignalGetVideosInfoSucceed / SignalGetVideosInfoFailed.
    QUuid GetVideosInfo(const QStringList& vids, int infoType);
    // Shows exactly these videos in the table (the vid search), replacing
    // any older such request; answers like a page refresh and then with
    // SignalGetVideoListDone.
    QUuid ShowVideosInfo(const QStringList& vids, int infoType = ApiCollection::Basic);
    QUuid MoveVideo(const QStringList& vids, qulonglong dstCateId);
    // Uploads of this client among the vids are deleted locally; those of
    // another client are refused per video.
    QUuid DeleteVideos(const QStringList& vids);
    QUuid UpdateVideoInfo(const QString& vid, const QString& title, const QString& tags, const QString& desc);
    // Each replaces a running change of the same kind for the same vid.
    QUuid ChangeVideoCover(const QString& vid, const QUrl& url);
    QUuid UploadVideoCover(const QString& vid, const QFileInfo& fileinfo);

    bool HasTask() const;
    // Part of the application's stop sequence.
    void WaitForTasks();

    // The records of the rows, in row order.
    const QList<VideoListRecord>& Records() const { return records_; }
    // The record of a vid on the current page; null when not shown.
    const VideoListRecord* RecordOf(const QString& vid) const;
    int RowOfVid(const QString& vid) const;
    // The category the table shows (its rows' category links are inactive).
    qulonglong ShownCateId() const { return shownCateId_; }
    QStringList CheckedVids() const;
    QStringList AllVids() const;
    void SetAllChecked(bool checked);
    CategoryTreeModel* categoryModel() const { return categories_; }

    // The translated status text of a platform status code.
    static QString StatusText(int status);
    // Title, "size | hh:mm:ss" and vid on three lines.
    static QString DisplayText(const QString& title, qulonglong size, double duration, const QString& vid);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void SignalCheckStateChanged(QModelIndex index);
    void SignalTaskRunningSlowly(VideoTableModel::TaskType type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskEndStatus status);
    void SignalVideoListAvailable(bool available);
    void SignalRefreshVideoListAboutToDo();
    void SignalRefreshVideoListDone();
    void SignalRefreshVideoListSucceed(qulonglong pageNumber, qulonglong totalPages, qulonglong pageSize);
    void SignalRefreshVideoListFailed(QString error);
    void SignalRefreshVideoListAbort();
    void SignalGetVideoListDone(int count);
    void SignalThumbsAlready(QString vid, QPixmap image);
    void SignalMoveVideoSucceed(QStringList vids, qulonglong dstCateId);
    void SignalMoveVideoFailed(QString error);
    void SignalDeleteVideosSucceed(QStringList vids);
    void SignalDeleteVideosFailed(VideoErrorList errors);
    void SignalGetVideosInfoSucceed(ApiCollection::VideoInfosResult infos);
    void SignalGetVideosInfoFailed(QString error);
    void SignalUpdateVideoInfoSucceed(QString vid, QString title, QString tags, QString desc);
    void SignalUpdateVideoInfoFailed(QString error);
    void SignalChangeVideoCoverSucceed(QString vid, QUrl coverUrl, QUrl thumbsUrl);
    void SignalChangeVideoCoverFailed(QString error);
    void SignalUploadVideoCoverSucceed(QString vid, QFileInfo fileinfo, QUrl coverUrl, QUrl thumbsUrl);
    void SignalUploadVideoCoverFailed(QString error);

private:
    friend class VideoTableModelWorker;
    // Interface thread: replaces every row by the records.
    void Fill(const QList<VideoListRecord>& records, qulonglong shownCateId);
    QList<QStandardItem*> MakeRow(const VideoListRecord& record) const;
    // Interface thread: places a loaded thumbnail into the vid's row.
    void PlaceThumbnail(const QString& vid, const QPixmap& pixmap);
    void UpdateRecord(const QString& vid, const std::function<void(VideoListRecord&)>& change);

    CategoryTreeModel* categories_;
    VideoTableModelWorker* worker_ = nullptr;
    QList<VideoListRecord> records_;
    qulonglong shownCateId_ = 0;
    QPixmap defaultThumbnail_;
};

Q_DECLARE_METATYPE(VideoListRecord)
Q_DECLARE_METATYPE(VideoErrorList)
