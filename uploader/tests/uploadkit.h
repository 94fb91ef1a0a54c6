#pragma once
// What the upload library tests share: a handle with every callback recorded.

#include "orv_uploader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace orvtest {

// Collects every callback of one handle.
struct Recorder
{
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<int> results;
    std::vector<QString> resultDescs;
    std::vector<int> deletes;
    std::vector<qint64> uploaded;
    qint64 incrementSum = 0;
    bool progressNonMonotonic = false;
    bool onCallerThread = false;
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> callbacks{0};
    size_t runsAtLastProgress = 0;
    size_t resultsSeen = 0;
    size_t deletesSeen = 0;

    static void OnProgress(int inc, int64_t up, int64_t, void* user)
    {
        auto* r = static_cast<Recorder*>(user);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->Note();
        if (!r->uploaded.empty() && up < r->uploaded.back() && r->results.size() == r->runsAtLastProgress)
            r->progressNonMonotonic = true;
        r->runsAtLastProgress = r->results.size();
        r->uploaded.push_back(up);
        r->incrementSum += inc;
    }
    static void OnResult(int code, const char* desc, void* user)
    {
        static_cast<Recorder*>(user)->Add(&Recorder::results, code, desc);
    }
    static void OnDelete(int code, const char* desc, void* user)
    {
        static_cast<Recorder*>(user)->Add(&Recorder::deletes, code, desc);
    }
    void Add(std::vector<int> Recorder::*list, int code, const char* desc)
    {
        std::lock_guard<std::mutex> lock(mutex);
        Note();
        (this->*list).push_back(code);
        if (list == &Recorder::results)
            resultDescs.push_back(desc ? QString::fromUtf8(desc) : QString());
        cv.notify_all();
    }
    void Note()
    {
        callbacks++;
        if (std::this_thread::get_id() == caller)
            onCallerThread = true;
    }

    // The next result or delete outcome, or -1 after the time-out.
    int WaitResult(int timeoutMs = 120000) { return WaitNext(results, resultsSeen, timeoutMs); }
    int WaitDelete(int timeoutMs = 30000) { return WaitNext(deletes, deletesSeen, timeoutMs); }
    int WaitNext(const std::vector<int>& list, size_t& seen, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return list.size() > seen; }))
            return -1;
        return list[seen++];
    }
    qint64 LastUploaded()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return uploaded.empty() ? 0 : uploaded.back();
    }
};

struct Handle
{
    ORVUploaderHandle h = ORVUploaderCreate();
    Recorder rec;
    QByteArray path;
    ~Handle() { ORVUploaderDestroy(h); }
    int Bind(const QString& file, const char* title = "A title", qint64 cateId = 1)
    {
        path = file.toUtf8();
        ORVUploaderParam p{};
        p.filePath = path.constData();
        p.title = title;
        p.description = "Beschreibung mit Umlauten: äöü";
        p.tags = "one,two";
        p.cateId = cateId;
        p.luping = 1;
        const int rc = ORVUploaderSetParam(h, &p);
        Hook();
        return rc;
    }
    // Binds and starts; the first failing code.
    int Start(const QString& file, const char* title = "A title", qint64 cateId = 1)
    {
        const int rc = Bind(file, title, cateId);
        return rc != 0 ? rc : ORVUploaderStart(h);
    }
    // Starts and waits for the run's result: the first failing code, or the result (-1: none came).
    int Run(const QString& file, int timeoutMs = 120000, const char* title = "A title", qint64 cateId = 1)
    {
        const int rc = Start(file, title, cateId);
        return rc != 0 ? rc : rec.WaitResult(timeoutMs);
    }
    void Hook()
    {
        ORVUploaderSetDeleteHandler(h, &Recorder::OnDelete, &rec);
        ORVUploaderSetResultHandler(h, &Recorder::OnResult, &rec);
        ORVUploaderSetProgressHandler(h, &Recorder::OnProgress, &rec);
    }
    QString Vid() const { return QString::fromUtf8(ORVUploaderGetVID(h)); }
};

inline bool SameContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

} // namespace orvtest
