#pragma once
// The upload endpoint's view of the platform: authentication by the API
// signing rule, the upload permission and space checks, and the creation of
// the video when an upload completes.

#include "api.h"
#include "storage.h"
#include "tus/tus_service.h"

#include <QList>

#include <mutex>

namespace orvsrv {

class UploadHooks : public TusHooks
{
public:
    UploadHooks(Storage& storage, Api& api) : m_storage(storage), m_api(api) {}

    bool Authenticate(const QMap<QString, QString>& signedParams, TusAccount* account,
                      TusError* err) override;
    bool CheckCreate(const TusAccount& account, qint64 size, qint64 cateId, TusError* err) override;
    bool IsAlreadyStored(const TusAccount& account, const QString& vid, quint64 crc64, qint64 size) override;
    bool CompleteUpload(const TusUploadInfo& info, TusError* err) override;
    // Every upload completed so far, for tests to look at.
    QList<TusUploadInfo> Completed() const;

private:
    QString UserIdOf(const Account& acc);
    bool InScope(const Account& acc, qint64 cateId);
    static QString FileMd5(const QString& path);

    Storage& m_storage;
    Api& m_api;
    mutable std::mutex m_completedMutex;
    QList<TusUploadInfo> m_completed;
};

} // namespace orvsrv
