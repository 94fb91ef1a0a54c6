#pragma once
// In-process API of the local platform server: tests and benchmarks start it
// on an ephemeral loopback port and talk to it over real HTTPS.

#include <QString>
#include <QStringList>

#include <memory>

namespace orvsrv {

// Demo accounts created by the "demo" seed.
inline constexpr const char* kDemoMainEmail = "demo@orvane.test";
inline constexpr const char* kDemoSubEmail = "editor@orvane.test";
inline constexpr const char* kDemoPassword = "Demo#2026";
// A sub-account of the demo whose term has ended (login answers SUB_USER_EXPIRED).
inline constexpr const char* kDemoExpiredSubEmail = "expired@orvane.test";
// A sub-account of the demo that may not add, move or rename categories.
inline constexpr const char* kDemoReaderSubEmail = "reader@orvane.test";

struct ServerOptions
{
    QString dataDir; // required; created when missing
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0; // 0 = ephemeral
    bool https = true;
    QString seed;             // "" (none) or "demo"
    int lockoutSeconds = 300; // after five wrong passwords
    QString updateVersion = QStringLiteral("2.4.3");
    qint64 tusExpirySeconds = 86400;
    // The upload endpoint without the platform's additions, as a plain tus
    // server: no authentication, pre-check (404) or completion check.
    bool plainTus = false;
    bool accessLog = false; // print one line per request (method, path, status) to stderr
    // A broken certificate for TLS tests: "" (sound), "wrong-host" (issued for
    // another name), "expired", or "unknown-ca" (signed by a CA other than CaFile()).
    QString tlsFault;
};

// One fault rule; every field that is left at its default does nothing.
struct FaultRule
{
    QString pathPattern;     // regular expression on the request path; empty = every path
    QString method;          // "PATCH", "HEAD", ...; empty = every method
    int latencyMs = 0;       // fixed delay before answering
    int latencyJitterMs = 0; // plus a random delay in [0, jitter]
    int failNextN = 0;       // answer the next N matching requests with httpStatus
    int httpStatus = 500;
    bool jsonEnvelope = true;          // failure with a JSON error envelope, else a bare body
    bool htmlPage = false;             // answer an HTML error page instead of JSON
    qint64 dropRequestAfterBytes = -1; // close the connection after K bytes of the request body
    // On an upload PATCH: the endpoint stores the first dropRequestAfterBytes
    // body bytes before the cut, as a server does when the link breaks.
    bool keepDroppedBody = false;
    qint64 dropResponseAfterBytes = -1; // close the connection after K bytes of the response body
    qint64 dropHeadersAfterBytes = -1;  // send K bytes of the status line and headers, then close
    int dropCount = 1;                  // how many requests the drop rules hit
    qint64 slowBodyBytesPerSec = 0;     // pace the response body
    // Garbage answers (until removed): "truncated-json", "wrong-types",
    // "huge-numbers", "deep-nesting", "huge-body" (100 MB), "invalid-utf8",
    // "huge-text" (a 3 MB error text), "foreign-location" (to `location`),
    // "negative-offset", "huge-offset", "beyond-offset" (1 GiB past the real
    // one); "stuck-offset" answers a PATCH with 204 and its own offset
    // without storing anything.
    QString garbage;
    QString location = QStringLiteral("https://elsewhere.invalid:1/tus/files/foreign");
};

// What the upload endpoint received for an upload it completed.
struct CompletedUpload
{
    QString vid;
    QString fileName;
    QString title;
    QString description;
    QString tags;
    qint64 cateId = 0;
    int luping = 0;
    qint64 size = 0;
    QString storedFile; // the stored bytes
};

// The credentials an account's login answers.
struct AccountKeys
{
    QString userId;
    QString appId;
    QString appSecret;
    qint64 topCateId = 0;
};

// One video for SeedVideo; fields left at their defaults get demo values.
struct VideoSeed
{
    QString vid; // generated when empty
    QString title = QStringLiteral("Seeded video");
    int status = 60; // any code, also ones the platform does not know
    double duration = 60;
    QString uploader;  // empty: the main account
    qint64 cateId = 0; // 0: the account's top category
};
// The garbage kinds FaultRule::garbage knows.
QStringList GarbageKinds();

class PlatformServer
{
public:
    explicit PlatformServer(ServerOptions options);
    ~PlatformServer();
    PlatformServer(const PlatformServer&) = delete;
    PlatformServer& operator=(const PlatformServer&) = delete;

    bool Start(QString* error = nullptr); // returns once the server accepts connections
    void Stop();

    quint16 Port() const;
    QString BaseUrl() const; // e.g. https://127.0.0.1:PORT (no trailing slash)
    QString CaFile() const;  // PEM of the private CA to trust
    QString DataDir() const;

    int AddFault(const FaultRule& rule); // returns an id
    void RemoveFault(int id);
    void ClearFaults();
    // Requests the rule has answered, cut or altered (latency not counted).
    int FaultHits(int id) const;
    void FlipByteOfNextCompletedUpload();
    // Body bytes the upload endpoint stored since Start (shows what a resume re-sent).
    qint64 UploadBytesReceived() const;
    // Size and CRC-64 of the bytes stored for an uploaded video; false when
    // there is no such video.
    bool StoredVideo(const QString& vid, qint64* size, quint64* crc64) const;
    // Uploads the endpoint completed since Start, oldest first (platform mode).
    QList<CompletedUpload> CompletedUploads() const;
    // Every "sign" value requests carried since Start (REST, update check, uploads).
    QStringList ReceivedSigns() const;

    // Seeding helpers for tests and benchmarks.
    bool SeedDemo();
    // Adds an account with a generated tree of `categories` categories and
    // `videos` videos; returns its e-mail (password kDemoPassword).
    QString SeedLarge(int categories, int videos);
    // Adds one video to the account of `email`; returns its vid, empty on failure.
    QString SeedVideo(const QString& email, const VideoSeed& seed);

    // Account switches; false when there is no such account.
    bool Keys(const QString& email, AccountKeys* keys) const;
    // A permission by its login answer name ("videoUpload", ...); it binds sub-accounts only.
    bool SetPermission(const QString& email, const QString& name, bool on);
    // The remaining space of the account's main account.
    bool SetRemainingSpace(const QString& email, qint64 bytes);

    // Requests whose path starts with `pathPrefix`, counted since Start.
    int RequestCount(const QString& pathPrefix) const;
    // Their targets (path and query), in arrival order.
    QStringList Requests(const QString& pathPrefix) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvsrv
