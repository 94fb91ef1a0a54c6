#include "uploadhooks.h"

#include "errorcodes.h"
#include "seed.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace orvsrv {

bool UploadHooks::Authenticate(const QMap<QString, QString>& signedParams, TusAccount* account, TusError* err)
{
    Account acc;
    ApiError e;
    if (!m_api.Authenticate(signedParams, &acc, &e)) {
        *err = TusError{e.http, e.code, e.desc};
        return false;
    }
    account->appId = acc.appId;
    account->userId = UserIdOf(acc);
    return true;
}

bool UploadHooks::CheckCreate(const TusAccount& account, qint64 size, qint64 cateId, TusError* err)
{
    Account acc;
    if (!m_storage.AccountByAppId(account.appId, &acc)) {
        *err = TusError{401, err::APPLICATION_NOT_EXIST, QStringLiteral("application not exist")};
        return false;
    }
    if (!acc.Has(PermVideoUpload)) {
        *err = TusError{403, err::UPLOAD_PERMISSION_LIMITED, QStringLiteral("no permission to upload")};
        return false;
    }
    if (cateId > 0 && !InScope(acc, cateId)) {
        *err = TusError{404, err::CATEGORY_NOT_EXIST, QStringLiteral("category not exist")};
        return false;
    }
    Account owner;
    if (!m_storage.AccountById(acc.ownerId, &owner) || size > owner.remainBytes) {
        *err = TusError{413, 0, QStringLiteral("CapacityOverLimit")};
        return false;
    }
    return true;
}

bool UploadHooks::IsAlreadyStored(const TusAccount& account, const QString& vid, quint64 crc64, qint64 size)
{
    Account acc;
    if (!m_storage.AccountByAppId(account.appId, &acc))
        return false;
    // A checksum of 0 means "not known yet" (the pre-check before any byte
    // is sent): then only the vid and the size can identify the file.
    Video v;
    if (!vid.isEmpty() && m_storage.VideoByVid(vid, &v))
        return v.ownerId == acc.ownerId && v.size == size && (crc64 == 0 || v.crc64 == crc64);
    return crc64 != 0 && m_storage.FindStoredVideo(acc.ownerId, crc64, size, nullptr);
}

bool UploadHooks::CompleteUpload(const TusUploadInfo& info, TusError* err)
{
    Account acc;
    if (!m_storage.AccountByAppId(info.account.appId, &acc)) {
        *err = TusError{401, err::APPLICATION_NOT_EXIST, QStringLiteral("application not exist")};
        return false;
    }
    Account owner;
    m_storage.AccountById(acc.ownerId, &owner);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Video v;
    v.vid = info.vid.isEmpty() ? NewVid() : info.vid;
    Video existing;
    if (m_storage.VideoByVid(v.vid, &existing))
        return existing.ownerId == acc.ownerId; // a repeated completion changes nothing
    v.ownerId = acc.ownerId;
    v.cateId = info.cateId > 1 && InScope(acc, info.cateId) ? info.cateId : acc.topCateId;
    v.title = info.title.isEmpty() ? QFileInfo(info.fileName).completeBaseName() : info.title;
    if (v.title.isEmpty())
        v.title = QStringLiteral("Untitled");
    v.description = info.description;
    v.tags = info.tags;
    v.size = info.size;
    v.crc64 = info.crc64;
    v.duration = qMax(1.0, double(info.size) / 250000.0);
    v.status = 60;
    v.processStartMs = now; // 10 -> 20 -> 60 over a few seconds
    v.createdMs = now;
    v.updatedMs = now;
    v.uploader = acc.isSub ? acc.childName : QString();
    v.md5 = FileMd5(info.storedFilePath);
    v.thumbRel = QStringLiteral("%1/%2/thumb.png").arg(owner.userId, v.vid);
    v.coverRel = QStringLiteral("%1/%2/cover.png").arg(owner.userId, v.vid);
    v.colourSeed = int(info.crc64 % 100000);
    const QString suffix = QFileInfo(info.fileName).suffix().toLower();
    if (!suffix.isEmpty() && suffix.size() <= 5)
        v.format = suffix;
    const bool ok = m_storage.Transaction([&] {
        Account fresh;
        if (!m_storage.AccountById(acc.ownerId, &fresh) || fresh.remainBytes < v.size)
            return false;
        return m_storage.InsertVideo(v) && m_storage.AddRemainBytes(acc.ownerId, -v.size);
    });
    if (!ok) {
        *err = TusError{413, 0, QStringLiteral("CapacityOverLimit")};
        return false;
    }
    m_api.KeepSourceFile(acc.ownerId, v.vid, info.storedFilePath);
    std::lock_guard<std::mutex> lock(m_completedMutex);
    m_completed.append(info);
    m_completed.last().vid = v.vid;
    return true;
}

QList<TusUploadInfo> UploadHooks::Completed() const
{
    std::lock_guard<std::mutex> lock(m_completedMutex);
    return m_completed;
}

QString UploadHooks::UserIdOf(const Account& acc)
{
    if (!acc.isSub)
        return acc.userId;
    Account owner;
    return m_storage.AccountById(acc.ownerId, &owner) ? owner.userId : acc.userId;
}
bool UploadHooks::InScope(const Account& acc, qint64 cateId)
{
    if (cateId == 1) // the top category's alias
        return true;
    Category c;
    if (!m_storage.CategoryById(cateId, &c) || c.ownerId != acc.ownerId)
        return false;
    for (qint64 id = cateId; id != 0;) {
        if (id == acc.topCateId)
            return true;
        if (!m_storage.CategoryById(id, &c))
            return false;
        id = c.parentId;
    }
    return false;
}
QString UploadHooks::FileMd5(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(&f);
    return QString::fromLatin1(h.result().toHex());
}

} // namespace orvsrv
