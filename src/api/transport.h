#pragma once
// The libcurl layer shared by every request: per-request context, common
// options, the run of one transfer with its error mapping, escaping and the
// callbacks. No endpoint knowledge lives here.

#include "api/apicollection.h"

#include <QLoggingCategory>
#include <QStringList>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(apiLog)

namespace ApiCollection {

// What CURLOPT_PRIVATE of every handle points to (through this base), so that
// the common options can print the operation uuid whatever the record is.
// It also carries the owner's abort flag (may be null), read by the callbacks.
struct RequestIdentity
{
    QUuid uuid;
    const AbortFlag* abortFlag = nullptr;
    bool answerTooLarge = false; // the write callback refused an oversized answer

    bool Aborted() const { return abortFlag && abortFlag->load(); }
};

// One per request, on the stack of the request function.
struct RequestContext : RequestIdentity
{
    QByteArray* response = nullptr;
};

// User data of the transfer-progress callback.
struct ProgressRecord : RequestIdentity
{
    CURL* handle = nullptr;
    qint64 lastMark = 0; // microseconds of transfer time at the last mark
    ProgressFunction progress;
};

struct CurlEasyDeleter
{
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct CurlSlistDeleter
{
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct CurlMimeDeleter
{
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
struct CurlMultiDeleter
{
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlSlistDeleter>;
using CurlMimePtr = std::unique_ptr<curl_mime, CurlMimeDeleter>;
using CurlMultiPtr = std::unique_ptr<CURLM, CurlMultiDeleter>;

enum class BodyType
{
    None, // GET, or a multipart post (libcurl sets its own type)
    Form, // application/x-www-form-urlencoded
    Json, // application/json
};

// The fixed header lines: user agent, the operation uuid, the content type of
// the body, and an empty "Expect:" on requests with a body so that libcurl never
// waits for a "100 Continue" that some servers do not send.
CurlSlistPtr BuildHeaderList(const QUuid& uuid, BodyType body, bool expectNothing);
QStringList HeaderLines(const QUuid& uuid, BodyType body, bool expectNothing);

// Applies the shared options (proxy, CA bundle, verbosity, compression, connect
// time-out); called right before Perform. The handle's CURLOPT_PRIVATE must hold
// a RequestIdentity pointer.
void SetCommonOptions(CURL* handle);
RequestError Perform(CURL* handle, CURLcode* code, QString* errorText = nullptr);
// SetCommonOptions, then Perform; a failure is logged with the call's tag and uuid.
Result<void> PerformLogged(CURL* handle, const char* tag, const QUuid& uuid);
Result<QString> EscapeParam(CURL* handle, const QString& source);
// One "name=escaped value" per parameter, in map order.
Result<QStringList> BuildQueryItems(CURL* handle, const ParamMap& params);

// No real API answer comes near this; a larger one is refused before it is
// parsed (downloads of files do not go through WriteCallback).
inline constexpr qint64 kMaxApiAnswerBytes = 16 * 1024 * 1024;
size_t WriteCallback(char* data, size_t size, size_t count, void* userData);

// A server-provided text for a log line: at most `max` characters, with the
// full length noted when cut, so that a hostile answer cannot flood the log.
QString ClipForLog(const QString& text, int max = 2048);
int XferInfoCallback(void* userData, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                     curl_off_t ulNow);

// Values of the three diagnostic environment variables, read before main.
long CurlVerboseLevel();
bool LogCurlTimeElapsed();
bool LogCurlTransferSize();

enum class HttpMethod
{
    Get,
    Post,
};

// The request skeleton for a signed or unsigned form/GET call: escapes the
// parameters, sets method, URL, headers, write callback and total time-out,
// then SetCommonOptions and Perform, and logs a failure with the tag.
// Returns the response body.
Result<QByteArray> ExecuteRequest(const QUuid& uuid, const char* tag, HttpMethod method, const QString& url,
                                  const ParamMap& params, long timeoutSeconds, const AbortFlag* abortFlag);

// Adds appId and timestamp, signs with the account's secret and runs
// ExecuteRequest on the base URL followed by `path` (GET paths end with "?").
Result<QByteArray> ExecuteSignedRequest(const QUuid& uuid, const char* tag, HttpMethod method,
                                        const char* path, ParamMap params, long timeoutSeconds,
                                        const AbortFlag* abortFlag);

// The path libcurl is given for a cover file. When libcurl cannot open
// non-ASCII paths (`curlUnicode` false and the local encoding not UTF-8) a
// non-ASCII file is copied into a fresh temporary directory, kept in `tempDir`
// until the request ends, under an ASCII name.
QByteArray CoverFilePathForCurl(const QString& absolutePath, bool curlUnicode, bool localIsUtf8,
                                std::unique_ptr<QTemporaryDir>* tempDir);

// Strict JSON (UTF-8, no name twice in one object) before the toolkit's
// parser sees it: that parser keeps the first of two nested values under one
// name allocated for good, so a hostile answer could grow memory at will.
bool StrictJsonCheck(const QByteArray& json, QString* error);
// A response body read as the JSON envelope: its fields and the top-level object.
struct Envelope
{
    ApiResult fields;
    QJsonObject root;
};
// Logs with the tag; a failure carries the envelope fields read so far.
Result<Envelope> ParseEnvelope(const char* tag, const QByteArray& response);
// An answer whose "data" is not shaped as expected: logged with the tag and the
// requestId, then ApiError with the envelope.
Failure DataShapeFailure(const char* tag, const ApiResult& envelope, const char* what);
// The parser of an endpoint without data fields of its own.
Result<ApiResult> EnvelopeOnly(const char* tag, const QByteArray& response);
// The envelope fields at the head of an endpoint's record.
template <typename Record> Record RecordOf(const Envelope& envelope)
{
    Record record;
    static_cast<ApiResult&>(record) = envelope.fields;
    return record;
}

} // namespace ApiCollection
