#include "model/videotablemodelworker.h"

#include "account/accountmanager.h"
#include "model/taskfailure.h"
#include "base/paths.h"
#include "upload/sdkmanager.h"

#include <QDir>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QSet>

#include <memory>
#include <vector>

using namespace ApiCollection;

namespace {
const QString kIsAbort = QStringLiteral("isAbort");
const QString kCateId = QStringLiteral("cateId");
const QString kTitleFilter = QStringLiteral("titleFilter");
const QString kContainSubCate = QStringLiteral("containSubCate");
const QString kPage = QStringLiteral("page");
const QString kPageSize = QStringLiteral("pageSize");
const QString kSort = QStringLiteral("sort");
const QString kRecords = QStringLiteral("contents");
const QString kPageNumber = QStringLiteral("pageNumber");
const QString kTotalPages = QStringLiteral("totalPages");
const QString kUserId = QStringLiteral("userId");
const QString kDownloadInfoList = QStringLiteral("downloadInfoList");
const QString kVid = QStringLiteral("vid");
const QString kVids = QStringLiteral("vids");
const QString kUrl = QStringLiteral("url");
const QString kDstCateId = QStringLiteral("dstCateId");
const QString kInfoType = QStringLiteral("infoType");
const QString kShowInTable = QStringLiteral("showInTable");
const QString kResult = QStringLiteral("result");
const QString kNotInClient = QStringLiteral("uploadingVidsNoInClient");
const QString kDeleteErrors = QStringLiteral("deleteVidsError");
const QString kTitle = QStringLiteral("title");
const QString kTags = QStringLiteral("tags");
const QString kDesc = QStringLiteral("desc");
const QString kFileInfo = QStringLiteral("fileinfo");
// Set by a list load once its work began, and once it told the page how it ended.
const QString kListStarted = QStringLiteral("listStarted");
const QString kListEnded = QStringLiteral("listEnded");

int Type(VideoTableModel::TaskType type)
{
    return static_cast<int>(type);
}

// The abort flag of one work function. It is published under "isAbort" for
// the time of the work so that the abortCallback can reach it; the task's
// lock orders the publication, the withdrawal and the callback, so the
// callback never touches a flag that is gone.
class AbortScope
{
public:
    explicit AbortScope(TaskInfo* task) : task_(task)
    {
        task_->withParams(
            [this](QVariantMap& params) { params.insert(kIsAbort, QVariant::fromValue<void*>(&flag_)); });
        // An abort that came before the publication found no flag to set.
        if (task_->status() == TaskInfo::Abort)
            flag_ = true;
    }
    ~AbortScope()
    {
        task_->withParams([](QVariantMap& params) { params.remove(kIsAbort); });
    }
    AbortScope(const AbortScope&) = delete;
    AbortScope& operator=(const AbortScope&) = delete;

    const AbortFlag* flag() const { return &flag_; }

    // The abortCallback of every video task.
    static void Abort(TaskInfo* task)
    {
        task->withParams([](QVariantMap& params) {
            const auto it = params.constFind(kIsAbort);
            if (it != params.constEnd())
                static_cast<AbortFlag*>(it->value<void*>())->store(true);
        });
    }

private:
    TaskInfo* task_;
    AbortFlag flag_{false};
};

// Reduces a text to one plain path component.
QString PlainName(const QString& text, const QString& fallback)
{
    QString name = text;
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    // Names that a file system treats specially, or that end in a dot or a
    // space (dropped silently on some systems), get the fallback.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return fallback;
    return name.left(200);
}
} // namespace

