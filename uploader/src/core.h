#pragma once
// Library-wide state shared by every handle: settings, the log, the traffic
// limiter. Everything here is thread-safe.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace orvup {

enum class LogLevel
{
    Off = 0,
    Error = 1,
    Info = 2,
    Debug = 3
};

class Log
{
public:
    static Log& Instance();
    bool Open(const std::string& path);
    void SetLevel(int level) { level_.store(level); }
    bool Enabled(LogLevel level) const
    {
        return static_cast<int>(level) <= level_.load() && level != LogLevel::Off;
    }
    void Write(LogLevel level, const std::string& message);
    void Close();

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::atomic<int> level_{static_cast<int>(LogLevel::Info)};
};

void LogError(const std::string& message);
// Server-provided text for a log line or a result: at most `max` bytes, with
// the full length noted when cut.
std::string ClipForLog(const std::string& text, size_t max = 2048);
void LogInfo(const std::string& message);
void LogDebug(const std::string& message);

// A consistent copy of the settings, taken at the start of every request
// sequence, so that a change mid-request cannot mix two configurations.
struct SettingsSnapshot
{
    bool initialized = false;
    std::string serviceUrl; // without trailing slash
    std::string userId;
    std::string appId;
    std::string appSecret; // never logged, never sent
    std::string cacheDir;
    std::string caFile;
    int httpMode = 3;
    int proxyType = 0;
    std::string proxyHost;
    int proxyPort = 0;
    std::string proxyUser;
    std::string proxyPassword;
};

class Settings
{
public:
    static Settings& Instance();
    SettingsSnapshot Snapshot() const;

    void SetServiceUrl(std::string url);
    void SetCacheDir(std::string dir);
    void SetCaFile(std::string path);
    void SetHttpMode(int mode);
    void SetProxy(int type, std::string host, int port, std::string user, std::string password);
    void SetAccount(std::string userId, std::string appId, std::string appSecret);
    void ClearAccount();

private:
    mutable std::mutex mutex_;
    SettingsSnapshot s_;
};

// Shares a total upload rate fairly between the running transfers: each gets
// limit / number-of-transfers, re-evaluated continuously so that a change of
// the limit or of the number of transfers takes effect at once.
class TrafficLimiter
{
public:
    static TrafficLimiter& Instance();
    void SetLimit(int64_t bytesPerSecond) { limit_.store(bytesPerSecond); }
    int64_t Limit() const { return limit_.load(); }
    void Join() { active_.fetch_add(1); }
    void Leave() { active_.fetch_sub(1); }
    int64_t ShareBytesPerSecond() const;

private:
    std::atomic<int64_t> limit_{0};
    std::atomic<int> active_{0};
};

// Per-transfer token bucket fed by the limiter. Used by one thread only.
class RateBucket
{
public:
    RateBucket();
    ~RateBucket();
    RateBucket(const RateBucket&) = delete;
    RateBucket& operator=(const RateBucket&) = delete;
    // How many of `wanted` bytes may go now (0 = wait).
    size_t Take(size_t wanted);
    // Whether enough tokens accumulated to make a paused transfer worthwhile.
    bool Ready();

private:
    void Refill();
    double tokens_ = 0;
    int64_t lastNs_ = 0;
};

int64_t MonotonicNs();
// Inside a catch block: the result code for the exception being handled
// (ORV_ERR_OUT_OF_MEMORY, ORV_ERR_SYSTEM_RESOURCE, else ORV_ERR_INTERNAL).
int CurrentExceptionCode() noexcept;
std::string ToHex(const unsigned char* data, size_t size);
std::string Base64(const std::string& data);
std::string Md5HexUpper(const std::string& data);

} // namespace orvup
