#pragma once
// Runs the video operations of VideoTableModel: page loads, thumbnails
// through the disk cache, move, delete, details, edits and cover changes.
// Work runs on pool threads and reaches the model only through queued
// signals and the tasks' parameters read by the finished callbacks.

#include "api/apicollection.h"
#include "model/videotablemodel.h"
#include "task/taskmanager.h"

#include <QImage>
#include <QPixmap>

class VideoTableModelWorker : public TaskManager
{
    Q_OBJECT
public:
    static constexpr int kMaxRunningTasks = 5;
    // Logical size the thumbnails are scaled to fit.
    static constexpr int kThumbSize = 64;

    explicit VideoTableModelWorker(VideoTableModel* model);
    ~VideoTableModelWorker() override;

    QUuid RefreshVideoList(qulonglong cateId, const QString& titleFilter, bool containSubCate, int page,
                           int pageSize, int sort);
    QUuid LoadThumbs();
    QUuid GetVideosInfo(const QStringList& vids, int infoType, bool showInTable);
    QUuid MoveVideo(const QStringList& vids, qulonglong dstCateId);
    QUuid DeleteVideos(const QStringList& vids);
    QUuid UpdateVideoInfo(const QString& vid, const QString& title, const QString& tags, const QString& desc);
    QUuid ChangeVideoCover(const QString& vid, const QUrl& url);
    QUuid UploadVideoCover(const QString& vid, const QFileInfo& fileinfo);

    QPixmap DefaultThumbnail() const { return defaultThumbnail_; }

    // The cache file name for a thumbnail URL: the last part of its path,
    // reduced to a plain file name that cannot leave its folder.
    static QString ThumbnailFileName(const QUrl& url);
    // The cache folder of one video: <data>/thumbs/<userId>/<vid>, with both
    // parts reduced to plain names.
    static QString ThumbnailDir(const QString& userId, const QString& vid);

signals:
    // Pool thread -> interface thread: a thumbnail image is ready for a vid.
    void SignalThumbImageReady(QString vid, QImage image, QUuid task);
    // Pool thread -> interface thread: a thumbnail pass ended.
    void SignalThumbsPassDone();

protected:
    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeName(int type) const override;

private slots:
    void OnThumbImageReady(const QString& vid, const QImage& image, const QUuid& task);
    void OnThumbsPassDone();

private:
    TaskInfo* NewTask(VideoTableModel::TaskType type);
    QUuid Queue(TaskInfo* task);
    // Stops every queued or running task of a type for which `match` holds.
    void StopTasks(VideoTableModel::TaskType type, const char* logLine,
                   const std::function<bool(TaskInfo*)>& match = nullptr);

    void RefreshWork(TaskInfo* task);
    void RefreshFinished(TaskInfo* task);
    void ThumbsStart(TaskInfo* task);
    void ThumbsWork(TaskInfo* task);
    void InfoWork(TaskInfo* task);
    void InfoFinished(TaskInfo* task);
    void MoveWork(TaskInfo* task);
    void DeleteStart(TaskInfo* task);
    void DeleteWork(TaskInfo* task);
    void DeleteFinished(TaskInfo* task);
    void UpdateWork(TaskInfo* task);
    void CoverWork(TaskInfo* task, bool upload);

    // Loads a cached or downloaded file; a null image when it does not load.
    QImage LoadThumbImage(const QString& path) const;
    // Logs a failed operation, marks the task unless it was aborted, returns
    // the text for the user.
    QString Failure(TaskInfo* task, const ApiCollection::Failure& failure);
    // Emits the end of a list load that ended without filling the table.
    void EmitListAbort(TaskInfo* task);

    VideoTableModel* model_;
    QPixmap defaultThumbnail_;
    qreal devicePixelRatio_ = 1.0;
    // The thumbnail pass whose images are still wanted (interface thread).
    QUuid currentThumbs_;
};
