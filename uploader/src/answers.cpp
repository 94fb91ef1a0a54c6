#include "answers.h"

#include "orv_uploader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace orvup {

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return s;
}

} // namespace

bool ListContains(const std::string& list, const std::string& item)
{
    std::stringstream ss(list);
    std::string part;
    while (std::getline(ss, part, ',')) {
        part.erase(0, part.find_first_not_of(" \t"));
        part.erase(part.find_last_not_of(" \t") + 1);
        if (Lower(part) == item)
            return true;
    }
    return false;
}

bool ParseInt64(const std::string& text, int64_t* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0' || v < 0)
        return false;
    *value = v;
    return true;
}

// Platform errors ride in two response headers; a plain server sends neither.
bool PlatformError(const HttpResponse& r, Outcome* out)
{
    const std::string codeText = r.Header("orv-error-code");
    const std::string desc = ClipForLog(r.Header("orv-error-desc"));
    if (codeText.empty() && desc.empty())
        return false;
    const int code = std::atoi(codeText.c_str());
    if (desc.find("Crc64Mismatch") != std::string::npos) {
        *out = {ORV_ERR_CRC64_MISMATCH, "CRC64 mismatch: the stored file differs from the local file"};
    } else if (desc.find("CapacityOverLimit") != std::string::npos) {
        *out = {ORV_ERR_NO_SPACE, "CapacityOverLimit: " + desc};
    } else if (code > 0) {
        *out = {code + ORV_PLATFORM_CODE_BASE, desc};
    } else if (desc.find("TokenError") != std::string::npos) {
        *out = {ORV_ERR_TOKEN, desc};
    } else {
        *out = {ORV_ERR_ACCESS_DENIED, desc.empty() ? std::string("AccessDenied") : desc};
    }
    return true;
}

} // namespace orvup