VideoTableModelWorker::VideoTableModelWorker(VideoTableModel* model) : TaskManager(model), model_(model)
{
    SetMaxRunning(kMaxRunningTasks);
    SetTaskPolicy(Type(VideoTableModel::TaskType::RefreshVideoList), OnePerType);
    SetTaskPolicy(Type(VideoTableModel::TaskType::LoadThumbs), OnePerType);
    SetTaskPolicy(Type(VideoTableModel::TaskType::MoveVideo), Exclusive);
    SetTaskPolicy(Type(VideoTableModel::TaskType::DeleteVideo), Exclusive);
    SetTaskPolicy(Type(VideoTableModel::TaskType::GetVideosInfo), Unrestricted);
    SetTaskPolicy(Type(VideoTableModel::TaskType::UpdateVideoInfo), Exclusive);
    SetTaskPolicy(Type(VideoTableModel::TaskType::ChangeVideoCover), Exclusive);
    SetTaskPolicy(Type(VideoTableModel::TaskType::UploadVideoCover), Exclusive);

    devicePixelRatio_ = qApp ? qApp->devicePixelRatio() : 1.0;
    const int side = qRound(kThumbSize * devicePixelRatio_);
    QPixmap thumb(QStringLiteral(":/image/common/icon_default_video_thumbs.svg"));
    if (!thumb.isNull()) {
        thumb = thumb.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        thumb.setDevicePixelRatio(devicePixelRatio_);
    }
    defaultThumbnail_ = thumb;

    connect(this, &VideoTableModelWorker::SignalThumbImageReady, this,
            &VideoTableModelWorker::OnThumbImageReady);
    connect(this, &VideoTableModelWorker::SignalThumbsPassDone, this,
            &VideoTableModelWorker::OnThumbsPassDone);
    connect(model_, &VideoTableModel::SignalRefreshVideoListSucceed, this, [this] { LoadThumbs(); });
}

VideoTableModelWorker::~VideoTableModelWorker()
{
    // The jobs emit the model's signals and read its worker: wait for them first.
    StopAndJoin();
}

// ---- Queuing ----------------------------------------------------------------

TaskInfo* VideoTableModelWorker::NewTask(VideoTableModel::TaskType type)
{
    auto* task = new TaskInfo(Type(type));
    task->abortCallback = &AbortScope::Abort;
    return task;
}

QUuid VideoTableModelWorker::Queue(TaskInfo* task)
{
    const QUuid uuid = task->uuid();
    AddTask(task);
    return uuid;
}

void VideoTableModelWorker::StopTasks(VideoTableModel::TaskType type, const char* logLine,
                                      const std::function<bool(TaskInfo*)>& match)
{
    // StopTask runs callbacks; walk a copy.
    const QList<TaskInfo*> tasks = TasksOfType(Type(type));
    for (TaskInfo* task : tasks) {
        if (task->status() != TaskInfo::Ready && task->status() != TaskInfo::Running)
            continue;
        if (match && !match(task))
            continue;
        qCInfo(lcWorker).noquote() << logLine << TaskTypeName(task->type()) << task->uuid().toString();
        StopTask(task);
    }
}

