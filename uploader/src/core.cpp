#include "core.h"

#include <openssl/evp.h>
#include <openssl/md5.h>

#include "orv_uploader.h"
#include "os.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>

namespace orvup {

Log& Log::Instance()
{
    static Log log;
    return log;
}

bool Log::Open(const std::string& path)
{
    std::FILE* f = OpenForAppend(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = f;
    return f != nullptr;
}

void Log::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

void Log::Write(LogLevel level, const std::string& message)
{
    if (!Enabled(level))
        return;
    const std::string stamp = LocalTimeStamp();
    const char* tag = level == LogLevel::Error ? "E" : level == LogLevel::Info ? "I" : "D";
    const auto tid = std::hash<std::thread::id>()(std::this_thread::get_id()) % 100000;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_)
        return;
    std::fprintf(file_, "%s [%s] [%05zu] %s\n", stamp.c_str(), tag, tid, ClipForLog(message, 4096).c_str());
    std::fflush(file_);
}

std::string ClipForLog(const std::string& text, size_t max)
{
    if (text.size() <= max)
        return text;
    // Cut on a UTF-8 character boundary so that the log stays valid text.
    size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " bytes in all)";
}

void LogError(const std::string& message)
{
    Log::Instance().Write(LogLevel::Error, message);
}
void LogInfo(const std::string& message)
{
    Log::Instance().Write(LogLevel::Info, message);
}
void LogDebug(const std::string& message)
{
    Log::Instance().Write(LogLevel::Debug, message);
}

Settings& Settings::Instance()
{
    static Settings settings;
    return settings;
}

SettingsSnapshot Settings::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return s_;
}

void Settings::SetServiceUrl(std::string url)
{
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    std::lock_guard<std::mutex> lock(mutex_);
    s_.serviceUrl = std::move(url);
}

void Settings::SetCacheDir(std::string dir)
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.cacheDir = std::move(dir);
}

void Settings::SetCaFile(std::string path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.caFile = std::move(path);
}

void Settings::SetHttpMode(int mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.httpMode = mode;
}

void Settings::SetProxy(int type, std::string host, int port, std::string user, std::string password)
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.proxyType = type;
    s_.proxyHost = std::move(host);
    s_.proxyPort = port;
    s_.proxyUser = std::move(user);
    s_.proxyPassword = std::move(password);
}

void Settings::SetAccount(std::string userId, std::string appId, std::string appSecret)
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.userId = std::move(userId);
    s_.appId = std::move(appId);
    s_.appSecret = std::move(appSecret);
    s_.initialized = true;
}

void Settings::ClearAccount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    s_.initialized = false;
    s_.userId.clear();
    s_.appId.clear();
    s_.appSecret.clear();
}

TrafficLimiter& TrafficLimiter::Instance()
{
    static TrafficLimiter limiter;
    return limiter;
}

int64_t TrafficLimiter::ShareBytesPerSecond() const
{
    const int64_t limit = limit_.load();
    if (limit <= 0)
        return 0;
    const int n = std::max(1, active_.load());
    return std::max<int64_t>(1, limit / n);
}

RateBucket::RateBucket() : lastNs_(MonotonicNs())
{
    TrafficLimiter::Instance().Join();
}
RateBucket::~RateBucket()
{
    TrafficLimiter::Instance().Leave();
}

void RateBucket::Refill()
{
    const int64_t now = MonotonicNs();
    const int64_t rate = TrafficLimiter::Instance().ShareBytesPerSecond();
    const double elapsed = static_cast<double>(now - lastNs_) / 1e9;
    lastNs_ = now;
    if (rate <= 0) {
        tokens_ = 0;
        return;
    }
    // A small burst allowance keeps the pace smooth without overshooting.
    const double cap = std::max(16384.0, static_cast<double>(rate) * 0.1);
    tokens_ = std::min(cap, tokens_ + elapsed * static_cast<double>(rate));
}

size_t RateBucket::Take(size_t wanted)
{
    if (TrafficLimiter::Instance().Limit() <= 0)
        return wanted;
    Refill();
    const size_t n = static_cast<size_t>(std::min<double>(static_cast<double>(wanted), tokens_));
    tokens_ -= static_cast<double>(n);
    return n;
}

bool RateBucket::Ready()
{
    if (TrafficLimiter::Instance().Limit() <= 0)
        return true;
    Refill();
    const double rate = static_cast<double>(TrafficLimiter::Instance().ShareBytesPerSecond());
    return tokens_ >= std::min(16384.0, rate * 0.02);
}

int64_t MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int CurrentExceptionCode() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return ORV_ERR_OUT_OF_MEMORY;
    } catch (const std::system_error&) {
        return ORV_ERR_SYSTEM_RESOURCE; // a thread or a lock the system refused
    } catch (...) {
        return ORV_ERR_INTERNAL;
    }
}

std::string ToHex(const unsigned char* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

std::string Base64(const std::string& data)
{
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(static_cast<size_t>(std::max(0, n)));
    return out;
}

std::string Md5HexUpper(const std::string& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_md5(), nullptr);
    std::string hex = ToHex(digest, len);
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    return hex;
}

} // namespace orvup
