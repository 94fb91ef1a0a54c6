#pragma once
// One connection's worth of HTTP for an upload run: a libcurl easy handle
// driven by a multi handle, so that the run can stop within a few tens of
// milliseconds whatever the network does, and so that the connection is
// reused by consecutive requests.

#include "core.h"

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvup {

struct HttpRequest
{
    std::string method; // OPTIONS, GET, POST, HEAD, PATCH, DELETE
    std::string url;
    std::vector<std::string> headers;
    bool hasBody = false;
    int64_t bodyLength = 0;
    // Fills buf with up to size body bytes; returns the count, or -1 to abort
    // the transfer (a file error the caller remembers).
    std::function<long(char* buf, size_t size)> read;
    // Called on the transfer's thread at least every 50 ms with the body bytes
    // handed to the network so far.
    std::function<void(int64_t sent)> tick;
    long timeoutSeconds = 0; // 0 = none (long uploads: stall detection only)
};

struct HttpResponse
{
    CURLcode curl = CURLE_OK;
    std::string error; // libcurl's text when curl != CURLE_OK
    long status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;                           // the first 64 KiB
    bool stopped = false;                       // ended by the stop flag
    bool readFailed = false;                    // ended by read() returning -1
    std::string Header(const std::string& lowerName) const;
};

// Takes one header line of an answer (as libcurl hands it over, with its line
// end) into response; `ended` tells whether the header block is complete.
void TakeHeaderLine(const char* buf, size_t len, HttpResponse* response, bool* ended);

class HttpClient
{
public:
    HttpClient(const SettingsSnapshot& settings, const std::atomic<int>& stop);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpResponse Perform(HttpRequest& request);

    // Resolves a possibly relative reference (such as a Location header)
    // against an absolute URL.
    static std::string ResolveUrl(const std::string& base, const std::string& ref);
    // Whether two absolute URLs share scheme, host and port (default ports
    // filled in). A server may only send the client to its own service.
    static bool SameOrigin(const std::string& a, const std::string& b);

private:
    struct Transfer;
    static size_t OnRead(char* buf, size_t size, size_t n, void* user);
    static size_t OnHeader(char* buf, size_t size, size_t n, void* user);
    static size_t OnWrite(char* buf, size_t size, size_t n, void* user);
    void ApplyCommon();

    SettingsSnapshot settings_;
    const std::atomic<int>& stop_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

} // namespace orvup
