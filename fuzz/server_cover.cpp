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

#include <cstdlib>

namespace {

// One plain-HTTP server for the whole run; it lives until the process ends.
httplib::Client& CoverClient()
{
    static httplib::Client* client = [] {
        auto* dir = new QTemporaryDir;
        orvsrv::ServerOptions options;
        options.dataDir = dir->path();
        options.https = false;
        options.seed = QStringLiteral("demo");
        auto* server = new orvsrv::PlatformServer(options);
        QString error;
        if (!server->Start(&error)) {
            std::fprintf(stderr, "server: %s\n", qPrintable(error));
            std::abort();
        }
        auto* c = new httplib::Client("127.0.0.1", server->Port());
        c->set_keep_alive(true);
        c->set_read_timeout(10, 0);
        return c;
    }();
    return *client;
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
