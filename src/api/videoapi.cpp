// The video calls: list, details, edit, move, delete and the two cover calls.

#include "api/transport.h"

#include <QFileInfo>
#include <QTextCodec>

namespace ApiCollection {

namespace {

const char kListTag[] = "list-video:";
const char kInfoTag[] = "get-video-info:";
const char kUpdateTag[] = "update-video-info:";
const char kMoveTag[] = "move-video:";
const char kDeleteTag[] = "delete-video:";
const char kChangeCoverTag[] = "change-video-cover:";
const char kUploadCoverTag[] = "upload-video-cover:";

QString SortName(int sort)
{
    switch (sort) {
    case CreationTimeDesc:
        return QStringLiteral("creationTimeDesc");
    case CreationTimeAsc:
        return QStringLiteral("creationTimeAsc");
    case TitleNameDesc:
        return QStringLiteral("titleDesc");
    case TitleNameAsc:
        return QStringLiteral("titleAsc");
    default:
        return QString();
    }
}

QString Str(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toString();
}
int Int(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toInt();
}
double Double(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toDouble();
}
quint64 U64(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toVariant().toULongLong();
}
QUrl Url(const QJsonObject& o, const char* key)
{
    return QUrl(Str(o, key));
}

// An array whose elements are all strings, as URLs; false on any other shape.
bool ReadUrlList(const QJsonValue& value, QList<QUrl>* urls)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (!element.isString())
            return false;
        urls->append(QUrl(element.toString()));
    }
    return true;
}

// Parses the cover answer shared by both cover calls.
Result<CoverResult> ParseCover(const char* tag, const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(tag, response);
    if (!envelope)
        return envelope.error();
    const QJsonValue data = envelope->root.value(QLatin1String("data"));
    if (!data.isObject())
        return DataShapeFailure(tag, envelope->fields, "data field is not object in request");
    const QJsonObject object = data.toObject();
    auto result = RecordOf<CoverResult>(envelope.value());
    result.imageUrlBig = Url(object, "imageUrlBig");
    result.imageUrlSmall = Url(object, "imageUrlSmall");
    return result;
}

} // namespace

Result<QByteArray> ListVideoRequest(const QUuid& uuid, quint64 cateId, const QString& title,
                                    bool containSubCate, int page, int pageSize, int sort,
                                    const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    if (!title.isEmpty())
        params.insert(QStringLiteral("title"), title);
    params.insert(QStringLiteral("containSubCate"),
                  containSubCate ? QStringLiteral("Y") : QStringLiteral("N"));
    params.insert(QStringLiteral("page"), QString::number(page));
    params.insert(QStringLiteral("pageSize"), QString::number(pageSize));
    const QString sortName = SortName(sort);
    if (!sortName.isEmpty())
        params.insert(QStringLiteral("sort"), sortName);
    return ExecuteSignedRequest(uuid, kListTag, HttpMethod::Get, "/v3/video/list-video?", params, 15,
                                abortFlag);
}

Result<ListVideoResult> ParseListVideoResponse(const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(kListTag, response);
    if (!envelope)
        return envelope.error();
    const QJsonValue dataValue = envelope->root.value(QLatin1String("data"));
    if (!dataValue.isObject())
        return DataShapeFailure(kListTag, envelope->fields, "data field is not object in request");
    const QJsonObject data = dataValue.toObject();
    const QJsonValue contents = data.value(QLatin1String("contents"));
    if (!contents.isArray())
        return DataShapeFailure(kListTag, envelope->fields, "data.contents is not array in request");
    auto result = RecordOf<ListVideoResult>(envelope.value());
    result.pageNumber = U64(data, "pageNumber");
    result.totalPages = U64(data, "totalPages");
    result.pageSize = U64(data, "pageSize");
    result.totalItems = U64(data, "totalItems");
    result.contents = contents.toArray();
    return result;
}

Result<QByteArray> GetVideoInfoRequest(const QUuid& uuid, const QStringList& vids, int infoType,
                                       const AbortFlag* abortFlag)
{
    QStringList sections;
    if (infoType & Snapshot)
        sections << QStringLiteral("snapshotInfo");
    if (infoType & Basic)
        sections << QStringLiteral("basicInfo");
    if (infoType & Transcode)
        sections << QStringLiteral("transcodeInfo");
    if (infoType & Metadata)
        sections << QStringLiteral("metaData");
    ParamMap params;
    params.insert(QStringLiteral("vids"), vids.join(QLatin1Char(',')));
    params.insert(QStringLiteral("filter"), sections.join(QLatin1Char(',')));
    return ExecuteSignedRequest(uuid, kInfoTag, HttpMethod::Get, "/v3/video/get-video-info?", params, 15,
                                abortFlag);
}

