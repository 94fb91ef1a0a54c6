// Downloads 100 thumbnails from the local platform server with 50 ms of
// injected latency per request, once through MultiDownload and once one at a
// time, and prints both times and their ratio.

#include "api/apicollection.h"
#include "base/config.h"

#include <orvsrv/platform_server.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <cstdio>
#include <vector>

using namespace ApiCollection;

namespace {

constexpr int kCount = 100;
constexpr int kDefaultLatencyMs = 50;

bool Fail(const char* what)
{
    std::fprintf(stderr, "bench_api_multidownload: %s\n", what);
    return false;
}

QList<QUrl> Thumbnails(quint64 root, int count)
{
    QList<QUrl> urls;
    const Result<ListVideoResult> list =
        Parsed(ListVideoRequest(QUuid::createUuid(), root, QString(), true, 1, count, NoSort, nullptr),
               ParseListVideoResponse);
    if (!list)
        return urls;
    QStringList vids;
    for (const QJsonValue& v : qAsConst(list->contents))
        vids << v.toObject().value(QStringLiteral("vid")).toString();
    const Result<VideoInfosResult> infos =
        Parsed(GetVideoInfoRequest(QUuid::createUuid(), vids, Basic, nullptr), ParseGetVideoInfoResponse);
    if (!infos)
        return urls;
    for (const VideoInfo& info : qAsConst(infos->infos))
        urls << info.thumbnailURL;
    return urls;
}

// Runs one batch into `dir`; returns milliseconds or -1.
qint64 Run(const QList<QUrl>& urls, const QString& dir, bool parallel)
{
    std::vector<DownloadInfo> items(static_cast<size_t>(urls.size()));
    QList<DownloadInfo*> pointers;
    for (int i = 0; i < urls.size(); ++i) {
        items[static_cast<size_t>(i)].url = urls.at(i);
        items[static_cast<size_t>(i)].file = QFileInfo(dir + QStringLiteral("/thumb%1.jpg").arg(i));
        pointers << &items[static_cast<size_t>(i)];
    }
    QElapsedTimer timer;
    timer.start();
    if (parallel) {
        if (MultiDownload(QUuid::createUuid(), pointers, nullptr, nullptr) != NoError)
            return -1;
    } else {
        for (DownloadInfo* item : qAsConst(pointers)) {
            if (MultiDownload(QUuid::createUuid(), {item}, nullptr, nullptr) != NoError)
                return -1;
        }
    }
    return timer.elapsed();
}

bool Main()
{
    QTemporaryDir temp;
    orvsrv::ServerOptions options;
    options.dataDir = temp.path() + QStringLiteral("/server");
    orvsrv::PlatformServer server(options);
    QString error;
    if (!server.Start(&error))
        return Fail(qPrintable(error));
    const QString email = server.SeedLarge(5, kCount);

    Config config(temp.path() + QStringLiteral("/global.ini"));
    Config::SetGlobal(&config);
    config.setValue(QStringLiteral("Custom"), QStringLiteral("apiUrl"), server.BaseUrl());
    config.setValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), server.CaFile());

    const Result<LoginResult> login = Parsed(
        LoginClientRequest(QUuid::createUuid(), email, QString::fromLatin1(orvsrv::kDemoPassword), nullptr),
        ParseLoginClientResponse);
    if (!login)
        return Fail("login failed");
    SetAccountCredentials(login->appId, login->appSecret);

    const QList<QUrl> urls = Thumbnails(login->cateId, kCount);
    if (urls.size() != kCount)
        return Fail("not enough thumbnails");

    // ORVANE_BENCH_LATENCY_MS overrides the injected latency for experiments.
    const int latencyMs = qEnvironmentVariableIsSet("ORVANE_BENCH_LATENCY_MS")
                              ? qEnvironmentVariableIntValue("ORVANE_BENCH_LATENCY_MS")
                              : kDefaultLatencyMs;
    orvsrv::FaultRule latency;
    latency.pathPattern = QStringLiteral("^/files/");
    latency.latencyMs = latencyMs;
    server.AddFault(latency);

    const qint64 parallel = Run(urls, temp.path() + QStringLiteral("/parallel"), true);
    const qint64 sequential = Run(urls, temp.path() + QStringLiteral("/sequential"), false);
    Config::SetGlobal(nullptr);
    if (parallel <= 0 || sequential <= 0)
        return Fail("a download failed");

    std::printf("thumbnails: %d, injected latency: %d ms per request\n", kCount, latencyMs);
    std::printf("MultiDownload (10 at a time): %lld ms\n", static_cast<long long>(parallel));
    std::printf("one at a time:                %lld ms\n", static_cast<long long>(sequential));
    std::printf("ratio: %.2f (goal: at least 5)\n", double(sequential) / double(parallel));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_ALL);
    const bool ok = Main();
    curl_global_cleanup();
    return ok ? 0 : 1;
}
