#include "http.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <optional>

namespace orvup {

struct HttpClient::Transfer
{
    HttpRequest* request = nullptr;
    HttpResponse* response = nullptr;
    std::unique_ptr<RateBucket> bucket;
    bool paused = false;
    bool headerEnded = false; // the blank line after the last header block arrived
    const std::atomic<int>* stop = nullptr;
    // An exception must not unwind through libcurl: a callback keeps it here,
    // ends the transfer, and Perform throws it again once libcurl returned.
    std::exception_ptr failure;
};

namespace {

// Keeps the easy handle in the multi handle for one request, whatever happens.
struct MultiMember
{
    CURLM* multi;
    CURL* easy;
    MultiMember(CURLM* m, CURL* e) : multi(m), easy(e) { curl_multi_add_handle(multi, easy); }
    ~MultiMember() { curl_multi_remove_handle(multi, easy); }
    MultiMember(const MultiMember&) = delete;
    MultiMember& operator=(const MultiMember&) = delete;
};

} // namespace

std::string HttpResponse::Header(const std::string& lowerName) const
{
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

HttpClient::HttpClient(const SettingsSnapshot& settings, const std::atomic<int>& stop)
    : settings_(settings), stop_(stop), easy_(curl_easy_init()), multi_(curl_multi_init())
{
}

HttpClient::~HttpClient()
{
    if (multi_)
        curl_multi_cleanup(multi_);
    if (easy_)
        curl_easy_cleanup(easy_);
}

size_t HttpClient::OnRead(char* buf, size_t size, size_t n, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->stop->load() != 0)
        return CURL_READFUNC_ABORT;
    size_t want = size * n;
    if (t->bucket) {
        want = t->bucket->Take(want);
        if (want == 0) {
            t->paused = true;
            return CURL_READFUNC_PAUSE;
        }
    }
    long got = -1;
    try {
        got = t->request->read(buf, want);
    } catch (...) {
        t->failure = std::current_exception();
        return CURL_READFUNC_ABORT;
    }
    if (got < 0) {
        t->response->readFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return static_cast<size_t>(got);
}

void TakeHeaderLine(const char* buf, size_t len, HttpResponse* response, bool* ended)
{
    std::string line(buf, len);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new response (after a proxy's CONNECT or an interim answer).
        response->headers.clear();
        *ended = false;
        return;
    }
    if (line.empty()) {
        *ended = true;
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos)
        return;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    size_t v = colon + 1;
    while (v < line.size() && (line[v] == ' ' || line[v] == '\t'))
        ++v;
    response->headers[name] = line.substr(v);
}

size_t HttpClient::OnHeader(char* buf, size_t size, size_t n, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    try {
        TakeHeaderLine(buf, size * n, t->response, &t->headerEnded);
    } catch (...) {
        t->failure = std::current_exception();
        return 0; // ends the transfer
    }
    return size * n;
}

size_t HttpClient::OnWrite(char* buf, size_t size, size_t n, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t len = size * n;
    std::string& body = t->response->body;
    try {
        if (body.size() < 65536)
            body.append(buf, std::min(len, 65536 - body.size()));
    } catch (...) {
        t->failure = std::current_exception();
        return 0; // ends the transfer
    }
    return len;
}

void HttpClient::ApplyCommon()
{
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
    // A connection that moves nothing for a minute is dead.
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings_.caFile.empty())
        curl_easy_setopt(easy_, CURLOPT_CAINFO, settings_.caFile.c_str());
    long version = CURL_HTTP_VERSION_2TLS;
    if (settings_.httpMode == 1)
        version = CURL_HTTP_VERSION_1_0;
    else if (settings_.httpMode == 2)
        version = CURL_HTTP_VERSION_1_1;
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, version);
    if (settings_.proxyType == 1 && !settings_.proxyHost.empty()) {
        curl_easy_setopt(easy_, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(easy_, CURLOPT_PROXY, settings_.proxyHost.c_str());
        if (settings_.proxyPort > 0)
            curl_easy_setopt(easy_, CURLOPT_PROXYPORT, static_cast<long>(settings_.proxyPort));
        if (!settings_.proxyUser.empty())
            curl_easy_setopt(easy_, CURLOPT_PROXYUSERNAME, settings_.proxyUser.c_str());
        if (!settings_.proxyPassword.empty())
            curl_easy_setopt(easy_, CURLOPT_PROXYPASSWORD, settings_.proxyPassword.c_str());
        // Loopback and every other host go through the proxy as configured.
        curl_easy_setopt(easy_, CURLOPT_NOPROXY, "");
    } else {
        // No proxy, not even one from the environment.
        curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    }
    // Large buffers keep the per-call overhead low at loopback speeds.
    curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
}

HttpResponse HttpClient::Perform(HttpRequest& request)
{
    HttpResponse response;
    if (!easy_ || !multi_) {
        response.curl = CURLE_FAILED_INIT;
        response.error = "InternalError: libcurl could not be initialised";
        return response;
    }
    curl_easy_reset(easy_);
    errorBuffer_[0] = '\0';
    ApplyCommon();

    Transfer t;
    t.request = &request;
    t.response = &response;
    t.stop = &stop_;

    curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
    if (request.method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (request.hasBody) {
        curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.bodyLength));
        curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &HttpClient::OnRead);
        curl_easy_setopt(easy_, CURLOPT_READDATA, &t);
        if (request.bodyLength > 0 && TrafficLimiter::Instance().Limit() >= 0)
            t.bucket = std::make_unique<RateBucket>();
    } else if (request.method == "POST") {
        curl_easy_setopt(easy_, CURLOPT_POST, 1L);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE, 0L);
    } else if (request.method != "GET") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    if (request.timeoutSeconds > 0)
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT, request.timeoutSeconds);

    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Tus-Resumable: 1.0.0");
    // The body goes at once: waiting for "100 Continue" only costs a round trip.
    headers = curl_slist_append(headers, "Expect:");
    for (const auto& h : request.headers)
        headers = curl_slist_append(headers, h.c_str());
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerGuard(headers, &curl_slist_free_all);
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpClient::OnWrite);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &t);

    std::optional<MultiMember> member(std::in_place, multi_, easy_);
    bool done = false;
    while (!done) {
        int running = 0;
        curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
                response.curl = msg->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (stop_.load() != 0) {
            response.stopped = true;
            response.curl = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (t.paused && t.bucket && t.bucket->Ready()) {
            t.paused = false;
            curl_easy_pause(easy_, CURLPAUSE_CONT);
        }
        if (request.tick) {
            curl_off_t sent = 0;
            curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &sent);
            request.tick(static_cast<int64_t>(sent));
        }
        curl_multi_poll(multi_, nullptr, 0, t.paused ? 10 : 50, nullptr);
    }
    member.reset();
    if (t.failure)
        std::rethrow_exception(t.failure);
    if (stop_.load() != 0 && response.curl != CURLE_OK)
        response.stopped = true;
    if (response.curl == CURLE_OK && !t.headerEnded) {
        // libcurl takes a connection closed mid-headers as a complete answer;
        // it is a dropped connection like any other.
        response.curl = CURLE_RECV_ERROR;
        response.error = "the connection closed in the middle of the answer's headers";
    } else if (response.curl == CURLE_OK) {
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &response.status);
    } else {
        response.error = curl_easy_strerror(response.curl);
        if (errorBuffer_[0])
            response.error += std::string(" (") + errorBuffer_ + ")";
    }
    if (request.tick) {
        curl_off_t sent = 0;
        curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &sent);
        request.tick(static_cast<int64_t>(sent));
    }
    return response;
}

std::string HttpClient::ResolveUrl(const std::string& base, const std::string& ref)
{
    std::unique_ptr<CURLU, void (*)(CURLU*)> u(curl_url(), &curl_url_cleanup);
    if (!u || curl_url_set(u.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK)
        return std::string();
    if (curl_url_set(u.get(), CURLUPART_URL, ref.c_str(), 0) != CURLUE_OK)
        return std::string();
    char* out = nullptr;
    if (curl_url_get(u.get(), CURLUPART_URL, &out, 0) != CURLUE_OK)
        return std::string();
    std::string result(out);
    curl_free(out);
    return result;
}

bool HttpClient::SameOrigin(const std::string& a, const std::string& b)
{
    struct Origin
    {
        std::string scheme, host, port;
    };
    auto parse = [](const std::string& url, Origin* o) {
        std::unique_ptr<CURLU, void (*)(CURLU*)> u(curl_url(), &curl_url_cleanup);
        if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
            return false;
        const std::pair<CURLUPart, std::string*> parts[] = {
            {CURLUPART_SCHEME, &o->scheme}, {CURLUPART_HOST, &o->host}, {CURLUPART_PORT, &o->port}};
        for (const auto& [part, out] : parts) {
            char* text = nullptr;
            if (curl_url_get(u.get(), part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK)
                return false;
            *out = text;
            curl_free(text);
            std::transform(out->begin(), out->end(), out->begin(), [](char c) {
                return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            });
        }
        return true;
    };
    Origin x, y;
    return parse(a, &x) && parse(b, &y) && x.scheme == y.scheme && x.host == y.host && x.port == y.port;
}

} // namespace orvup
