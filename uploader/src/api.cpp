// The exported C interface. Each handle owns one worker thread that runs its
// uploads and deletes one after the other; the caller's threads only queue
// commands and set the stop flag, so no call blocks on the network. No
// exception leaves an exported function or a worker thread: running out of
// memory or of threads becomes a result code.

#include "orv_uploader.h"

#include "core.h"
#include "fileinfo.h"
#include "upload.h"

#include <curl/curl.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

using namespace orvup;

namespace {

enum class Command
{
    Run,
    Delete,
    Quit
};

std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}

std::set<ORVUploader*>& Registry()
{
    static std::set<ORVUploader*> handles;
    return handles;
}

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

// Runs the body of an exported function; what it throws becomes a code.
template <typename Body> int Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return CurrentExceptionCode();
    }
}

// For the functions without a result: the failure is swallowed.
template <typename Body> void GuardedVoid(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}

} // namespace

struct ORVUploader
{
    std::mutex mutex;
    std::condition_variable cv;
    UploadParams params; // guarded by mutex; copied by the worker per run
    std::string vid;     // what GetVID returns
    ORVProgressHandler onProgress = nullptr;
    void* progressData = nullptr;
    ORVResultHandler onResult = nullptr;
    void* resultData = nullptr;
    ORVDeleteHandler onDelete = nullptr;
    void* deleteData = nullptr;

    std::thread worker;
    std::deque<Command> queue;
    bool busy = false; // a command is executing
    Command current = Command::Quit;
    bool ending = false; // the current command is reporting its outcome
    std::atomic<int> stop{kRunOn};

    void EnsureWorker()
    {
        if (!worker.joinable())
            worker = std::thread([this] { Loop(); });
    }

    bool OnWorker() const { return worker.joinable() && worker.get_id() == std::this_thread::get_id(); }

    // Ends the current command without callbacks and waits until the worker
    // is idle. The lock is held on entry and on return.
    void Quiesce(std::unique_lock<std::mutex>& lock, int reason)
    {
        queue.clear();
        if (busy)
            stop.store(reason);
        if (!OnWorker())
            cv.wait(lock, [this] { return !busy; });
    }

    void Loop()
    {
        for (;;) {
            Command cmd;
            {
                std::unique_lock<std::mutex> lock(mutex);
                cv.wait(lock, [this] { return !queue.empty(); });
                cmd = queue.front();
                queue.pop_front();
                if (cmd == Command::Quit)
                    return;
                busy = true;
                current = cmd;
                ending = false;
                stop.store(kRunOn);
            }
            try {
                UploadParams p;
                {
                    // Stable while busy: SetParam refuses, SetVID and Release wait.
                    std::lock_guard<std::mutex> lock(mutex);
                    p = params;
                }
                if (cmd == Command::Run)
                    DoRun(p);
                else
                    DoDelete(p.vid);
            } catch (...) {
                // Copying the parameters or a handler's bookkeeping failed (the
                // run itself reports its failures); the worker stays usable.
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                busy = false;
            }
            cv.notify_all();
        }
    }

    void DoRun(const UploadParams& p)
    {
        ProgressFn progress = [this](int inc, int64_t done, int64_t total) {
            ORVProgressHandler fn;
            void* data;
            {
                std::lock_guard<std::mutex> lock(mutex);
                fn = onProgress;
                data = progressData;
            }
            if (fn && stop.load() != kStopDestroy)
                fn(inc, done, total, data);
        };
        const Outcome out = RunUpload(p, stop, progress);
        const int reason = stop.load();
        if (reason != kRunOn && reason != kStopPause)
            return; // ended by Release, Stop, Delete or Destroy: no result
        ORVResultHandler fn;
        void* data;
        {
            std::lock_guard<std::mutex> lock(mutex);
            fn = onResult;
            data = resultData;
            ending = true; // a Start from the handler queues a new run
        }
        if (fn)
            fn(out.code, out.desc.empty() ? nullptr : out.desc.c_str(), data);
    }

    void DoDelete(const std::string& v)
    {
        const Outcome out = v.empty() ? Outcome{} : DeleteUpload(v, stop);
        if (stop.load() == kStopDestroy)
            return;
        ORVDeleteHandler fn;
        void* data;
        {
            std::lock_guard<std::mutex> lock(mutex);
            fn = onDelete;
            data = deleteData;
            ending = true;
        }
        if (fn)
            fn(out.code, out.desc.empty() ? nullptr : out.desc.c_str(), data);
    }

    // Stops everything and ends the worker thread.
    void Shutdown()
    {
        std::unique_lock<std::mutex> lock(mutex);
        Quiesce(lock, kStopDestroy);
        if (!worker.joinable())
            return;
        queue.push_back(Command::Quit);
        lock.unlock();
        cv.notify_all();
        if (OnWorker()) {
            worker.detach(); // called from a handler: the thread ends by itself
        } else {
            worker.join();
        }
    }
};