Result<VideoInfosResult> ParseGetVideoInfoResponse(const QByteArray& response)
{
    const Result<Envelope> envelope = ParseEnvelope(kInfoTag, response);
    if (!envelope)
        return envelope.error();
    const QJsonValue dataValue = envelope->root.value(QLatin1String("data"));
    if (!dataValue.isArray())
        return DataShapeFailure(kInfoTag, envelope->fields, "data field is not array in request");
    auto result = RecordOf<VideoInfosResult>(envelope.value());
    // A section of the wrong shape fails the call without a log line of its own.
    const Failure misshapen = MakeFailure(ApiError, QStringLiteral("misshapen video info"), result);

    const QJsonArray data = dataValue.toArray();
    for (const QJsonValue& elementValue : data) {
        const QJsonObject element = elementValue.toObject();
        VideoInfo info;
        info.vid = Str(element, "vid");

        if (element.contains(QLatin1String("basicInfo"))) {
            result.sections |= Basic;
            const QJsonValue value = element.value(QLatin1String("basicInfo"));
            if (!value.isObject())
                return misshapen;
            const QJsonObject basic = value.toObject();
            info.title = Str(basic, "title");
            info.description = Str(basic, "description");
            info.duration = Double(basic, "duration");
            info.thumbnailURL = Url(basic, "thumbnailURL");
            info.coverURL = Url(basic, "coverURL");
            info.creationTime = Str(basic, "creationTime");
            info.updateTime = Str(basic, "updateTime");
            info.size = U64(basic, "size");
            info.status = Int(basic, "status");
            info.cateId = U64(basic, "cateId");
            info.cateName = Str(basic, "cateName");
            info.tags = Str(basic, "tags");
            info.uploader = Str(basic, "uploader");
            info.playTimes = U64(basic, "playTimes");
            info.md5Checksum = Str(basic, "md5Checksum");
        }

        if (element.contains(QLatin1String("snapshotInfo"))) {
            result.sections |= Snapshot;
            const QJsonValue value = element.value(QLatin1String("snapshotInfo"));
            if (!value.isObject())
                return misshapen;
            const QJsonObject snapshot = value.toObject();
            if (!ReadUrlList(snapshot.value(QLatin1String("imageUrl")), &info.imageUrls) ||
                !ReadUrlList(snapshot.value(QLatin1String("bigImageUrl")), &info.bigImageUrls))
                return misshapen;
        }

        if (element.contains(QLatin1String("transcodeInfos"))) {
            result.sections |= Transcode;
            const QJsonValue value = element.value(QLatin1String("transcodeInfos"));
            if (!value.isArray())
                return misshapen;
            const QJsonArray transcodes = value.toArray();
            for (const QJsonValue& t : transcodes) {
                if (!t.isObject())
                    return misshapen;
                const QJsonObject o = t.toObject();
                TranscodeInfo ti;
                ti.playUrl = Url(o, "playUrl");
                ti.definition = Str(o, "definition");
                ti.bitrate = Int(o, "bitrate");
                ti.duration = Double(o, "duration");
                ti.encrypt = o.value(QLatin1String("encrypt")).toBool();
                ti.format = Str(o, "format");
                ti.fps = Int(o, "fps");
                ti.height = Int(o, "height");
                ti.width = Int(o, "width");
                ti.status = Str(o, "status");
                info.transcodeInfos.append(ti);
            }
        }

        if (element.contains(QLatin1String("metaData"))) {
            result.sections |= Metadata;
            const QJsonValue value = element.value(QLatin1String("metaData"));
            if (!value.isObject())
                return misshapen;
            const QJsonObject m = value.toObject();
            info.metaData.size = U64(m, "size");
            info.metaData.format = Str(m, "format");
            info.metaData.duration = Double(m, "duration");
            info.metaData.bitrate = Int(m, "bitrate");
            info.metaData.fps = Int(m, "fps");
            info.metaData.height = Int(m, "height");
            info.metaData.width = Int(m, "width");
            info.metaData.codec = Str(m, "codec");
        }

        result.infos.append(info);
    }
    return result;
}

Result<QByteArray> UpdateVideoInfoRequest(const QUuid& uuid, const QString& vid, const QString& title,
                                          const QString& tags, const QString& description,
                                          const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("vid"), vid);
    params.insert(QStringLiteral("title"), title);
    if (!tags.isNull())
        params.insert(QStringLiteral("tag"), tags);
    if (!description.isNull())
        params.insert(QStringLiteral("describ"), description);
    return ExecuteSignedRequest(uuid, kUpdateTag, HttpMethod::Post, "/v3/video/update-info", params, 15,
                                abortFlag);
}

Result<ApiResult> ParseUpdateVideoInfoResponse(const QByteArray& response)
{
    return EnvelopeOnly(kUpdateTag, response);
}

Result<QByteArray> MoveVideoRequest(const QUuid& uuid, const QStringList& vids, quint64 cateId,
                                    const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("vids"), vids.join(QLatin1Char(',')));
    params.insert(QStringLiteral("cateId"), QString::number(cateId));
    return ExecuteSignedRequest(uuid, kMoveTag, HttpMethod::Post, "/v3/video/update-category", params, 15,
                                abortFlag);
}

