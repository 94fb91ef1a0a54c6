// Parallel download of many URLs into files with libcurl's multi interface.

#include "api/transport.h"

#include <QDir>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace ApiCollection {

namespace {

constexpr int kMaxParallel = 10;

// One accepted item. It stays at one address for the whole call: libcurl keeps
// pointers to it and to its progress part.
struct TransferRecord : RequestIdentity
{
    QUrl url;
    std::unique_ptr<QSaveFile> file;
    CurlEasyPtr handle;
    CurlSlistPtr headers;
    ProgressRecord progress;
    DownloadInfo* item = nullptr;
    bool started = false;
};

size_t FileWriteCallback(char* data, size_t size, size_t count, void* userData)
{
    auto* record = static_cast<TransferRecord*>(userData);
    if (record->Aborted())
        return 0;
    if (!record->file->isOpen() && !record->file->open(QIODevice::WriteOnly))
        return 0;
    const qint64 written = record->file->write(data, static_cast<qint64>(size * count));
    return written < 0 ? 0 : static_cast<size_t>(written);
}

bool StartTransfer(CURLM* multi, TransferRecord* record)
{
    record->handle.reset(curl_easy_init());
    if (!record->handle)
        return false;
    CURL* h = record->handle.get();
    // The encoded form: the pretty-decoded one turns "%20" back into a space,
    // which libcurl rejects as a malformed URL.
    const QByteArray url = record->url.toEncoded();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PRIVATE, static_cast<RequestIdentity*>(record));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &FileWriteCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, record);
    record->headers = BuildHeaderList(record->uuid, BodyType::None, false);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, record->headers.get());
    // The progress callback also runs while no data arrives, so an abort
    // reaches a stalled transfer even when the caller wants no progress.
    record->progress.handle = h;
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &XferInfoCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &record->progress);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    // No total time-out (an installer may take long), but a transfer that
    // stalls completely for a minute ends instead of blocking the batch forever.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
    SetCommonOptions(h);
    if (curl_multi_add_handle(multi, h) != CURLM_OK) {
        record->handle.reset();
        return false;
    }
    record->started = true;
    return true;
}

} // namespace

RequestError MultiDownload(const QUuid& uuid, const QList<DownloadInfo*>& items,
                           const DownloadResultFunction& resultFunc, const AbortFlag* abortFlag)
{
    bool anyError = false;
    std::vector<std::unique_ptr<TransferRecord>> records;

    for (DownloadInfo* item : items) {
        if (!item)
            continue;
        const QFileInfo target(item->file.absoluteFilePath());
        if (target.isDir()) {
            qCWarning(apiLog) << "download path is dir:" << item->file;
            anyError = true;
            continue;
        }
        const QString parent = target.absolutePath();
        if (!QFileInfo::exists(parent) && !QDir().mkpath(parent)) {
            qCWarning(apiLog) << "create parent dir failed:" << item->file;
            anyError = true;
            continue;
        }
        if (!QFileInfo(parent).isWritable()) {
            qCWarning(apiLog) << "the download path is not writable" << item->file;
            anyError = true;
            continue;
        }
        auto record = std::make_unique<TransferRecord>();
        record->uuid = uuid;
        record->abortFlag = abortFlag;
        record->url = item->url;
        record->file = std::make_unique<QSaveFile>(target.absoluteFilePath());
        record->progress.uuid = uuid;
        record->progress.abortFlag = abortFlag;
        record->progress.progress = item->progress;
        record->item = item;
        records.push_back(std::move(record));
    }

    if (records.empty())
        return anyError ? DownloadOccurSomeError : NoError;

    CurlMultiPtr multi(curl_multi_init());
    if (!multi) {
        qCCritical(apiLog).noquote() << uuid.toString() << "curl_multi_init() failed";
        return DownloadOccurSomeError;
    }
    const int total = static_cast<int>(records.size());
    const int limit = std::min(total, kMaxParallel);
    curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, static_cast<long>(limit));

    auto aborted = [abortFlag] { return abortFlag && abortFlag->load(); };
    auto fail = [&](TransferRecord* record, const QString& reason, CURLcode rc, long httpCode) {
        qCCritical(apiLog).noquote() << "curl download failed:" << reason << uuid.toString();
        qCCritical(apiLog).noquote() << QStringLiteral("curl result: %1(%2), http code: %3, url:")
                                            .arg(QString::fromUtf8(curl_easy_strerror(rc)))
                                            .arg(static_cast<int>(rc))
                                            .arg(httpCode)
                                     << record->url.toString();
        record->file->cancelWriting();
        anyError = true;
        if (resultFunc)
            resultFunc(record->item, false);
    };

    int next = 0;   // first pending position not yet handled
    int active = 0; // handles added to the multi handle and not yet removed
    bool cancelled = false;
    auto fillSlots = [&] {
        while (active < limit && next < total) {
            if (aborted()) {
                qCDebug(apiLog).noquote()
                    << "download cancel, already running num:" << next << ", total num:" << total;
                cancelled = true;
                next = total; // nothing else starts; the running ones end at their next callback
                break;
            }
            TransferRecord* record = records[static_cast<size_t>(next++)].get();
            if (StartTransfer(multi.get(), record))
                ++active;
            else
                fail(record, QStringLiteral("CURLE is not OK."), CURLE_FAILED_INIT, 0);
        }
    };

    fillSlots();
    while (active > 0 || next < total) {
        int running = 0;
        curl_multi_perform(multi.get(), &running);

        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg != CURLMSG_DONE) {
                qCWarning(apiLog, "E: CURLMsg (%d)\n", static_cast<int>(message->msg));
                anyError = true;
                continue;
            }
            CURL* h = message->easy_handle;
            const CURLcode rc = message->data.result;
            char* priv = nullptr;
            curl_easy_getinfo(h, CURLINFO_PRIVATE, &priv);
            auto* record = static_cast<TransferRecord*>(reinterpret_cast<RequestIdentity*>(priv));
            long httpCode = 0;
            curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &httpCode);

            if (rc != CURLE_OK)
                fail(record, QStringLiteral("CURLE is not OK."), rc, httpCode);
            else if (httpCode != 200)
                fail(record, QStringLiteral("http code is not 200."), rc, httpCode);
            else if (!record->file->isOpen())
                fail(record, QStringLiteral("file handle is not open:") + record->file->fileName(), rc,
                     httpCode);
            else if (!record->file->commit())
                fail(record, QStringLiteral("write file failed:") + record->file->fileName(), rc, httpCode);
            else if (resultFunc)
                resultFunc(record->item, true);

            curl_multi_remove_handle(multi.get(), h);
            record->handle.reset();
            record->headers.reset();
            --active;
        }
        fillSlots();
        if (active > 0)
            curl_multi_wait(multi.get(), nullptr, 0, 1000, nullptr);
    }

    // A cancelled batch is reported as such even when the abort hit only the
    // running transfers, so a caller can tell "cancelled" from "failed".
    if (cancelled || (aborted() && anyError))
        return DownloadCancel;
    return anyError ? DownloadOccurSomeError : NoError;
}

} // namespace ApiCollection