namespace {

// Drops queued runs and asks the running one, if any, to end with `how`.
int EndRun(ORVUploaderHandle h, int how)
{
    if (!h)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        std::lock_guard<std::mutex> lock(h->mutex);
        for (auto it = h->queue.begin(); it != h->queue.end();)
            it = *it == Command::Run ? h->queue.erase(it) : it + 1;
        int expected = kRunOn;
        if (h->busy && h->current == Command::Run)
            h->stop.compare_exchange_strong(expected, how);
        return ORV_OK;
    });
}

// The handlers are plain stores under the handle's lock.
template <typename Fn>
int SetHandler(ORVUploaderHandle h, Fn ORVUploader::*slot, void* ORVUploader::*data, Fn fn, void* userData)
{
    if (!h)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        std::lock_guard<std::mutex> lock(h->mutex);
        h->*slot = fn;
        h->*data = userData;
        return ORV_OK;
    });
}

} // namespace

extern "C" {

int ORVSetSdkLogFile(const char* path)
{
    if (!path || !*path)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int { return Log::Instance().Open(path) ? ORV_OK : ORV_ERR_LOG_FILE; });
}

int ORVSetSdkLogLevel(int level)
{
    if (level < 0 || level > 3)
        return ORV_ERR_INVALID_ARGUMENT;
    Log::Instance().SetLevel(level);
    return ORV_OK;
}

int ORVSetSdkCachePath(const char* path)
{
    if (!path || !*path)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        const std::string dir = TrimSeparators(path);
        if (!MakeFolders(dir)) {
            LogError("cache path unusable: " + dir);
            return ORV_ERR_CACHE;
        }
        Settings::Instance().SetCacheDir(dir);
        return ORV_OK;
    });
}

int ORVSetSdkServiceUrl(const char* baseUrl)
{
    return Guarded([&]() -> int {
        const std::string url = Text(baseUrl);
        if (url.compare(0, 8, "https://") != 0 && url.compare(0, 7, "http://") != 0)
            return ORV_ERR_INVALID_ARGUMENT;
        Settings::Instance().SetServiceUrl(url);
        LogInfo("upload service " + url);
        return ORV_OK;
    });
}

int ORVInitSdkLibrary(const char* userId, const char* appId, const char* appSecret)
{
    if (!userId || !*userId || !appId || !*appId || !appSecret || !*appSecret)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        static std::once_flag curlInit;
        std::call_once(curlInit, [] { curl_global_init(CURL_GLOBAL_ALL); });
        Settings::Instance().SetAccount(userId, appId, appSecret);
        LogInfo(std::string("initialised for user ") + userId + ", app " + appId + ", version " +
                ORVGetSdkVersion());
        return ORV_OK;
    });
}

int ORVSetSdkHttpRequest(int mode)
{
    if (mode < 0 || mode > 3)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        Settings::Instance().SetHttpMode(mode);
        return ORV_OK;
    });
}

int ORVSetSdkCacertFile(const char* path)
{
    return Guarded([&]() -> int {
        Settings::Instance().SetCaFile(Text(path));
        LogInfo("CA file " + Text(path));
        return ORV_OK;
    });
}

int ORVSetSdkProxy(int type, const char* host, int port, const char* user, const char* password)
{
    if (type != 0 && (type != 1 || !host || !*host || port < 0 || port > 65535))
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        if (type == 0) {
            Settings::Instance().SetProxy(0, std::string(), 0, std::string(), std::string());
            LogInfo("proxy off");
            return ORV_OK;
        }
        Settings::Instance().SetProxy(1, host, port, Text(user), Text(password));
        LogInfo("proxy http://" + Text(host) + ":" + std::to_string(port));
        return ORV_OK;
    });
}

int ORVSetSdkTrafficLimit(int totalKBps, int reserved)
{
    (void)reserved;
    if (totalKBps < 0)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        TrafficLimiter::Instance().SetLimit(static_cast<int64_t>(totalKBps) * 1024);
        LogInfo("traffic limit " + std::to_string(totalKBps) + " KB/s");
        return ORV_OK;
    });
}

const char* ORVGetSdkVersion(void)
{
    return "1.0.0";
}

const char* ORVGetSdkErrorDescription(int code)
{
    return DescribeCode(code);
}

void ORVReleaseSdkLibrary(void)
{
    GuardedVoid([] {
        std::set<ORVUploader*> handles;
        {
            std::lock_guard<std::mutex> lock(RegistryMutex());
            handles = Registry();
        }
        for (ORVUploader* h : handles)
            h->Shutdown();
        Settings::Instance().ClearAccount();
        LogInfo("released");
    });
}

ORVUploaderHandle ORVUploaderCreate(void)
{
    ORVUploaderHandle created = nullptr;
    GuardedVoid([&] {
        auto h = std::make_unique<ORVUploader>();
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry().insert(h.get());
        created = h.release();
    });
    return created;
}