Result<ApiResult> ParseMoveVideoResponse(const QByteArray& response)
{
    return EnvelopeOnly(kMoveTag, response);
}

Result<QByteArray> DeleteVideoRequest(const QUuid& uuid, const QString& vid, const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("vid"), vid);
    return ExecuteSignedRequest(uuid, kDeleteTag, HttpMethod::Post, "/v3/video/delete-video", params, 15,
                                abortFlag);
}

Result<ApiResult> ParseDeleteVideoResponse(const QByteArray& response)
{
    return EnvelopeOnly(kDeleteTag, response);
}

Result<QByteArray> ChangeVideoCoverRequest(const QUuid& uuid, const QString& vid, const QUrl& imgUrl,
                                           const AbortFlag* abortFlag)
{
    ParamMap params;
    params.insert(QStringLiteral("vid"), vid);
    params.insert(QStringLiteral("imgUrl"), imgUrl.toString());
    return ExecuteSignedRequest(uuid, kChangeCoverTag, HttpMethod::Post, "/v3/video/change-cover-image",
                                params, 15, abortFlag);
}

Result<CoverResult> ParseChangeVideoCoverResponse(const QByteArray& response)
{
    return ParseCover(kChangeCoverTag, response);
}

Result<QByteArray> UploadVideoCoverRequest(const QUuid& uuid, const QStringList& vids,
                                           const QString& imagePath, const AbortFlag* abortFlag)
{
    const QFileInfo image(imagePath);
    if (!image.exists() || !image.isFile()) {
        qCWarning(apiLog) << "UploadVideoCoverRequest: Cover file does not exist:" << imagePath;
        return MakeFailure(FileIsNotExist, imagePath);
    }

    // libcurl opens the file itself; give it a path it can open. The temporary
    // copy (if one is made) lives until this function returns.
    const bool curlUnicode = (curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_UNICODE) != 0;
    const QTextCodec* local = QTextCodec::codecForLocale();
    const bool localIsUtf8 = local && local->mibEnum() == 106;
    std::unique_ptr<QTemporaryDir> tempDir;
    const QByteArray filePath =
        CoverFilePathForCurl(image.absoluteFilePath(), curlUnicode, localIsUtf8, &tempDir);

    QByteArray response;
    RequestContext context;
    context.uuid = uuid;
    context.abortFlag = abortFlag;
    context.response = &response;

    CurlEasyPtr handle(curl_easy_init());
    if (!handle) {
        qCCritical(apiLog).noquote() << kUploadCoverTag << uuid.toString() << "curl_easy_init() failed";
        return MakeFailure(CurlPerformFailed, QStringLiteral("curl_easy_init failed"));
    }
    curl_easy_setopt(handle.get(), CURLOPT_PRIVATE, static_cast<RequestIdentity*>(&context));

    ParamMap params;
    params.insert(QStringLiteral("vids"), vids.join(QLatin1Char(',')));
    AddCommonParamsAndSign(params);

    CurlMimePtr mime(curl_mime_init(handle.get()));
    if (!mime) {
        qCCritical(apiLog).noquote() << kUploadCoverTag << uuid.toString() << "curl_mime_init() failed";
        return MakeFailure(CurlPerformFailed, QStringLiteral("curl_mime_init failed"));
    }
    const char* const partOrder[] = {"vids", "appId", "timestamp", "sign"};
    for (const char* name : partOrder) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        const QByteArray value = params.value(QLatin1String(name)).toUtf8();
        curl_mime_name(part, name);
        curl_mime_data(part, value.constData(), static_cast<size_t>(value.size()));
    }
    curl_mimepart* filePart = curl_mime_addpart(mime.get());
    curl_mime_name(filePart, "imageFile");
    if (curl_mime_filedata(filePart, filePath.constData()) != CURLE_OK) {
        qCWarning(apiLog) << "UploadVideoCoverRequest: Cover file does not exist:" << imagePath;
        return MakeFailure(FileIsNotExist, imagePath);
    }

    ProgressRecord progress;
    progress.uuid = uuid;
    progress.abortFlag = abortFlag;
    progress.handle = handle.get();

    const QByteArray url = (ApiBaseUrl() + QStringLiteral("/v3/video/upload-cover-image")).toUtf8();
    const CurlSlistPtr headers = BuildHeaderList(uuid, BodyType::None, true);
    curl_easy_setopt(handle.get(), CURLOPT_CUSTOMREQUEST, "POST");
    curl_easy_setopt(handle.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(handle.get(), CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &WriteCallback);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION, &XferInfoCallback);
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFODATA, &progress);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 0L);

    const Result<void> performed = PerformLogged(handle.get(), kUploadCoverTag, uuid);
    // The form may only go once the handle that used it is gone.
    handle.reset();
    if (!performed)
        return performed.error();
    return response;
}

Result<CoverResult> ParseUploadVideoCoverResponse(const QByteArray& response)
{
    return ParseCover(kUploadCoverTag, response);
}

} // namespace ApiCollection
