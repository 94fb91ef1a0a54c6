#include "upload.h"

#include "answers.h"
#include "fileinfo.h"
#include "http.h"
#include "orv_uploader.h"

#include <lzma.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

namespace orvup {

namespace {

constexpr int64_t kCheckpointEvery = 4 * 1024 * 1024;
constexpr size_t kMaxCheckpoints = 32;
// Bodies up to this size are read into memory and sent with a per-request
// checksum; larger remainders go as one streamed request, protected by TLS in
// transit and by the whole-file CRC-64 at completion.
constexpr int64_t kChecksumBodyMax = 4 * 1024 * 1024;
constexpr int kMaxRestarts = 3;
constexpr int kMaxChecksumResends = 5;

std::string Crc64Hex(uint64_t crc)
{
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(crc));
    return buf;
}

int RetryLimitSeconds()
{
    // Tests shorten the retry window through the environment.
    if (const char* v = std::getenv("ORV_UPLOADER_RETRY_LIMIT_SECONDS")) {
        const int n = std::atoi(v);
        if (n > 0)
            return n;
    }
    return 300;
}

// The platform's signature over appId and a time stamp; empty without an account.
std::vector<std::string> SignedHeaders(const SettingsSnapshot& settings)
{
    std::vector<std::string> h;
    if (settings.appId.empty())
        return h;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    const std::string ts = std::to_string(ms);
    h.push_back("Orv-App-Id: " + settings.appId);
    h.push_back("Orv-Timestamp: " + ts);
    h.push_back("Orv-Sign: " + Md5HexUpper(settings.appSecret + "appId" + settings.appId + "timestamp" + ts +
                                           settings.appSecret));
    return h;
}

// How the run takes an answer: go on, retry after a wait, or end with `error`.
struct Verdict
{
    enum Kind
    {
        Ok,
        Retry,
        Fail
    } kind = Ok;
    Outcome error;
};

// What a request about the upload's offset (HEAD or PATCH) found out.
struct OffsetResult
{
    enum Kind
    {
        Reached,          // the server holds the file up to `offset`
        NoProgress,       // accepted or refused (409) without the offset moving
        ChecksumRejected, // 460: the body arrived damaged; send it again
        Gone,             // the server lost the upload or holds another file
        Retry,            // a transport error or a passing server failure
        Fail,             // ends the run with `error`
    } kind = Fail;
    int64_t offset = 0;
    Outcome error;

    static OffsetResult At(int64_t offset) { return {Reached, offset, Outcome()}; }
    static OffsetResult Of(Kind kind, Outcome error = Outcome()) { return {kind, 0, std::move(error)}; }
};

// The steps of a run. Each request state ends in a Transition.
enum class State
{
    Discover,   // OPTIONS: protocol version, extensions, size limit
    PreCheck,   // the platform's "already stored?" question
    Create,     // POST: a new upload URL
    ReadOffset, // where the server stands (asked with HEAD unless known)
    Send,       // PATCH from that offset
    Complete,   // every byte is there: verify and finish
};

struct Transition
{
    enum Kind
    {
        Go,    // on to `next` at once
        Retry, // on to `next` after a backoff; `outcome` says why
        End,   // the run ends with `outcome`
    } kind;
    State next;
    Outcome outcome;

    static Transition To(State s) { return {Go, s, Outcome()}; }
    static Transition Again(State s, Outcome why) { return {Retry, s, std::move(why)}; }
    static Transition Finish(Outcome o) { return {End, State::Complete, std::move(o)}; }
    // A request that did not succeed: retried in `retryIn`, or the end.
    static Transition After(const Verdict& v, State retryIn)
    {
        return v.kind == Verdict::Retry ? Again(retryIn, v.error) : Finish(v.error);
    }
};

class Run
{
public:
    Run(const UploadParams& params, const std::atomic<int>& stop, const ProgressFn& progress)
        : p_(params), stop_(stop), progress_(progress), settings_(Settings::Instance().Snapshot()),
          http_(settings_, stop_)
    {
    }

    Outcome Execute();

private:
    Outcome Prepare();
    Transition Enter(State state);
    Transition Discover();
    Transition PreCheck();
    Transition Create();
    Transition ReadOffset();
    Transition Send();
    Transition Complete();
    Transition Restart();

    OffsetResult Head();
    OffsetResult Patch(int64_t offset);
    Verdict Finalize();
    void Terminate();
    Verdict Classify(const HttpResponse& r, const char* what);
    bool Backoff();
    void NoteServerOffset(int64_t offset);
    bool EnsureCrcAt(int64_t offset, Outcome* out);
    void AdvanceCrc(const char* data, size_t size);
    void SaveNow();
    void Report(int64_t uploaded, bool force);
    int FileGoneCode();
    std::string Metadata() const;
    static Outcome Stopped() { return {ORV_ERR_PAUSED, std::string()}; }

