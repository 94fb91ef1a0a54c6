// Figures for the local platform server: start-up on a fresh data directory
// with the demo seed, generation of a large data set, and request rates for
// the calls the client makes most (category tree, list pages, thumbnails).
//
//   bench_platform_server [CATEGORIES VIDEOS]   (default 2000 20000)

#include "orvane/shared_constants.h"
#include "orvsrv/platform_server.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace {

struct Client
{
    Client(QString base, QString ca)
        : base(std::move(base)), ca(ca.toLocal8Bit()), h(curl_easy_init(), curl_easy_cleanup)
    {
    }
    // One handle for every request, so the figures show the server's work
    // rather than TLS handshakes.
    QByteArray Fetch(const QString& url, const QByteArray* post = nullptr)
    {
        QByteArray body;
        const QByteArray u = url.toUtf8();
        curl_easy_reset(h.get());
        curl_easy_setopt(h.get(), CURLOPT_URL, u.constData());
        curl_easy_setopt(h.get(), CURLOPT_CAINFO, ca.constData());
        curl_easy_setopt(h.get(), CURLOPT_PROXY, "");
        curl_easy_setopt(
            h.get(), CURLOPT_WRITEFUNCTION, +[](char* d, size_t s, size_t n, void* b) {
                static_cast<QByteArray*>(b)->append(d, int(s * n));
                return s * n;
            });
        curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &body);
        if (post) {
            curl_easy_setopt(h.get(), CURLOPT_POSTFIELDSIZE, long(post->size()));
            curl_easy_setopt(h.get(), CURLOPT_POSTFIELDS, post->constData());
        }
        if (curl_easy_perform(h.get()) != CURLE_OK)
            return QByteArray();
        return body;
    }
    QString base;
    QByteArray ca;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> h;
};

struct Session
{
    QString appId, secret;
    quint64 top = 0;

    bool Login(Client& c, const QString& email)
    {
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray(orvsrv::kDemoPassword), QCryptographicHash::Sha1)
                .toHex()
                .toUpper()
                .left(20);
        const QByteArray body = "email=" + QUrl::toPercentEncoding(email) + "&password=" + digest;
        const QJsonObject d =
            QJsonDocument::fromJson(c.Fetch(c.base + QStringLiteral("/v3/front/login-client"), &body))
                .object()
                .value(QStringLiteral("data"))
                .toObject();
        appId = d.value(QStringLiteral("appId")).toString();
        top = quint64(d.value(QStringLiteral("cateId")).toDouble());
        const QByteArray hex = QCryptographicHash::hash(
                                   QByteArray::fromStdString(orvane::AppSecretKeyMaterial()) +
                                       appId.toUtf8() + d.value(QStringLiteral("nonce")).toString().toUtf8(),
                                   QCryptographicHash::Md5)
                                   .toHex();
        const QByteArray cipher =
            QByteArray::fromBase64(d.value(QStringLiteral("appSecret")).toString().toLatin1());
        QByteArray out(cipher.size() + 16, '\0');
        std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
        int n1 = 0, n2 = 0;
        if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                               reinterpret_cast<const unsigned char*>(hex.constData()),
                               reinterpret_cast<const unsigned char*>(hex.constData() + 16)) != 1 ||
            EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                              reinterpret_cast<const unsigned char*>(cipher.constData()),
                              cipher.size()) != 1 ||
            EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
            return false;
        secret = QString::fromUtf8(out.left(n1 + n2));
        return !secret.isEmpty();
    }

    QString Query(QMap<QString, QString> p) const
    {
        p.insert(QStringLiteral("appId"), appId);
        p.insert(QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch()));
        QString text = secret;
        for (auto it = p.cbegin(); it != p.cend(); ++it)
            if (!it.value().isEmpty())
                text += it.key() + it.value();
        text += secret;
        p.insert(QStringLiteral("sign"),
                 QString::fromLatin1(
                     QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper()));
        QStringList items;
        for (auto it = p.cbegin(); it != p.cend(); ++it)
            items << it.key() + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(it.value()));
        return items.join(QLatin1Char('&'));
    }
};

