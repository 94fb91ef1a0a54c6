// Cover uploads on the local server: the picture check that reads image
// headers before decoding (ORV_FUZZ_PARSER 0), and whole multipart bodies
// posted to the cover endpoint of a running server over loopback (1), which
// goes through the HTTP library's multipart parser and our part collection.

#include "fuzz.h"

#include "api.h"
#include "orvsrv/platform_server.h"

#include <QImage>
#include <QTemporaryDir>

#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// One plain-HTTP server for the whole run, reachable until the process ends.
struct CoverServer
{
    QTemporaryDir dir;
    std::unique_ptr<orvsrv::PlatformServer> server;
    std::unique_ptr<httplib::Client> client;
};

httplib::Client& CoverClient()
{
    static CoverServer* s = [] {
        auto* made = new CoverServer;
        orvsrv::ServerOptions options;
        options.dataDir = made->dir.path();
        options.https = false;
        options.seed = QStringLiteral("demo");
        made->server = std::make_unique<orvsrv::PlatformServer>(options);
        QString error;
        if (!made->server->Start(&error)) {
            std::fprintf(stderr, "server: %s\n", qPrintable(error));
            std::abort();
        }
        made->client = std::make_unique<httplib::Client>("127.0.0.1", made->server->Port());
        made->client->set_keep_alive(true);
        made->client->set_read_timeout(10, 0);
        return made;
    }();
    return *s->client;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    const QByteArray in(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (ORV_FUZZ_PARSER == 0) {
        QImage image;
        QByteArray format;
        orvsrv::ApiError err;
        if (orvsrv::ReadCoverImage(in, &image, &format, &err) &&
            (image.width() > 1920 || image.height() > 1080 || format.isEmpty()))
            std::abort(); // accepted what the check must refuse
    } else {
        const auto res = CoverClient().Post("/v3/video/upload-cover-image", in.constData(), in.size(),
                                            "multipart/form-data; boundary=orvfuzz");
        // Unsigned requests never get past authentication; any answer but a
        // refusal means the server lost its footing.
        if (res && (res->status < 400 || res->status >= 500))
            std::abort();
    }
    return 0;
}