    const UploadParams& p_;
    const std::atomic<int>& stop_;
    const ProgressFn& progress_;
    SettingsSnapshot settings_;
    HttpClient http_;
    std::string base_;
    FileIdentity file_;
    ReadOnlyFile in_;
    UploadState state_;
    bool checksumCrc64_ = false;
    bool checksumSha1_ = false;
    bool termination_ = true;
    // Running CRC-64 over the first crcPos_ bytes, with earlier checkpoints
    // to step back to when the server kept fewer bytes than were read.
    int64_t crcPos_ = 0;
    uint64_t crcVal_ = 0;
    std::vector<std::pair<int64_t, uint64_t>> cps_;
    int64_t reported_ = -1;
    int64_t lastReportNs_ = 0;
    int64_t lastSaveNs_ = 0;
    int64_t lastStatNs_ = 0;
    int readFailCode_ = 0;
    int attempt_ = 0;
    int restarts_ = 0;
    int resends_ = 0;
    int64_t lastProgressNs_ = 0;
    // The highest offset the server acknowledged for the current upload URL;
    // only its growth counts as progress.
    int64_t serverOffset_ = 0;
    // The server's offset when it is known without asking (a fresh upload, a
    // read-back after a failed PATCH); unset means ask with a HEAD.
    std::optional<int64_t> knownOffset_;
    int64_t offset_ = 0; // where the next PATCH starts
};

Outcome Run::Execute()
{
    const Outcome prepared = Prepare();
    if (prepared.code != 0)
        return prepared;
    lastProgressNs_ = MonotonicNs();
    State state = State::Discover;
    for (;;) {
        if (stop_.load() != kRunOn)
            return Stopped();
        const Transition t = Enter(state);
        if (t.kind == Transition::End)
            return t.outcome;
        if (t.kind == Transition::Retry && !Backoff()) {
            LogError("giving up on " + p_.vid + ": " + t.outcome.desc);
            return t.outcome;
        }
        state = t.next;
    }
}

Transition Run::Enter(State state)
{
    switch (state) {
    case State::Discover:
        return Discover();
    case State::PreCheck:
        return PreCheck();
    case State::Create:
        return Create();
    case State::ReadOffset:
        return ReadOffset();
    case State::Send:
        return Send();
    case State::Complete:
        return Complete();
    }
    return Transition::Finish({ORV_ERR_INTERNAL, DescribeCode(ORV_ERR_INTERNAL)});
}

std::string Run::Metadata() const
{
    const std::pair<const char*, std::string> items[] = {
        {"vid", p_.vid},
        {"filename", FileName(p_.path)},
        {"title", p_.title},
        {"description", p_.description},
        {"tags", p_.tags},
        {"cateId", std::to_string(p_.cateId)},
        {"luping", std::to_string(p_.luping)},
        {"keepSource", std::to_string(p_.keepSource)},
    };
    std::string out;
    for (const auto& it : items) {
        if (!out.empty())
            out += ",";
        out += it.first;
        if (!it.second.empty())
            out += " " + Base64(it.second);
    }
    return out;
}

void Run::Report(int64_t uploaded, bool force)
{
    uploaded = std::min(uploaded, file_.size);
    const int64_t now = MonotonicNs();
    if (reported_ < 0) {
        // The first report of a run states where it starts.
        reported_ = uploaded;
        lastReportNs_ = now;
        if (progress_)
            progress_(0, uploaded, file_.size);
        return;
    }
    if (uploaded <= reported_)
        return;
    if (!force && now - lastReportNs_ < 100000000LL)
        return;
    const int64_t inc = uploaded - reported_;
    reported_ = uploaded;
    lastReportNs_ = now;
    if (progress_)
        progress_(static_cast<int>(std::min<int64_t>(inc, INT32_MAX)), uploaded, file_.size);
}

void Run::SaveNow()
{
    state_.checkpoints = cps_;
    if (state_.checkpoints.empty() || state_.checkpoints.back().first != crcPos_)
        state_.checkpoints.emplace_back(crcPos_, crcVal_);
    if (!SaveState(settings_.cacheDir, state_))
        LogError("cannot write the upload state of " + p_.vid + " in " + settings_.cacheDir);
    lastSaveNs_ = MonotonicNs();
}

void Run::AdvanceCrc(const char* data, size_t size)
{
    crcVal_ = lzma_crc64(reinterpret_cast<const uint8_t*>(data), size, crcVal_);
    crcPos_ += static_cast<int64_t>(size);
    if (cps_.empty() || crcPos_ - cps_.back().first >= kCheckpointEvery) {
        cps_.emplace_back(crcPos_, crcVal_);
        if (cps_.size() > kMaxCheckpoints)
            cps_.erase(cps_.begin());
    }
}

int Run::FileGoneCode()
{
    FileIdentity now;
    const int rc = StatFile(p_.path, &now);
    if (rc != 0)
        return rc;
    if (now.size < file_.size)
        return ORV_ERR_FILE_READ;
    return 0;
}

bool Run::EnsureCrcAt(int64_t offset, Outcome* out)
{
    if (crcPos_ == offset)
        return true;
    int64_t pos = 0;
    uint64_t crc = 0;
    for (const auto& cp : cps_) {
        if (cp.first <= offset && cp.first >= pos) {
            pos = cp.first;
            crc = cp.second;
        }
    }
    if (crcPos_ <= offset && crcPos_ >= pos) {
        pos = crcPos_;
        crc = crcVal_;
    }
    LogDebug("CRC-64 re-read from " + std::to_string(pos) + " to " + std::to_string(offset));
    cps_.erase(std::remove_if(cps_.begin(), cps_.end(), [&](const auto& cp) { return cp.first > pos; }),
               cps_.end());
    crcPos_ = pos;
    crcVal_ = crc;
    std::vector<char> buf(1 << 20);
    while (crcPos_ < offset) {
        if (stop_.load() != kRunOn) {
            *out = Stopped();
            return false;
        }
        const size_t want = static_cast<size_t>(std::min<int64_t>(1 << 20, offset - crcPos_));
        const int64_t n = in_.ReadAt(buf.data(), want, crcPos_);
        if (n <= 0) {
            *out = {ORV_ERR_FILE_READ, "OpenFileError: cannot read the file"};
            return false;
        }
        AdvanceCrc(buf.data(), static_cast<size_t>(n));
    }
    return true;
}

Verdict Run::Classify(const HttpResponse& r, const char* what)
{
    if (r.stopped)
        return {Verdict::Fail, Stopped()};
    if (r.curl != CURLE_OK) {
        LogInfo(std::string(what) + " failed: " + r.error);
        switch (r.curl) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return {Verdict::Retry, {ORV_ERR_CONNECTION, "ConnectionTimeout: " + r.error}};
        case CURLE_OPERATION_TIMEDOUT:
            return {Verdict::Retry, {ORV_ERR_TIMEOUT, "RequestTimeout: " + r.error}};
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return {Verdict::Fail, {ORV_ERR_CONNECTION, r.error}};
        default:
            return {Verdict::Retry, {ORV_ERR_TIMEOUT, "SocketTimeout: " + r.error}};
        }
    }
    if (r.status >= 200 && r.status < 300)
        return {};
    LogInfo(std::string(what) + " answered HTTP " + std::to_string(r.status));
    Outcome platform;
    if (r.status >= 500 || r.status == 423) {
        if (r.status >= 500 && PlatformError(r, &platform) && platform.code != ORV_ERR_ACCESS_DENIED)
            return {Verdict::Fail, platform};
        return {Verdict::Retry,
                {ORV_ERR_SERVER, "InternalError: the server answered " + std::to_string(r.status)}};
    }
    if (PlatformError(r, &platform))
        return {Verdict::Fail, platform};
    if (r.status == 401 || r.status == 403)
        return {Verdict::Fail,
                {ORV_ERR_ACCESS_DENIED,
                 "AccessDenied: the server refused the request (" + std::to_string(r.status) + ")"}};
    if (r.status == 413)
        return {Verdict::Fail,
                {ORV_ERR_NO_SPACE, "CapacityOverLimit: the file is larger than the server accepts"}};
    return {Verdict::Fail,
            {ORV_ERR_PROTOCOL, std::string("http response parse error: unexpected answer ") +
                                   std::to_string(r.status) + " to " + what}};
}

