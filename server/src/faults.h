#pragma once
// Fault injection for tests and benchmarks: latency, forced failures, HTML
// error pages, dropped connections and slow bodies, chosen per path pattern.

#include "orvsrv/platform_server.h"

#include <QRegularExpression>

#include <map>
#include <mutex>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace orvsrv {

class FaultInjector
{
public:
    int Add(const FaultRule& rule);
    void Remove(int id);
    void Clear();
    int Hits(int id);

    // Before routing: sleeps for latency, answers forced failures and drops
    // the request body. Returns true when the request has been answered.
    bool Before(const httplib::Request& req, httplib::Response& res);
    // After routing, before the answer is written: drops or paces the body.
    void After(const httplib::Request& req, httplib::Response& res);

private:
    struct Entry
    {
        FaultRule rule;
        QRegularExpression re;
        int failLeft = 0;
        int requestDropsLeft = 0;
        int responseDropsLeft = 0;
        int headerDropsLeft = 0;
        int hits = 0;
        bool Matches(const httplib::Request& req) const;
    };
    std::mutex m_mutex;
    std::map<int, Entry> m_rules;
    int m_nextId = 1;
};

// Closes the connection that carries req (both directions), so the peer sees
// a dropped connection instead of an answer. With `reset` the final close
// resets it: a peer still sending then fails at once instead of waiting on
// a window that no reader will open again.
void ShutdownConnection(const httplib::Request& req, bool reset = false);
// The body cut that Before armed for the request this thread serves (-1: none).
qint64 BodyCutOfCurrentRequest();

} // namespace orvsrv