void ORVUploaderDestroy(ORVUploaderHandle h)
{
    if (!h)
        return;
    GuardedVoid([&] {
        {
            std::lock_guard<std::mutex> lock(RegistryMutex());
            Registry().erase(h);
        }
        const bool self = h->OnWorker();
        h->Shutdown();
        if (!self)
            delete h;
        // From a handler the handle must outlive its own thread; it is leaked
        // rather than freed under the running callback.
    });
}

int ORVUploaderSetParam(ORVUploaderHandle h, const ORVUploaderParam* param)
{
    if (!h || !param || !param->filePath || !*param->filePath)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        const SettingsSnapshot s = Settings::Instance().Snapshot();
        if (!s.initialized)
            return ORV_ERR_NOT_INITIALIZED;
        UploadParams p;
        p.hasFile = true;
        p.path = param->filePath;
        p.title = Text(param->title);
        p.description = Text(param->description);
        p.tags = Text(param->tags);
        p.cateId = param->cateId;
        p.luping = param->luping;
        p.keepSource = param->keepSource;
        FileIdentity id;
        const int rc = ComputeVid(s.userId, p.path, &p.vid, &id);
        if (rc == ORV_ERR_FILE_NOT_EXIST)
            return rc;
        // An unreadable file still gets a handle: its run reports the error.
        std::unique_lock<std::mutex> lock(h->mutex);
        if (h->busy)
            return ORV_ERR_BUSY;
        std::string vid = p.vid;
        h->params = std::move(p);
        h->vid = std::move(vid);
        return ORV_OK;
    });
}

const char* ORVUploaderGetVID(ORVUploaderHandle h)
{
    const char* vid = "";
    if (h) {
        GuardedVoid([&] {
            std::lock_guard<std::mutex> lock(h->mutex);
            vid = h->vid.c_str();
        });
    }
    return vid;
}

int ORVUploaderSetVID(ORVUploaderHandle h, const char* vid)
{
    if (!h || !vid || !IsWellFormedVid(vid))
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        std::unique_lock<std::mutex> lock(h->mutex);
        h->Quiesce(lock, kStopSilent);
        h->params.vid = vid;
        h->vid = vid;
        return ORV_OK;
    });
}

int ORVUploaderRelease(ORVUploaderHandle h)
{
    if (!h)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        std::unique_lock<std::mutex> lock(h->mutex);
        h->Quiesce(lock, kStopSilent);
        h->params.vid.clear();
        h->vid.clear();
        return ORV_OK;
    });
}

int ORVUploaderStart(ORVUploaderHandle h)
{
    if (!h)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        if (!Settings::Instance().Snapshot().initialized)
            return ORV_ERR_NOT_INITIALIZED;
        std::lock_guard<std::mutex> lock(h->mutex);
        if (h->params.vid.empty())
            return ORV_ERR_INVALID_ARGUMENT;
        for (Command c : h->queue) {
            if (c == Command::Delete)
                return ORV_ERR_BUSY;
            if (c == Command::Run)
                return ORV_OK; // already queued
        }
        if (h->busy && h->current == Command::Delete && !h->ending)
            return ORV_ERR_BUSY;
        if (h->busy && h->stop.load() == kRunOn && !h->ending)
            return ORV_OK; // already running
        h->EnsureWorker();
        h->queue.push_back(Command::Run);
        h->cv.notify_all();
        return ORV_OK;
    });
}

int ORVUploaderPause(ORVUploaderHandle h)
{
    return EndRun(h, kStopPause);
}

int ORVUploaderStop(ORVUploaderHandle h)
{
    return EndRun(h, kStopSilent);
}

int ORVUploaderDelete(ORVUploaderHandle h)
{
    if (!h)
        return ORV_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int {
        std::lock_guard<std::mutex> lock(h->mutex);
        for (Command c : h->queue) {
            if (c == Command::Delete)
                return ORV_OK; // one delete is enough
        }
        h->EnsureWorker(); // first: without a thread nothing may change
        h->queue.clear();
        if (h->busy && h->current == Command::Run)
            h->stop.store(kStopDelete);
        h->queue.push_back(Command::Delete);
        h->cv.notify_all();
        return ORV_OK;
    });
}

int ORVUploaderSetProgressHandler(ORVUploaderHandle h, ORVProgressHandler handler, void* userData)
{
    return SetHandler(h, &ORVUploader::onProgress, &ORVUploader::progressData, handler, userData);
}

int ORVUploaderSetResultHandler(ORVUploaderHandle h, ORVResultHandler handler, void* userData)
{
    return SetHandler(h, &ORVUploader::onResult, &ORVUploader::resultData, handler, userData);
}

int ORVUploaderSetDeleteHandler(ORVUploaderHandle h, ORVDeleteHandler handler, void* userData)
{
    return SetHandler(h, &ORVUploader::onDelete, &ORVUploader::deleteData, handler, userData);
}

} // extern "C"