void Run::NoteServerOffset(int64_t offset)
{
    if (offset <= serverOffset_)
        return;
    serverOffset_ = offset;
    attempt_ = 0;
    lastProgressNs_ = MonotonicNs();
}

bool Run::Backoff()
{
    static const int kDelays[] = {0, 1, 3, 5, 10};
    const int64_t now = MonotonicNs();
    if (now - lastProgressNs_ > static_cast<int64_t>(RetryLimitSeconds()) * 1000000000LL)
        return false;
    const int delay = kDelays[std::min<size_t>(static_cast<size_t>(attempt_), std::size(kDelays) - 1)];
    ++attempt_;
    LogInfo("retry " + std::to_string(attempt_) + " of " + p_.vid + " in " + std::to_string(delay) + " s");
    const int64_t until = now + static_cast<int64_t>(delay) * 1000000000LL;
    while (MonotonicNs() < until) {
        if (stop_.load() != kRunOn)
            return true; // the run sees the stop before its next state
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Outcome Run::Prepare()
{
    if (!settings_.initialized)
        return {ORV_ERR_NOT_INITIALIZED, DescribeCode(ORV_ERR_NOT_INITIALIZED)};
    if (settings_.serviceUrl.empty())
        return {ORV_ERR_INVALID_ARGUMENT, "no upload service address is set"};
    if (!p_.hasFile)
        return {ORV_ERR_FILE_NOT_EXIST, "NoFile: no file is bound to this upload"};
    int rc = StatFile(p_.path, &file_);
    if (rc != 0)
        return {rc, DescribeCode(rc)};
    if (file_.size == 0)
        return {ORV_ERR_FILE_EMPTY, DescribeCode(ORV_ERR_FILE_EMPTY)};
    rc = in_.Open(p_.path);
    if (rc != 0)
        return {rc, DescribeCode(rc)};
    // The vid names one version of the file; a changed file must not continue
    // an upload begun with other content.
    std::string nowVid;
    FileIdentity id;
    rc = ComputeVid(settings_.userId, p_.path, &nowVid, &id);
    if (rc != 0)
        return {rc, DescribeCode(rc)};
    if (nowVid != p_.vid || id != file_)
        return {ORV_ERR_FILE_CHANGED, "fileContentError: the file changed since its upload began"};
    base_ = settings_.serviceUrl + "/tus/files/";

    UploadState saved;
    if (LoadState(settings_.cacheDir, p_.vid, &saved) && saved.userId == settings_.userId &&
        saved.serviceUrl == settings_.serviceUrl && saved.file == file_ &&
        HttpClient::SameOrigin(saved.uploadUrl, base_)) {
        state_ = saved;
        cps_ = saved.checkpoints;
        std::sort(cps_.begin(), cps_.end());
        LogInfo("resuming " + p_.vid + " at " + state_.uploadUrl);
    } else {
        state_ = UploadState();
        state_.vid = p_.vid;
        state_.userId = settings_.userId;
        state_.serviceUrl = settings_.serviceUrl;
        state_.file = file_;
    }
    return {0, std::string()};
}

Transition Run::Discover()
{
    HttpRequest req;
    req.method = "OPTIONS";
    req.url = base_;
    req.timeoutSeconds = 30;
    const HttpResponse r = http_.Perform(req);
    if (r.curl == CURLE_OK && (r.status == 404 || r.status == 405)) {
        // Servers need not answer OPTIONS: assume the core and creation only.
        termination_ = false;
        return Transition::To(State::PreCheck);
    }
    const Verdict v = Classify(r, "OPTIONS");
    if (v.kind != Verdict::Ok)
        return Transition::After(v, State::Discover);
    const std::string versions = r.Header("tus-version");
    if (!versions.empty() && !ListContains(versions, "1.0.0"))
        return Transition::Finish(
            {ORV_ERR_PROTOCOL, "http response parse error: the server does not speak tus 1.0.0"});
    const std::string ext = r.Header("tus-extension");
    termination_ = ListContains(ext, "termination");
    if (ListContains(ext, "checksum")) {
        const std::string algs = r.Header("tus-checksum-algorithm");
        checksumCrc64_ = ListContains(algs, "crc64");
        checksumSha1_ = ListContains(algs, "sha1");
    }
    int64_t maxSize = 0;
    if (ParseInt64(r.Header("tus-max-size"), &maxSize) && maxSize > 0 && file_.size > maxSize)
        return Transition::Finish(
            {ORV_ERR_NO_SPACE, "CapacityOverLimit: the file is larger than the server accepts"});
    return Transition::To(State::PreCheck);
}

Transition Run::PreCheck()
{
    HttpRequest req;
    req.method = "GET";
    req.url = base_ + "precheck?vid=" + p_.vid + "&size=" + std::to_string(file_.size) +
              "&cateId=" + std::to_string(p_.cateId);
    req.headers = SignedHeaders(settings_);
    req.timeoutSeconds = 30;
    const HttpResponse r = http_.Perform(req);
    const State next = state_.uploadUrl.empty() ? State::Create : State::ReadOffset;
    if (r.curl == CURLE_OK && (r.status == 404 || r.status == 405 || r.status == 501)) {
        // A plain tus server: no platform additions.
        if (state_.platform != 0)
            LogInfo("the server has no platform additions; uploading without them");
        state_.platform = 0;
        return Transition::To(next);
    }
    const Verdict v = Classify(r, "pre-check");
    if (v.kind != Verdict::Ok)
        return Transition::After(v, State::PreCheck);
    state_.platform = 1;
    if (r.Header("orv-already-stored") != "1")
        return Transition::To(next);
    LogInfo(p_.vid + " is already stored on the server");
    Terminate();
    RemoveState(settings_.cacheDir, p_.vid);
    reported_ = -1;
    Report(0, true);
    Report(file_.size, true);
    return Transition::Finish({ORV_OK_ALREADY_STORED, std::string()});
}

Transition Run::Create()
{
    HttpRequest req;
    req.method = "POST";
    req.url = base_;
    req.headers = SignedHeaders(settings_);
    req.headers.push_back("Upload-Length: " + std::to_string(file_.size));
    req.headers.push_back("Upload-Metadata: " + Metadata());
    req.timeoutSeconds = 60;
    const HttpResponse r = http_.Perform(req);
    const Verdict v = Classify(r, "POST");
    if (v.kind != Verdict::Ok)
        return Transition::After(v, State::Create);
    const std::string location = r.Header("location");
    const std::string url = location.empty() ? std::string() : HttpClient::ResolveUrl(base_, location);
    if (r.status != 201 || url.empty())
        return Transition::Finish(
            {ORV_ERR_PROTOCOL, "http response parse error: the creation answer has no usable Location"});
    if (!HttpClient::SameOrigin(url, base_)) {
        // The file goes to the configured service only, never where an answer points.
        return Transition::Finish(
            {ORV_ERR_PROTOCOL, "http response parse error: the creation answer points to another server (" +
                                   ClipForLog(url, 256) + ")"});
    }
    state_.uploadUrl = url;
    serverOffset_ = 0;
    knownOffset_ = 0;
    cps_.clear();
    crcPos_ = 0;
    crcVal_ = 0;
    cps_.emplace_back(0, 0);
    LogInfo("created upload " + url + " for " + p_.vid + ", " + std::to_string(file_.size) + " bytes");
    SaveNow();
    return Transition::To(State::ReadOffset);
}

Transition Run::ReadOffset()
{
    OffsetResult r = knownOffset_ ? OffsetResult::At(*knownOffset_) : Head();
    knownOffset_.reset();
    if (r.kind == OffsetResult::Gone)
        return Restart();
    if (r.kind == OffsetResult::Retry)
        return Transition::Again(State::ReadOffset, r.error);
    if (r.kind != OffsetResult::Reached)
        return Transition::Finish(r.error);
    NoteServerOffset(r.offset);
    Outcome failed;
    if (!EnsureCrcAt(r.offset, &failed))
        return Transition::Finish(failed);
    Report(r.offset, true);
    offset_ = r.offset;
    return Transition::To(r.offset < file_.size ? State::Send : State::Complete);
}

Transition Run::Send()
{
    const OffsetResult r = Patch(offset_);
    switch (r.kind) {
    case OffsetResult::Reached:
        // Confirmed with a HEAD before the next step, as after any PATCH.
        NoteServerOffset(r.offset);
        resends_ = 0;
        Report(r.offset, true);
        return Transition::To(State::ReadOffset);
    case OffsetResult::NoProgress:
        // Lack of progress is a failure like any other: wait, then ask again.
        return Transition::Again(State::ReadOffset, r.error);
    case OffsetResult::ChecksumRejected:
        if (++resends_ > kMaxChecksumResends)
            return Transition::Finish(
                {ORV_ERR_INVALID_DIGEST, "InvalidDigest: the server kept rejecting the checksum"});
        return Transition::To(State::ReadOffset);
    case OffsetResult::Gone:
        return Restart();
    case OffsetResult::Retry: {
        // Part of the body may have been stored before the failure: ask, so
        // that bytes that arrived count as progress.
        const OffsetResult now = Head();
        if (now.kind == OffsetResult::Reached) {
            NoteServerOffset(now.offset);
            knownOffset_ = now.offset;
        }
        return Transition::Again(State::ReadOffset, r.error);
    }
    case OffsetResult::Fail:
        break;
    }
    return Transition::Finish(r.error);
}

Transition Run::Complete()
{
    // Every byte is on the server. Make sure they are still the file's bytes
    // before the upload becomes a video.
    std::string nowVid;
    FileIdentity id;
    const int rc = ComputeVid(settings_.userId, p_.path, &nowVid, &id);
    if (rc != 0)
        return Transition::Finish({rc, DescribeCode(rc)});
    if (nowVid != p_.vid || id != file_) {
        Terminate();
        RemoveState(settings_.cacheDir, p_.vid);
        return Transition::Finish(
            {ORV_ERR_CRC64_MISMATCH, "fileContentError: the file changed during the upload"});
    }
    if (state_.platform == 1) {
        const Verdict v = Finalize();
        if (v.kind == Verdict::Fail && v.error.code == ORV_ERR_CRC64_MISMATCH)
            RemoveState(settings_.cacheDir, p_.vid);
        if (v.kind != Verdict::Ok)
            return Transition::After(v, State::ReadOffset);
    }
    RemoveState(settings_.cacheDir, p_.vid);
    Report(file_.size, true);
    LogInfo("upload of " + p_.vid + " complete, CRC-64 " + Crc64Hex(crcVal_));
    return Transition::Finish({ORV_OK, std::string()});
}

// The server lost the upload: start a new one, a few times at most.
Transition Run::Restart()
{
    if (++restarts_ > kMaxRestarts)
        return Transition::Finish(
            {ORV_ERR_UPLOAD_NOT_EXIST, "UploadFileNotExist: the server keeps losing the upload"});
    state_.uploadUrl.clear();
    knownOffset_.reset();
    RemoveState(settings_.cacheDir, p_.vid);
    return Transition::To(State::Create);
}

OffsetResult Run::Head()
{
    HttpRequest req;
    req.method = "HEAD";
    req.url = state_.uploadUrl;
    req.headers = SignedHeaders(settings_);
    req.timeoutSeconds = 30;
    const HttpResponse r = http_.Perform(req);
    if (r.curl == CURLE_OK && (r.status == 404 || r.status == 410 || r.status == 403))
        return OffsetResult::Of(OffsetResult::Gone);
    const Verdict v = Classify(r, "HEAD");
    if (v.kind != Verdict::Ok)
        return OffsetResult::Of(v.kind == Verdict::Retry ? OffsetResult::Retry : OffsetResult::Fail, v.error);
    int64_t offset = 0;
    int64_t length = 0;
    if (!ParseInt64(r.Header("upload-offset"), &offset))
        return OffsetResult::Of(OffsetResult::Fail,
                                {ORV_ERR_PROTOCOL, "http response parse error: HEAD without Upload-Offset"});
    if ((ParseInt64(r.Header("upload-length"), &length) && length != file_.size) || offset > file_.size) {
        LogError("the server's upload " + state_.uploadUrl + " does not match the file; starting anew");
        Terminate();
        return OffsetResult::Of(OffsetResult::Gone);
    }
    return OffsetResult::At(offset);
}

OffsetResult Run::Patch(int64_t offset)
{
    const int64_t length = file_.size - offset;
    HttpRequest req;
    req.method = "PATCH";
    req.url = state_.uploadUrl;
    req.headers = SignedHeaders(settings_);
    req.headers.push_back("Upload-Offset: " + std::to_string(offset));
    req.headers.push_back("Content-Type: application/offset+octet-stream");
    req.hasBody = true;
    req.bodyLength = length;

    std::string memory; // small bodies: read first, sent with a checksum
    size_t memoryPos = 0;
    int64_t readPos = offset;
    if (length <= kChecksumBodyMax && (checksumCrc64_ || checksumSha1_)) {
        memory.resize(static_cast<size_t>(length));
        if (!in_.ReadFully(&memory[0], memory.size(), offset)) {
            const int gone = FileGoneCode();
            const int code = gone ? gone : ORV_ERR_FILE_READ;
            return OffsetResult::Of(OffsetResult::Fail, {code, DescribeCode(code)});
        }
        AdvanceCrc(memory.data(), memory.size());
        if (checksumCrc64_) {
            const uint64_t c = lzma_crc64(reinterpret_cast<const uint8_t*>(memory.data()), memory.size(), 0);
            std::string be(8, '\0');
            for (int i = 0; i < 8; ++i)
                be[static_cast<size_t>(i)] = static_cast<char>((c >> (56 - 8 * i)) & 0xff);
            req.headers.push_back("Upload-Checksum: crc64 " + Base64(be));
        } else {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int len = 0;
            EVP_Digest(memory.data(), memory.size(), digest, &len, EVP_sha1(), nullptr);
            req.headers.push_back("Upload-Checksum: sha1 " +
                                  Base64(std::string(reinterpret_cast<char*>(digest), len)));
        }
        req.read = [&](char* buf, size_t size) -> long {
            const size_t n = std::min(size, memory.size() - memoryPos);
            std::copy_n(memory.data() + memoryPos, n, buf);
            memoryPos += n;
            return static_cast<long>(n);
        };
    } else {
        req.read = [&](char* buf, size_t size) -> long {
            if (readFailCode_ != 0)
                return -1;
            const size_t want =
                static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), file_.size - readPos));
            const int64_t n = want == 0 ? 0 : in_.ReadAt(buf, want, readPos);
            if (n <= 0 && want > 0) {
                // Truncated or unreadable: never send a short file.
                const int gone = FileGoneCode();
                readFailCode_ = gone ? gone : ORV_ERR_FILE_READ;
                return -1;
            }
            AdvanceCrc(buf, static_cast<size_t>(n));
            readPos += n;
            return static_cast<long>(n);
        };
    }
    req.tick = [&](int64_t sent) {
        Report(offset + sent, false);
        const int64_t now = MonotonicNs();
        if (now - lastStatNs_ > 1000000000LL) {
            lastStatNs_ = now;
            // An open file stays readable after it is deleted; look at the path.
            const int gone = FileGoneCode();
            if (gone != 0 && readFailCode_ == 0)
                readFailCode_ = gone;
        }
        if (now - lastSaveNs_ > 1000000000LL)
            SaveNow();
    };
    LogDebug("PATCH " + state_.uploadUrl + " from " + std::to_string(offset) + ", " + std::to_string(length) +
             " bytes");
    const HttpResponse r = http_.Perform(req);
    SaveNow();
    if (r.readFailed || readFailCode_ != 0) {
        const int code = readFailCode_ ? readFailCode_ : ORV_ERR_FILE_READ;
        return OffsetResult::Of(OffsetResult::Fail, {code, DescribeCode(code)});
    }
    if (r.curl == CURLE_OK && r.status == 409) {
        // The offsets disagree; the next round reads the server's offset.
        return OffsetResult::Of(
            OffsetResult::NoProgress,
            {ORV_ERR_SERVER, "InternalError: the server keeps refusing the upload offset (409)"});
    }
    if (r.curl == CURLE_OK && r.status == 460)
        return OffsetResult::Of(OffsetResult::ChecksumRejected);
    if (r.curl == CURLE_OK && (r.status == 404 || r.status == 410))
        return OffsetResult::Of(OffsetResult::Gone);
    const Verdict v = Classify(r, "PATCH");
    if (v.kind != Verdict::Ok)
        return OffsetResult::Of(v.kind == Verdict::Retry ? OffsetResult::Retry : OffsetResult::Fail, v.error);
    int64_t reached = 0;
    if (!ParseInt64(r.Header("upload-offset"), &reached) || reached < offset || reached > file_.size)
        return OffsetResult::Of(OffsetResult::Fail,
                                {ORV_ERR_PROTOCOL, "http response parse error: PATCH "
                                                   "answer without a valid Upload-Offset"});
    if (reached == offset)
        return OffsetResult::Of(OffsetResult::NoProgress,
                                {ORV_ERR_SERVER, "InternalError: the server accepts the data but its offset "
                                                 "does not move"});
    return OffsetResult::At(reached);
}

