// The upload library's reading of a server answer: header lines as libcurl
// hands them over, then every value a run looks at (offsets, the Location and
// its origin, the tus lists, platform errors, expiry).

#include "fuzz.h"

#include "answers.h"
#include "http.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in(reinterpret_cast<const char*>(data), size);
    orvup::HttpResponse r;
    bool ended = false;
    size_t start = 0;
    while (start < in.size()) {
        size_t end = in.find('\n', start);
        end = end == std::string::npos ? in.size() : end + 1;
        orvup::TakeHeaderLine(in.data() + start, end - start, &r, &ended);
        start = end;
    }
    int64_t value = 0;
    for (const char* name : {"upload-offset", "upload-length", "tus-max-size"})
        orvup::ParseInt64(r.Header(name), &value);
    for (const char* item : {"1.0.0", "termination", "checksum", "crc64", "sha1"}) {
        orvup::ListContains(r.Header("tus-version"), item);
        orvup::ListContains(r.Header("tus-extension"), item);
        orvup::ListContains(r.Header("tus-checksum-algorithm"), item);
    }
    const std::string base = "https://127.0.0.1:18443/tus/files/";
    const std::string url = orvup::HttpClient::ResolveUrl(base, r.Header("location"));
    if (!url.empty())
        orvup::HttpClient::SameOrigin(url, base);
    orvup::Outcome out;
    orvup::PlatformError(r, &out);
    (void)r.Header("upload-expires");
    return 0;
}