QUuid VideoTableModelWorker::RefreshVideoList(qulonglong cateId, const QString& titleFilter,
                                              bool containSubCate, int page, int pageSize, int sort)
{
    // Whatever fills the table last wins; older loads are of no use any more.
    StopTasks(VideoTableModel::TaskType::RefreshVideoList,
              "RefreshVideoList is running, abort old refresh task:");
    StopTasks(VideoTableModel::TaskType::GetVideosInfo, "GetVideosInfo2 is running, abort old refresh task:",
              [](TaskInfo* t) { return t->param(kShowInTable).toBool(); });
    TaskInfo* task = NewTask(VideoTableModel::TaskType::RefreshVideoList);
    task->setParam(kCateId, QVariant::fromValue<qulonglong>(cateId));
    task->setParam(kTitleFilter, titleFilter);
    task->setParam(kContainSubCate, containSubCate);
    task->setParam(kPage, page);
    task->setParam(kPageSize, pageSize);
    task->setParam(kSort, sort);
    task->work = [this](TaskInfo* t) { RefreshWork(t); };
    task->finishedCallback = [this](TaskInfo* t) { RefreshFinished(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::LoadThumbs()
{
    // The images of an older page are not wanted any more.
    StopTasks(VideoTableModel::TaskType::LoadThumbs, "LoadThumbs is running, abort old task:");
    TaskInfo* task = NewTask(VideoTableModel::TaskType::LoadThumbs);
    task->startCallback = [this](TaskInfo* t) { ThumbsStart(t); };
    task->work = [this](TaskInfo* t) { ThumbsWork(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::GetVideosInfo(const QStringList& vids, int infoType, bool showInTable)
{
    if (showInTable) {
        StopTasks(VideoTableModel::TaskType::GetVideosInfo,
                  "GetVideosInfo2 is running, abort old refresh task:", [](TaskInfo* t) {
                      return t->param(kShowInTable).toBool();
                  });
        StopTasks(VideoTableModel::TaskType::RefreshVideoList,
                  "RefreshVideoList is running, abort old refresh task:");
    }
    TaskInfo* task = NewTask(VideoTableModel::TaskType::GetVideosInfo);
    task->setParam(kVids, vids);
    task->setParam(kInfoType, infoType);
    task->setParam(kShowInTable, showInTable);
    task->work = [this](TaskInfo* t) { InfoWork(t); };
    task->finishedCallback = [this](TaskInfo* t) { InfoFinished(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::MoveVideo(const QStringList& vids, qulonglong dstCateId)
{
    TaskInfo* task = NewTask(VideoTableModel::TaskType::MoveVideo);
    task->setParam(kVids, vids);
    task->setParam(kDstCateId, QVariant::fromValue<qulonglong>(dstCateId));
    task->work = [this](TaskInfo* t) { MoveWork(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::DeleteVideos(const QStringList& vids)
{
    TaskInfo* task = NewTask(VideoTableModel::TaskType::DeleteVideo);
    task->setParam(kVids, vids);
    task->startCallback = [this](TaskInfo* t) { DeleteStart(t); };
    task->work = [this](TaskInfo* t) { DeleteWork(t); };
    task->finishedCallback = [this](TaskInfo* t) { DeleteFinished(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::UpdateVideoInfo(const QString& vid, const QString& title, const QString& tags,
                                             const QString& desc)
{
    TaskInfo* task = NewTask(VideoTableModel::TaskType::UpdateVideoInfo);
    task->setParam(kVid, vid);
    task->setParam(kTitle, title);
    task->setParam(kTags, tags);
    task->setParam(kDesc, desc);
    task->work = [this](TaskInfo* t) { UpdateWork(t); };
    return Queue(task);
}

QUuid VideoTableModelWorker::ChangeVideoCover(const QString& vid, const QUrl& url)
{
    StopTasks(VideoTableModel::TaskType::ChangeVideoCover,
              qPrintable(QStringLiteral("ChangeVideoCover is running, abort old task(vid: %1):").arg(vid)),
              [vid](TaskInfo* t) { return t->param(kVid).toString() == vid; });
    TaskInfo* task = NewTask(VideoTableModel::TaskType::ChangeVideoCover);
    task->setParam(kVid, vid);
    task->setParam(kUrl, url);
    task->work = [this](TaskInfo* t) { CoverWork(t, false); };
    return Queue(task);
}

QUuid VideoTableModelWorker::UploadVideoCover(const QString& vid, const QFileInfo& fileinfo)
{
    StopTasks(VideoTableModel::TaskType::UploadVideoCover,
              qPrintable(QStringLiteral("UploadVideoCover is running, abort old task(vid: %1):").arg(vid)),
              [vid](TaskInfo* t) { return t->param(kVid).toString() == vid; });
    TaskInfo* task = NewTask(VideoTableModel::TaskType::UploadVideoCover);
    task->setParam(kVid, vid);
    task->setParam(kFileInfo, QVariant::fromValue(fileinfo));
    task->work = [this](TaskInfo* t) { CoverWork(t, true); };
    return Queue(task);
}

// ---- TaskManager ------------------------------------------------------------

void VideoTableModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit model_->SignalTaskRunningSlowly(static_cast<VideoTableModel::TaskType>(task->type()), isFinish);
}

void VideoTableModelWorker::TaskEnd(TaskInfo* task)
{
    // A list load that began but never reached its end (aborted after its
    // request had succeeded) still owes the page its end.
    if (task->param(kListStarted).toBool() && !task->param(kListEnded).toBool()) {
        qCInfo(lcWorker) << "RefreshVideoList abort";
        EmitListAbort(task);
    }
    emit model_->SignalTaskEndStatus(task->uuid(), TaskInfo::EndStatusOf(task->status()));
}

QString VideoTableModelWorker::TaskTypeName(int type) const
{
    const char* key = QMetaEnum::fromType<VideoTableModel::TaskType>().valueToKey(type);
    return key ? QString::fromLatin1(key) : QString::number(type);
}

QString VideoTableModelWorker::Failure(TaskInfo* task, const ApiCollection::Failure& failure)
{
    return FailTask(*this, task, TaskTypeName(task->type()), failure);
}

void VideoTableModelWorker::EmitListAbort(TaskInfo* task)
{
    task->setParam(kListEnded, true);
    emit model_->SignalRefreshVideoListAbort();
    emit model_->SignalVideoListAvailable(true);
    emit model_->SignalRefreshVideoListDone();
    if (task->type() == Type(VideoTableModel::TaskType::GetVideosInfo))
        emit model_->SignalGetVideoListDone(0);
}

// ---- Page refresh -----------------------------------------------------------

void VideoTableModelWorker::RefreshWork(TaskInfo* task)
{
    task->setParam(kListStarted, true);
    emit model_->SignalRefreshVideoListAboutToDo();
    emit model_->SignalVideoListAvailable(false);

    Result<QByteArray> response;
    {
        AbortScope abort(task);
        response = ListVideoRequest(task->uuid(), task->param(kCateId).toULongLong(),
                                    task->param(kTitleFilter).toString(),
                                    task->param(kContainSubCate).toBool(), task->param(kPage).toInt(),
                                    task->param(kPageSize).toInt(), task->param(kSort).toInt(), abort.flag());
    }
    const Result<ListVideoResult> parsed = Parsed(response, ParseListVideoResponse);
    if (parsed) {
        const ListVideoResult& result = parsed.value();
        // Parsed here rather than on the interface thread, which only swaps rows.
        QList<VideoListRecord> records;
        records.reserve(result.contents.size());
        for (const QJsonValue& element : qAsConst(result.contents)) {
            VideoListRecord record;
            if (VideoListRecord::FromListElement(element, &record))
                records.append(record);
        }
        task->setParam(kRecords, QVariant::fromValue(records));
        task->setParam(kPageNumber, QVariant::fromValue<qulonglong>(result.pageNumber));
        task->setParam(kTotalPages, QVariant::fromValue<qulonglong>(result.totalPages));
        task->setParam(kPageSize, QVariant::fromValue<qulonglong>(result.pageSize));
        return;
    }
    if (task->status() == TaskInfo::Abort) {
        qCInfo(lcWorker).noquote() << TaskTypeName(task->type())
                                   << "aborted:" << RequestErrorName(parsed.code());
        EmitListAbort(task);
        return;
    }
    const QString text = Failure(task, parsed.error());
    task->setParam(kListEnded, true);
    emit model_->SignalRefreshVideoListFailed(text);
    emit model_->SignalVideoListAvailable(true);
    emit model_->SignalRefreshVideoListDone();
}

void VideoTableModelWorker::RefreshFinished(TaskInfo* task)
{
    model_->Fill(task->param(kRecords).value<QList<VideoListRecord>>(), task->param(kCateId).toULongLong());
    task->setParam(kListEnded, true);
    emit model_->SignalRefreshVideoListSucceed(task->param(kPageNumber).toULongLong(),
                                               task->param(kTotalPages).toULongLong(),
                                               task->param(kPageSize).toULongLong());
    emit model_->SignalVideoListAvailable(true);
    emit model_->SignalRefreshVideoListDone();
}

// ---- Thumbnails -------------------------------------------------------------

QString VideoTableModelWorker::ThumbnailFileName(const QUrl& url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    const QStringList parts = path.split(QRegularExpression(QStringLiteral("[/\\\\]")), Qt::SkipEmptyParts);
    return PlainName(parts.isEmpty() ? QString() : parts.last(), QStringLiteral("thumbnail"));
}

QString VideoTableModelWorker::ThumbnailDir(const QString& userId, const QString& vid)
{
    return WorkDir(QStringLiteral("thumbs")) + QLatin1Char('/') + PlainName(userId, QStringLiteral("user")) +
           QLatin1Char('/') + PlainName(vid, QStringLiteral("video"));
}

void VideoTableModelWorker::ThumbsStart(TaskInfo* task)
{
    currentThumbs_ = task->uuid();
    const AccountManager* account = AccountManager::Current();
    task->setParam(kUserId, account ? account->userId() : QString());
    QVariantList list;
    for (const VideoListRecord& record : model_->Records()) {
        if (record.thumbnailURL.isEmpty())
            continue;
        list.append(QVariantMap{{kVid, record.vid}, {kUrl, record.thumbnailURL}});
    }
    task->setParam(kDownloadInfoList, list);
}

QImage VideoTableModelWorker::LoadThumbImage(const QString& path) const
{
    QImage image(path);
    if (image.isNull())
        return image;
    const int side = qRound(kThumbSize * devicePixelRatio_);
    image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(devicePixelRatio_);
    return image;
}

void VideoTableModelWorker::ThumbsWork(TaskInfo* task)
{
    const QString userId = task->param(kUserId).toString();
    const QVariantList list = task->param(kDownloadInfoList).toList();
    const QUuid uuid = task->uuid();
    // Owned here for the whole download; the vid rides along as user data.
    std::vector<std::unique_ptr<DownloadInfo>> downloads;
    std::vector<QString> vids;
    vids.reserve(static_cast<size_t>(list.size()));
    for (const QVariant& entry : list) {
        if (task->status() == TaskInfo::Abort)
            return;
        const QVariantMap map = entry.toMap();
        const QString vid = map.value(kVid).toString();
        const QUrl url = map.value(kUrl).toUrl();
        const QString dir = ThumbnailDir(userId, vid);
        if (!QDir().mkpath(dir)) {
            qCCritical(lcWorker).noquote() << "mkpath failed:" << QFileInfo(dir).absoluteFilePath();
            continue;
        }
        const QString file = dir + QLatin1Char('/') + ThumbnailFileName(url);
        if (QFileInfo::exists(file)) {
            const QImage image = LoadThumbImage(file);
            if (!image.isNull()) {
                emit SignalThumbImageReady(vid, image, uuid);
                continue;
            }
            qCWarning(lcWorker).noquote() << "cache image is invalid:" << file;
        }
        vids.push_back(vid);
        auto info = std::make_unique<DownloadInfo>();
        info->url = url;
        info->file = QFileInfo(file);
        downloads.push_back(std::move(info));
    }
    if (!downloads.empty()) {
        QList<DownloadInfo*> items;
        for (size_t i = 0; i < downloads.size(); ++i) {
            downloads[i]->userData = &vids[i];
            items.append(downloads[i].get());
        }
        AbortScope abort(task);
        const RequestError downloaded = MultiDownload(
            uuid, items,
            [this, uuid](DownloadInfo* item, bool success) {
                if (!success)
                    return;
                const QImage image = LoadThumbImage(item->file.absoluteFilePath());
                if (image.isNull()) {
                    qCWarning(lcWorker).noquote()
                        << "cache image is invalid:" << item->file.absoluteFilePath();
                    return;
                }
                emit SignalThumbImageReady(*static_cast<const QString*>(item->userData), image, uuid);
            },
            abort.flag());
        if (downloaded != NoError)
            qCWarning(lcWorker).noquote() << "MultiDownload result:" << RequestErrorName(downloaded);
    }
    emit SignalThumbsPassDone();
}

void VideoTableModelWorker::OnThumbImageReady(const QString& vid, const QImage& image, const QUuid& task)
{
    Q_UNUSED(task)
    const QPixmap pixmap = QPixmap::fromImage(image);
    model_->PlaceThumbnail(vid, pixmap);
    emit model_->SignalThumbsAlready(vid, pixmap);
}

void VideoTableModelWorker::OnThumbsPassDone()
{
    if (model_->rowCount() > 0)
        emit model_->dataChanged(model_->index(0, VideoTableModel::Thumbs),
                                 model_->index(model_->rowCount() - 1, VideoTableModel::Thumbs));
}

// ---- Details and the vid search -----------------------------------------------

void VideoTableModelWorker::InfoWork(TaskInfo* task)
{
    const bool showInTable = task->param(kShowInTable).toBool();
    if (showInTable) {
        task->setParam(kListStarted, true);
        emit model_->SignalRefreshVideoListAboutToDo();
        emit model_->SignalVideoListAvailable(false);
    }
    Result<QByteArray> response;
    {
        AbortScope abort(task);
        response = GetVideoInfoRequest(task->uuid(), task->param(kVids).toStringList(),
                                       task->param(kInfoType).toInt(), abort.flag());
    }
    const Result<VideoInfosResult> result = Parsed(response, ParseGetVideoInfoResponse);
    if (result) {
        task->setParam(kResult, QVariant::fromValue(result.value()));
        return;
    }
    if (!showInTable) {
        emit model_->SignalGetVideosInfoFailed(Failure(task, result.error()));
        return;
    }
    if (task->status() == TaskInfo::Abort) {
        EmitListAbort(task);
        return;
    }
    const QString text = Failure(task, result.error());
    task->setParam(kListEnded, true);
    emit model_->SignalRefreshVideoListFailed(text);
    emit model_->SignalVideoListAvailable(true);
    emit model_->SignalRefreshVideoListDone();
}

void VideoTableModelWorker::InfoFinished(TaskInfo* task)
{
    const VideoInfosResult result = task->param(kResult).value<VideoInfosResult>();
    task->removeParam(kResult);
    if (!task->param(kShowInTable).toBool()) {
        emit model_->SignalGetVideosInfoSucceed(result);
        return;
    }
    QList<VideoListRecord> records;
    records.reserve(result.infos.size());
    for (const VideoInfo& info : result.infos)
        records.append(VideoListRecord::FromVideoInfo(info));
    model_->Fill(records, VideoTableModel::kNoCategory);
    task->setParam(kListEnded, true);
    emit model_->SignalRefreshVideoListSucceed(1, 1, 0);
    emit model_->SignalVideoListAvailable(true);
    emit model_->SignalRefreshVideoListDone();
    emit model_->SignalGetVideoListDone(records.size());
}

// ---- Move and delete ------------------------------------------------------------

void VideoTableModelWorker::MoveWork(TaskInfo* task)
{
    const QStringList vids = task->param(kVids).toStringList();
    const qulonglong dst = task->param(kDstCateId).toULongLong();
    Result<QByteArray> response;
    {
        AbortScope abort(task);
        response = MoveVideoRequest(task->uuid(), vids, dst, abort.flag());
    }
    const Result<ApiResult> result = Parsed(response, ParseMoveVideoResponse);
    if (!result) {
        emit model_->SignalMoveVideoFailed(Failure(task, result.error()));
        return;
    }
    emit model_->SignalMoveVideoSucceed(vids, dst);
}

void VideoTableModelWorker::DeleteStart(TaskInfo* task)
{
    QStringList vids = task->param(kVids).toStringList();
    QStringList notInClient;
    SDKManager* uploads = SDKManager::instance();
    const QStringList given = vids;
    for (const QString& vid : given) {
        const VideoListRecord* record = model_->RecordOf(vid);
        if (!record || record->status != VideoTableModel::Uploading)
            continue;
        if (uploads->contains(vid)) {
            // Our own upload: ending it locally removes the video too.
            uploads->DeleteTask(vid);
            vids.removeAll(vid);
        } else {
            notInClient.append(vid);
        }
    }
    task->setParam(kVids, vids);
    task->setParam(kNotInClient, notInClient);
}

void VideoTableModelWorker::DeleteWork(TaskInfo* task)
{
    const QStringList vids = task->param(kVids).toStringList();
    const QStringList foreign = task->param(kNotInClient).toStringList();
    const QSet<QString> notInClient(foreign.begin(), foreign.end());
    VideoErrorList errors;
    AbortScope abort(task);
    for (const QString& vid : vids) {
        if (task->status() == TaskInfo::Abort)
            break;
        if (notInClient.contains(vid)) {
            const QString text = VideoTableModel::tr("DeleteUploadingVideoFromOtherClient");
            qCWarning(lcWorker).noquote() << "DeleteVideo" << vid << "failed:" << text;
            errors.append({vid, text});
            continue;
        }
        const Result<ApiResult> result =
            Parsed(DeleteVideoRequest(task->uuid(), vid, abort.flag()), ParseDeleteVideoResponse);
        if (!result) {
            const QString text = ErrorMessage(result.error());
            qCWarning(lcWorker).noquote()
                << "DeleteVideo" << vid << "failed:" << RequestErrorName(result.code()) << text;
            errors.append({vid, text});
        }
    }
    task->setParam(kDeleteErrors, QVariant::fromValue(errors));
}

void VideoTableModelWorker::DeleteFinished(TaskInfo* task)
{
    const VideoErrorList errors = task->param(kDeleteErrors).value<VideoErrorList>();
    if (!errors.isEmpty())
        emit model_->SignalDeleteVideosFailed(errors);
    else
        emit model_->SignalDeleteVideosSucceed(task->param(kVids).toStringList());
}

// ---- Edits ----------------------------------------------------------------------

void VideoTableModelWorker::UpdateWork(TaskInfo* task)
{
    const QString vid = task->param(kVid).toString();
    const QString title = task->param(kTitle).toString();
    const QString tags = task->param(kTags).toString();
    const QString desc = task->param(kDesc).toString();
    Result<QByteArray> response;
    {
        AbortScope abort(task);
        response = UpdateVideoInfoRequest(task->uuid(), vid, title, tags, desc, abort.flag());
    }
    const Result<ApiResult> result = Parsed(response, ParseUpdateVideoInfoResponse);
    if (!result) {
        emit model_->SignalUpdateVideoInfoFailed(Failure(task, result.error()));
        return;
    }
    // The row shows the new texts without a reload of the page.
    QMetaObject::invokeMethod(
        this,
        [this, vid, title, tags, desc] {
            model_->UpdateRecord(vid, [&](VideoListRecord& r) {
                r.title = title;
                if (!tags.isNull())
                    r.tags = tags;
                if (!desc.isNull())
                    r.description = desc;
            });
        },
        Qt::QueuedConnection);
    emit model_->SignalUpdateVideoInfoSucceed(vid, title, tags, desc);
}

void VideoTableModelWorker::CoverWork(TaskInfo* task, bool upload)
{
    const QString vid = task->param(kVid).toString();
    const QFileInfo fileinfo = task->param(kFileInfo).value<QFileInfo>();
    Result<QByteArray> response;
    {
        AbortScope abort(task);
        response =
            upload ? UploadVideoCoverRequest(task->uuid(), {vid}, fileinfo.absoluteFilePath(), abort.flag())
                   : ChangeVideoCoverRequest(task->uuid(), vid, task->param(kUrl).toUrl(), abort.flag());
    }
    const Result<CoverResult> result =
        Parsed(response, upload ? ParseUploadVideoCoverResponse : ParseChangeVideoCoverResponse);
    if (!result) {
        const QString text = Failure(task, result.error());
        if (upload)
            emit model_->SignalUploadVideoCoverFailed(text);
        else
            emit model_->SignalChangeVideoCoverFailed(text);
        return;
    }
    const QUrl cover = result->imageUrlBig;
    const QUrl thumbs = result->imageUrlSmall;
    // The row takes the new pictures; the thumbnail pass fetches the new one.
    QMetaObject::invokeMethod(
        this,
        [this, vid, cover, thumbs] {
            bool shown = false;
            model_->UpdateRecord(vid, [&](VideoListRecord& r) {
                shown = true;
                if (!cover.isEmpty())
                    r.coverURL = cover;
                if (!thumbs.isEmpty())
                    r.thumbnailURL = thumbs;
            });
            if (shown && !thumbs.isEmpty())
                LoadThumbs();
        },
        Qt::QueuedConnection);
    if (upload)
        emit model_->SignalUploadVideoCoverSucceed(vid, fileinfo, cover, thumbs);
    else
        emit model_->SignalChangeVideoCoverSucceed(vid, cover, thumbs);
}
