#include "upload/sdkuploadtask.h"

#include "api/apicollection.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>

#include <utility>

namespace {

QString SdkDescription(int code)
{
    const char* desc = ORVGetSdkErrorDescription(code);
    return desc ? QString::fromUtf8(desc) : QString();
}

QString FromC(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The library calls these on its own threads; they only hand the values over
// to the task's thread.
void ORV_CALL ProgressHandler(int increment, int64_t uploadBytes, int64_t totalBytes, void* userData)
{
    QMetaObject::invokeMethod(static_cast<QObject*>(userData), "OnProgress", Qt::QueuedConnection,
                              Q_ARG(int, increment), Q_ARG(long long, static_cast<long long>(uploadBytes)),
                              Q_ARG(long long, static_cast<long long>(totalBytes)));
}

void ORV_CALL ResultHandler(int code, const char* desc, void* userData)
{
    QMetaObject::invokeMethod(static_cast<QObject*>(userData), "OnResult", Qt::QueuedConnection,
                              Q_ARG(int, code), Q_ARG(QString, FromC(desc)));
}

void ORV_CALL DeleteHandler(int code, const char* desc, void* userData)
{
    QMetaObject::invokeMethod(static_cast<QObject*>(userData), "OnDelete", Qt::QueuedConnection,
                              Q_ARG(int, code), Q_ARG(QString, FromC(desc)));
}

struct DescriptionKey
{
    const char* needle;
    const char* key;
};

const DescriptionKey kDescriptionKeys[] = {
    {"http response parse error", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.HttpResponse")},
    {"RequestTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.RequestTimeout")},
    {"ConnectionTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.ConnectionTimeout")},
    {"InvalidDigest", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.InvalidDigest")},
    {"InternalError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.InternalError")},
    {"AccessDenied", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.AccessDenied")},
    {"fileContentError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.fileContentError")},
    {"CallbackFailed", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.CallbackFailed")},
    {"UploadFileNotExist", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.UploadFileNotExist")},
    {"SocketTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.SocketTimeout")},
    {"CapacityOverLimit", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.CapacityOverLimit")},
    {"ConsoleCommonErrorUserServiceException",
     QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.ConsoleCommonErrorUserServiceException")},
    {"TokenError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.TokenError")},
};

// Texts shared with the rest of the client are looked up in the general context.
QString GlobalTr(const char* key)
{
    return QCoreApplication::translate("QObject", key);
}

} // namespace

SDKUploadTask::SDKUploadTask(QObject* parent) : QObject(parent) {}

SDKUploadTask::~SDKUploadTask()
{
    // Destroy returns only after the handle's threads have stopped, so no
    // handler can reach this object once it is gone.
    DestroyHandle();
}

void SDKUploadTask::DestroyHandle()
{
    if (handle_) {
        ORVUploaderDestroy(handle_);
        handle_ = nullptr;
    }
}

void SDKUploadTask::SetStatus(UploadStatus status)
{
    if (status_ == status)
        return;
    status_ = status;
    if (observer_)
        observer_->TaskStatus(this);
    emit SignalStatus(int(status));
}

SDKUploadTask::Prepared& SDKUploadTask::Prepared::operator=(Prepared&& other) noexcept
{
    if (this != &other) {
        if (handle)
            ORVUploaderDestroy(handle);
        handle = std::exchange(other.handle, nullptr);
        rc = other.rc;
        sdkVid = std::move(other.sdkVid);
    }
    return *this;
}

SDKUploadTask::Prepared::~Prepared()
{
    if (handle)
        ORVUploaderDestroy(handle);
}

void SDKUploadTask::FillDefaults(DBManager::Upload& record, bool* exists)
{
    const QFileInfo info(record.fileName);
    *exists = info.exists() && info.isFile();
    if (record.titleName.isEmpty())
        record.titleName = info.completeBaseName().left(200);
    record.totalBytes = *exists ? static_cast<quint64>(info.size()) : 0;
}

SDKUploadTask::Prepared SDKUploadTask::Prepare(const DBManager::Upload& record)
{
    const QByteArray path = record.fileName.toUtf8();
    const QByteArray title = record.titleName.toUtf8();
    const QByteArray describ = record.describ.toUtf8();
    const QByteArray tag = record.tag.toUtf8();
    ORVUploaderParam param{};
    param.filePath = path.constData();
    param.title = title.constData();
    param.description = describ.constData();
    param.tags = tag.constData();
    param.cateId = record.cateId;
    param.luping = record.luping;
    param.keepSource = record.keepSource;

    Prepared prepared;
    prepared.handle = ORVUploaderCreate();
    prepared.rc = ORVUploaderSetParam(prepared.handle, &param);
    if (prepared.rc == 0)
        prepared.sdkVid = FromC(ORVUploaderGetVID(prepared.handle));
    return prepared;
}

bool SDKUploadTask::TakeHandle(DBManager::Upload& record, bool exists, const VidExists& vidExists,
                               Prepared* prepared, bool* fileProblem)
{
    *fileProblem = false;
    if (exists) {
        Prepared local;
        if (!prepared) {
            local = Prepare(record);
            prepared = &local;
        }
        handle_ = std::exchange(prepared->handle, nullptr);
        const int rc = prepared->rc;
        if (rc != 0) {
            qCritical().noquote() << "create upload task"
                                  << "error code:" << rc << ",error msg:" << SdkDescription(rc);
            DestroyHandle();
            return false;
        }
        const QString sdkVid = prepared->sdkVid;
        if (record.vid.isEmpty()) {
            if (sdkVid.isEmpty() || (vidExists && vidExists(sdkVid))) {
                DestroyHandle();
                return false;
            }
            record.vid = sdkVid;
        } else if (record.vid != sdkVid) {
            // The file was edited since the upload began: keep the stored id
            // so the upload can still be deleted, but never start it again.
            ORVUploaderRelease(handle_);
            ORVUploaderSetVID(handle_, record.vid.toUtf8().constData());
            message_ = tr("FileChanage");
            *fileProblem = true;
        }
    } else {
        if (record.vid.isEmpty())
            return false;
        handle_ = ORVUploaderCreate();
        ORVUploaderSetVID(handle_, record.vid.toUtf8().constData());
        message_ = tr("FileNoExist");
        *fileProblem = true;
    }

    ORVUploaderSetDeleteHandler(handle_, &DeleteHandler, this);
    ORVUploaderSetResultHandler(handle_, &ResultHandler, this);
    ORVUploaderSetProgressHandler(handle_, &ProgressHandler, this);
    created_ = true;
    return true;
}

bool SDKUploadTask::Create(DBManager::Upload& record, bool autoStart, const VidExists& vidExists,
                           Prepared* prepared)
{
    bool exists = false;
    FillDefaults(record, &exists);
    bool fileProblem = false;
    if (!TakeHandle(record, exists, vidExists, prepared, &fileProblem))
        return false;
    record_ = record;
    if (fileProblem) {
        SetStatus(UploadStatus::FileError);
        return true;
    }
    // The file is checked; the handle is made again when the upload first runs.
    DestroyHandle();
    SetStatus(autoStart ? UploadStatus::Waiting : UploadStatus::Stopped);
    return true;
}

void SDKUploadTask::Adopt(const DBManager::Upload& record, bool autoStart)
{
    record_ = record;
    status_ = autoStart ? UploadStatus::Waiting : UploadStatus::Stopped;
}

bool SDKUploadTask::Complete(const DBManager::Upload& record, bool exists, Prepared* prepared)
{
    DBManager::Upload checked = record;
    bool fileProblem = false;
    if (!TakeHandle(checked, exists, nullptr, prepared, &fileProblem))
        return false;
    // The stored progress stays; title and size follow the file.
    checked.uploadBytes = record_.uploadBytes;
    record_ = checked;
    if (fileProblem)
        SetStatus(UploadStatus::FileError);
    else
        DestroyHandle();
    return true;
}

bool SDKUploadTask::EnsureHandle()
{
    if (handle_)
        return true;
    DBManager::Upload record = record_;
    bool exists = false;
    FillDefaults(record, &exists);
    bool fileProblem = false;
    // A file the library refuses now is treated as gone: the stored id stays
    // so that the upload can still be deleted.
    if (!TakeHandle(record, exists, nullptr, nullptr, &fileProblem))
        TakeHandle(record, false, nullptr, nullptr, &fileProblem);
    if (!fileProblem)
        return true;
    record_.totalBytes = record.totalBytes;
    SetStatus(UploadStatus::FileError);
    return false;
}

bool SDKUploadTask::Start(bool start)
{
    if (!created_ || status_ == UploadStatus::FileError)
        return false;
    if (start && !EnsureHandle())
        return false;
    deleting_ = false;
    // Without a handle nothing runs that a pause would have to stop.
    const int rc = start ? ORVUploaderStart(handle_) : handle_ ? ORVUploaderPause(handle_) : 0;
    if (rc != 0) {
        qCritical().noquote() << "upload task"
                              << "error code:" << rc << ",error msg:" << SdkDescription(rc);
    }
    SetStatus(start ? UploadStatus::Uploading : UploadStatus::Paused);
    return rc == 0;
}

void SDKUploadTask::Pause(bool requeue)
{
    if (!created_ || status_ == UploadStatus::FileError)
        return;
    if (handle_)
        ORVUploaderPause(handle_);
    SetStatus(requeue ? UploadStatus::Waiting : UploadStatus::Paused);
}

void SDKUploadTask::PauseToWaiting()
{
    if (created_ && handle_)
        ORVUploaderPause(handle_);
    SetStatus(UploadStatus::Waiting);
}

void SDKUploadTask::Delete(bool notify)
{
    if (!created_ || deleting_)
        return;
    // The upload may have begun in an earlier session: the library's delete
    // also ends it on the server and forgets its resume state.
    EnsureHandle();
    deleting_ = true;
    notify_ = notify;
    ORVUploaderDelete(handle_);
}

void SDKUploadTask::Detach()
{
    created_ = false;
    notify_ = false;
    observer_ = nullptr;
    DestroyHandle();
}

void SDKUploadTask::OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes)
{
    record_.uploadBytes = static_cast<quint64>(qMax<qlonglong>(0, uploadBytes));
    if (observer_)
        observer_->TaskProgress(this, increment);
    emit SignalProgress(increment, uploadBytes, totalBytes);
}

QString SDKUploadTask::DescriptionMessage(const QString& desc) const
{
    for (const DescriptionKey& k : kDescriptionKeys) {
        if (desc.contains(QLatin1String(k.needle), Qt::CaseInsensitive))
            return GlobalTr(k.key);
    }
    return desc;
}

void SDKUploadTask::OnResult(int code, const QString& desc)
{
    const bool success = code == ORV_OK || code == ORV_OK_ALREADY_STORED;
    if (!success) {
        qCritical().noquote() << "upload result error code:" << code << ",error msg:" << desc;
        if (code != ORV_ERR_PAUSED)
            status_ = UploadStatus::Failed; // no signal: the row shows the result text instead
    } else {
        record_.resultText = code == ORV_OK ? tr("UploadSuccess") : tr("SecondPass");
    }
    if (deleting_ || !notify_)
        return;

    QString msg;
    bool paused = false;
    if (code == ORV_ERR_PAUSED) {
        paused = true;
    } else if (code > ORV_PLATFORM_CODE_BASE) {
        const int apiCode = code - ORV_PLATFORM_CODE_BASE;
        msg = ApiCollection::ErrorCodeToString(apiCode);
        if (msg.isEmpty())
            msg = desc;
        if (msg.isEmpty())
            msg = GlobalTr(QT_TRANSLATE_NOOP("QObject", "ErrorCodeString.OtherError, code:")) +
                  QString::number(apiCode);
    } else if (code == ORV_ERR_CRC64_MISMATCH) {
        SetStatus(UploadStatus::FileError);
        msg = tr("CRC64 Check Error");
    } else if (code == ORV_ERR_FILE_NOT_EXIST) {
        msg = GlobalTr(QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.NoFile"));
    } else if (code == ORV_ERR_FILE_EMPTY) {
        msg = GlobalTr(QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.FileEmpty"));
    } else if (code == ORV_ERR_FILE_READ) {
        msg = GlobalTr(QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.OpenFileError"));
    } else if (code == ORV_ERR_NO_SPACE) {
        msg = GlobalTr(QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.NoSpace"));
    } else if (!success) {
        const QString text = desc.isEmpty() ? SdkDescription(code) : desc;
        msg = DescriptionMessage(text);
    }
    if (msg.isEmpty() && !success && !paused)
        msg = tr("unknown error:") + QString::number(code);

    // The queue lets go of a released task at once; it is still told the rest.
    Observer* const observer = observer_;
    if (observer)
        observer->TaskResult(this, success || paused, msg);
    emit SignalResult(success || paused, msg);
    if (success) {
        if (observer)
            observer->TaskRelease(this, true);
        emit SignalRelease(true, record_.vid);
    }
}

void SDKUploadTask::OnDelete(int code, const QString& desc)
{
    if (code != 0)
        qCritical().noquote() << "delete result error code:" << code << ",error msg:" << desc;
    const QString vid = record_.vid;
    Observer* const observer = observer_;
    if (code == 0 && notify_) {
        if (observer)
            observer->TaskRelease(this, false);
        emit SignalRelease(false, vid);
    }
    if (observer)
        observer->TaskDeleteResult(this, code == 0);
    emit SignalDeleteResult(code == 0, vid);
    deleting_ = false;
}
