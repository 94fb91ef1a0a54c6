#pragma once
// The platform server's resumable upload endpoint (tus 1.0.0 with the
// creation, termination, expiration and checksum extensions, plus the
// platform's additions). The rest of the server plugs in through TusHooks, so
// this module knows nothing about the server's storage.

#include <QMap>
#include <QString>

#include <functional>
#include <memory>

namespace httplib {
class Server;
struct Request;
} // namespace httplib

namespace orvsrv {

// Where uploads live under the server's base URL: <base>/tus/files/.
inline constexpr const char* kTusBasePath = "/tus/files/";

struct TusAccount
{
    QString userId;
    QString appId;
};

struct TusError
{
    int httpStatus = 400;
    int platformCode = 0; // an ErrorCode value, 0 for none
    QString desc;         // e.g. "CapacityOverLimit"
};

struct TusUploadInfo
{
    TusAccount account;
    QString vid;
    QString fileName;
    QString title;
    QString description;
    QString tags;
    qint64 cateId = 0;
    int luping = 0;
    int keepSource = 0;
    qint64 size = 0;
    quint64 crc64 = 0;
    QString storedFilePath; // the complete file on disk
};

// Implemented by the platform server. Called from HTTP worker threads, so
// every implementation must be thread-safe.
class TusHooks
{
public:
    virtual ~TusHooks() = default;
    // Checks the signed parameters (appId, timestamp, sign) by the API signing
    // rule. On refusal fills err and returns false.
    virtual bool Authenticate(const QMap<QString, QString>& signedParams, TusAccount* account,
                              TusError* err) = 0;
    // Before an upload is created: permission switch and remaining space.
    virtual bool CheckCreate(const TusAccount& account, qint64 size, qint64 cateId, TusError* err) = 0;
    // Second pass: the account already stores this file.
    virtual bool IsAlreadyStored(const TusAccount& account, const QString& vid, quint64 crc64,
                                 qint64 size) = 0;
    // A complete, verified upload: create the video and deduct the space.
    virtual bool CompleteUpload(const TusUploadInfo& info, TusError* err) = 0;
};

struct TusConfig
{
    QString storageDir;           // partial and complete uploads
    qint64 expirySeconds = 86400; // idle time after which a partial upload is dropped
    qint64 maxUploadSize = 0;     // 0 = no limit beyond the account's space
    // false: behave as a plain tus server (no authentication, pre-check or
    // completion check; the platform requests answer 404). For compatibility
    // tests of the upload library.
    bool platformAdditions = true;
    // Fault injection: a PATCH for which cutBodyAfter answers K >= 0 stores
    // the first K body bytes, then cutConnection drops its connection.
    std::function<qint64(const httplib::Request&)> cutBodyAfter;
    std::function<void(const httplib::Request&)> cutConnection;
};

class TusService
{
public:
    TusService(TusHooks& hooks, TusConfig config);
    ~TusService();
    TusService(const TusService&) = delete;
    TusService& operator=(const TusService&) = delete;

    // Registers the routes below kTusBasePath.
    void Install(httplib::Server& http);

    // Fault switch: flip one byte of the next upload that completes, so that
    // its whole-file CRC-64 check fails.
    void FlipByteOfNextCompletedUpload();

    // Body bytes stored by PATCH requests since the service started.
    qint64 BytesReceived() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Request header parsing, kept apart so that it can be exercised with any input.
// A non-negative decimal of at most 18 digits (Upload-Offset, Upload-Length).
bool ParseTusNumber(const std::string& text, qint64* value);
// The Upload-Metadata pairs ("key base64,key base64,...") into info.
void ReadUploadMetadata(const QString& header, qint64 length, TusUploadInfo* info);

} // namespace orvsrv