Verdict Run::Finalize()
{
    HttpRequest req;
    req.method = "PATCH";
    req.url = state_.uploadUrl;
    req.headers = SignedHeaders(settings_);
    req.headers.push_back("Upload-Offset: " + std::to_string(file_.size));
    req.headers.push_back("Content-Type: application/offset+octet-stream");
    req.headers.push_back("Orv-File-Crc64: " + Crc64Hex(crcVal_));
    req.hasBody = true;
    req.bodyLength = 0;
    req.read = [](char*, size_t) -> long { return 0; };
    req.timeoutSeconds = 600; // the server reads the whole file once
    const HttpResponse r = http_.Perform(req);
    return Classify(r, "completion");
}

void Run::Terminate()
{
    if (state_.uploadUrl.empty() || !termination_)
        return;
    HttpRequest req;
    req.method = "DELETE";
    req.url = state_.uploadUrl;
    req.headers = SignedHeaders(settings_);
    req.timeoutSeconds = 15;
    const HttpResponse r = http_.Perform(req);
    LogInfo("terminated " + state_.uploadUrl + ": " +
            (r.curl == CURLE_OK ? std::to_string(r.status) : r.error));
}

Outcome RunUploadOrThrow(const UploadParams& params, const std::atomic<int>& stop, const ProgressFn& progress)
{
    LogInfo("start " + params.vid + " (" + params.path + ")");
    Run run(params, stop, progress);
    Outcome out = run.Execute();
    if (out.code == ORV_ERR_PAUSED)
        out.desc = DescribeCode(ORV_ERR_PAUSED);
    LogInfo("end " + params.vid + ": " + std::to_string(out.code) + (out.desc.empty() ? "" : " " + out.desc));
    return out;
}