template <class Fn> double RatePerSecond(int n, Fn fn)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        fn(i);
    return n / (t.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int categories = argc > 2 ? QByteArray(argv[1]).toInt() : 2000;
    const int videos = argc > 2 ? QByteArray(argv[2]).toInt() : 20000;

    QTemporaryDir dir;
    orvsrv::ServerOptions o;
    o.dataDir = dir.path();
    o.seed = QStringLiteral("demo");
    orvsrv::PlatformServer server(o);
    QElapsedTimer t;
    t.start();
    QString error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "start failed: %s\n", qPrintable(error));
        return 1;
    }
    const double startMs = t.nsecsElapsed() / 1e6;
    std::printf("start on a fresh data directory with the demo seed: %.1f ms (goal < 1000 ms, ratio %.2f)\n",
                startMs, startMs / 1000.0);

    t.restart();
    const QString large = server.SeedLarge(categories, videos);
    std::printf("large data set %d categories / %d videos: %.1f ms\n", categories, videos,
                t.nsecsElapsed() / 1e6);

    Client c(server.BaseUrl(), server.CaFile());
    Session demo, big;
    if (!demo.Login(c, QString::fromLatin1(orvsrv::kDemoMainEmail)) || !big.Login(c, large)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    const QString treeUrl = c.base + QStringLiteral("/v3/category/get-cate-tree?");
    const QString listUrl = c.base + QStringLiteral("/v3/video/list-video?");
    const QByteArray bigTree =
        c.Fetch(treeUrl + big.Query({{QStringLiteral("cateId"), QString::number(big.top)}}));
    std::printf("category tree of %d categories: %d bytes\n", categories, int(bigTree.size()));

    const double demoTree = RatePerSecond(200, [&](int) {
        c.Fetch(treeUrl + demo.Query({{QStringLiteral("cateId"), QString::number(demo.top)}}));
    });
    const double largeTree = RatePerSecond(20, [&](int) {
        c.Fetch(treeUrl + big.Query({{QStringLiteral("cateId"), QString::number(big.top)}}));
    });
    const double demoList = RatePerSecond(200, [&](int i) {
        c.Fetch(listUrl + demo.Query({{QStringLiteral("cateId"), QString::number(demo.top)},
                                      {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                      {QStringLiteral("page"), QString::number(1 + i % 3)},
                                      {QStringLiteral("pageSize"), QStringLiteral("20")}}));
    });
    const double largeList = RatePerSecond(100, [&](int i) {
        c.Fetch(listUrl + big.Query({{QStringLiteral("cateId"), QString::number(big.top)},
                                     {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                     {QStringLiteral("page"), QString::number(1 + i % 50)},
                                     {QStringLiteral("pageSize"), QStringLiteral("50")},
                                     {QStringLiteral("sort"), QStringLiteral("titleAsc")}}));
    });
    const double filtered = RatePerSecond(50, [&](int i) {
        c.Fetch(listUrl + big.Query({{QStringLiteral("cateId"), QString::number(big.top)},
                                     {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                     {QStringLiteral("title"), QString::number(100 + i)},
                                     {QStringLiteral("pageSize"), QStringLiteral("20")}}));
    });
    std::printf("get-cate-tree, demo tree:            %8.1f req/s\n", demoTree);
    std::printf("get-cate-tree, %6d categories:     %8.1f req/s\n", categories, largeTree);
    std::printf("list-video, demo, 20 per page:       %8.1f req/s\n", demoList);
    std::printf("list-video, %6d videos, 50/page:   %8.1f req/s\n", videos, largeList);
    std::printf("list-video with title filter:        %8.1f req/s\n", filtered);

    // Thumbnails: first request draws the picture, later ones read the file.
    const QJsonArray page =
        QJsonDocument::fromJson(
            c.Fetch(listUrl + demo.Query({{QStringLiteral("cateId"), QString::number(demo.top)},
                                          {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                          {QStringLiteral("pageSize"), QStringLiteral("60")}})))
            .object()
            .value(QStringLiteral("data"))
            .toObject()
            .value(QStringLiteral("contents"))
            .toArray();
    QStringList thumbs;
    for (const QJsonValue& v : page)
        thumbs << v.toObject()
                      .value(QStringLiteral("basicInfo"))
                      .toObject()
                      .value(QStringLiteral("thumbnailURL"))
                      .toString();
    if (thumbs.isEmpty())
        return 1;
    const double cold = RatePerSecond(int(thumbs.size()), [&](int i) { c.Fetch(thumbs[i]); });
    const double warm =
        RatePerSecond(int(thumbs.size()) * 3, [&](int i) { c.Fetch(thumbs[i % thumbs.size()]); });
    std::printf("thumbnails, first request (drawn):   %8.1f req/s\n", cold);
    std::printf("thumbnails, cached:                  %8.1f req/s (cached/drawn %.2f)\n", warm, warm / cold);
    server.Stop();
    curl_global_cleanup();
    return 0;
}