Outcome DeleteUploadOrThrow(const std::string& vid, const std::atomic<int>& stop)
{
    const SettingsSnapshot settings = Settings::Instance().Snapshot();
    UploadState state;
    if (!LoadState(settings.cacheDir, vid, &state) || state.uploadUrl.empty() ||
        !HttpClient::SameOrigin(state.uploadUrl, settings.serviceUrl)) {
        // Nothing of ours to delete on a server we did not choose.
        RemoveState(settings.cacheDir, vid);
        return {0, std::string()};
    }
    HttpClient http(settings, stop);
    static const int kDelays[] = {0, 1, 2};
    Outcome out;
    for (int delay : kDelays) {
        for (int waited = 0; waited < delay * 50 && stop.load() == kRunOn; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (stop.load() != kRunOn)
            return {ORV_ERR_CANCELLED, DescribeCode(ORV_ERR_CANCELLED)};
        HttpRequest req;
        req.method = "DELETE";
        req.url = state.uploadUrl;
        req.headers = SignedHeaders(settings);
        req.timeoutSeconds = 15;
        const HttpResponse r = http.Perform(req);
        if (r.stopped)
            return {ORV_ERR_CANCELLED, DescribeCode(ORV_ERR_CANCELLED)};
        if (r.curl != CURLE_OK) {
            out = {ORV_ERR_CONNECTION, "ConnectionTimeout: " + r.error};
            continue;
        }
        if (r.status >= 500 || r.status == 423) {
            out = {ORV_ERR_SERVER, "InternalError: the server answered " + std::to_string(r.status)};
            continue;
        }
        // Gone already, or a server without termination (the upload then
        // expires there): either way nothing is left to resume.
        LogInfo("deleted " + vid + " at " + state.uploadUrl + ": " + std::to_string(r.status));
        RemoveState(settings.cacheDir, vid);
        return {0, std::string()};
    }
    LogError("delete of " + vid + " failed: " + out.desc);
    return out;
}

} // namespace

Outcome RunUpload(const UploadParams& params, const std::atomic<int>& stop,
                  const ProgressFn& progress) noexcept
{
    try {
        return RunUploadOrThrow(params, stop, progress);
    } catch (...) {
        return {CurrentExceptionCode(), std::string()};
    }
}

Outcome DeleteUpload(const std::string& vid, const std::atomic<int>& stop) noexcept
{
    try {
        return DeleteUploadOrThrow(vid, stop);
    } catch (...) {
        return {CurrentExceptionCode(), std::string()};
    }
}

const char* DescribeCode(int code)
{
    switch (code) {
    case ORV_OK:
        return "success";
    case ORV_ERR_INVALID_ARGUMENT:
        return "invalid argument";
    case ORV_ERR_FILE_NOT_EXIST:
        return "NoFile: the file does not exist";
    case ORV_ERR_NOT_INITIALIZED:
        return "the library is not initialised";
    case ORV_ERR_FILE_EMPTY:
        return "FileEmpty: the file is empty";
    case ORV_ERR_PAUSED:
        return "paused";
    case ORV_ERR_CONNECTION:
        return "ConnectionTimeout: cannot connect to the upload service";
    case ORV_ERR_TIMEOUT:
        return "RequestTimeout: the upload service did not answer in time";
    case ORV_ERR_SERVER:
        return "InternalError: the upload service kept failing";
    case ORV_ERR_PROTOCOL:
        return "http response parse error: unexpected answer from the upload service";
    case ORV_ERR_FILE_READ:
        return "OpenFileError: the file cannot be opened or read";
    case ORV_ERR_ACCESS_DENIED:
        return "AccessDenied: the upload service refused the account";
    case ORV_ERR_TOKEN:
        return "TokenError: the request signature was refused";
    case ORV_ERR_UPLOAD_NOT_EXIST:
        return "UploadFileNotExist: the server lost the upload";
    case ORV_ERR_INVALID_DIGEST:
        return "InvalidDigest: the server kept rejecting the checksum";
    case ORV_ERR_BUSY:
        return "the upload is busy";
    case ORV_ERR_INTERNAL:
        return "InternalError: unexpected failure in the upload library";
    case ORV_ERR_CANCELLED:
        return "cancelled";
    case ORV_ERR_FILE_CHANGED:
        return "fileContentError: the file changed since its upload began";
    case ORV_ERR_CRC64_MISMATCH:
        return "CRC64 mismatch: the stored file differs from the local file";
    case ORV_ERR_CACHE:
        return "the cache folder cannot be used";
    case ORV_ERR_LOG_FILE:
        return "the log file cannot be opened";
    case ORV_ERR_OUT_OF_MEMORY:
        return "InternalError: the upload library ran out of memory";
    case ORV_ERR_SYSTEM_RESOURCE:
        return "InternalError: the system refused the upload library a thread or a lock";
    case ORV_ERR_NO_SPACE:
        return "CapacityOverLimit: not enough storage space";
    case ORV_OK_ALREADY_STORED:
        return "success: the file is already stored";
    default:
        break;
    }
    if (code > ORV_PLATFORM_CODE_BASE)
        return "platform error (code minus 113 is the platform's error code)";
    return "unknown error";
}

} // namespace orvup
