// orvane-platform-server: the local platform (REST API, upload endpoint,
// update service and files) on loopback HTTPS, for the demo and for manual
// testing of the client.

#include "orvsrv/platform_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>

namespace {

// N:STATUS[:PATTERN]
bool ParseFailNext(const QString& text, orvsrv::FaultRule* rule)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2)
        return false;
    bool ok1 = false, ok2 = false;
    rule->failNextN = parts[0].toInt(&ok1);
    rule->httpStatus = parts[1].toInt(&ok2);
    if (parts.size() > 2)
        rule->pathPattern = parts.mid(2).join(QLatin1Char(':'));
    return ok1 && ok2 && rule->failNextN > 0 && rule->httpStatus >= 100 && rule->httpStatus <= 599;
}

// VALUE[:PATTERN]
bool ParseValuePattern(const QString& text, qint64* value, QString* pattern)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    *value = (colon < 0 ? text : text.left(colon)).toLongLong(&ok);
    if (colon >= 0)
        *pattern = text.mid(colon + 1);
    return ok && *value >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-platform-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local Orvane platform: REST API, upload endpoint, update service and file hosting.\n"
        "Fault switches take an optional path pattern (a regular expression on the request path)\n"
        "after a colon; without it they apply to every path."));
    parser.addHelpOption();
    const QString defaultData = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                    .filePath(QStringLiteral("orvane-platform-server"));
    QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Listen address (default 127.0.0.1)."),
                              QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    QCommandLineOption port(QStringLiteral("port"),
                            QStringLiteral("Port (default 18443; 0 = any free port)."), QStringLiteral("n"),
                            QStringLiteral("18443"));
    QCommandLineOption data(QStringLiteral("data"),
                            QStringLiteral("Data directory (default %1).").arg(defaultData),
                            QStringLiteral("dir"), defaultData);
    QCommandLineOption plain(QStringLiteral("http"), QStringLiteral("Serve plain HTTP instead of HTTPS."));
    QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed data set: demo."),
                            QStringLiteral("name"));
    QCommandLineOption seedLarge(
        QStringLiteral("seed-large"),
        QStringLiteral("Add an account with a generated library of C categories and V videos."),
        QStringLiteral("C:V"));
    QCommandLineOption updateVersion(QStringLiteral("update-version"),
                                     QStringLiteral("Version the update service offers (default 2.4.3)."),
                                     QStringLiteral("x.y.z"), QStringLiteral("2.4.3"));
    QCommandLineOption lockout(
        QStringLiteral("lockout"),
        QStringLiteral("Seconds an account stays locked after five wrong passwords (default 300)."),
        QStringLiteral("s"), QStringLiteral("300"));
    QCommandLineOption latency(QStringLiteral("latency"),
                               QStringLiteral("Delay every answer by MS milliseconds."),
                               QStringLiteral("MS[:PATTERN]"));
    QCommandLineOption jitter(QStringLiteral("jitter"),
                              QStringLiteral("Add a random delay of up to MS milliseconds."),
                              QStringLiteral("MS[:PATTERN]"));
    QCommandLineOption failNext(
        QStringLiteral("fail-next"),
        QStringLiteral("Answer the next N requests with STATUS and a JSON error envelope."),
        QStringLiteral("N:STATUS[:PATTERN]"));
    QCommandLineOption failBare(
        QStringLiteral("fail-next-bare"),
        QStringLiteral("Like --fail-next, with a plain-text body instead of the envelope."),
        QStringLiteral("N:STATUS[:PATTERN]"));
    QCommandLineOption html(
        QStringLiteral("html-errors"),
        QStringLiteral("Answer with an HTML error page of STATUS (until the server stops)."),
        QStringLiteral("STATUS[:PATTERN]"));
    QCommandLineOption dropRequest(
        QStringLiteral("drop-request-after"),
        QStringLiteral("Close the connection after about K bytes of the next request body."),
        QStringLiteral("K[:PATTERN]"));
    QCommandLineOption dropKeep(
        QStringLiteral("drop-upload-after"),
        QStringLiteral("Like --drop-request-after; an upload PATCH stores those K bytes first."),
        QStringLiteral("K[:PATTERN]"));
    QCommandLineOption dropHeaders(
        QStringLiteral("drop-headers-after"),
        QStringLiteral("Send K bytes of the next answer's status line and headers, then close."),
        QStringLiteral("K[:PATTERN]"));
    QCommandLineOption method(QStringLiteral("fault-method"),
                              QStringLiteral("Limit every fault switch to requests of METHOD."),
                              QStringLiteral("METHOD"));
    QCommandLineOption plainTus(QStringLiteral("plain-tus"),
                                QStringLiteral("Upload endpoint without the platform's additions."));
    QCommandLineOption dropResponse(
        QStringLiteral("drop-after"),
        QStringLiteral("Close the connection after K bytes of the next response body."),
        QStringLiteral("K[:PATTERN]"));
    QCommandLineOption slow(QStringLiteral("slow-body"),
                            QStringLiteral("Send response bodies at BPS bytes per second."),
                            QStringLiteral("BPS[:PATTERN]"));
    QCommandLineOption garbage(QStringLiteral("garbage"),
                               QStringLiteral("Answer with garbage of KIND: %1.")
                                   .arg(orvsrv::GarbageKinds().join(QStringLiteral(", "))),
                               QStringLiteral("KIND[:PATTERN]"));
    QCommandLineOption tlsFault(
        QStringLiteral("tls-fault"),
        QStringLiteral("Serve a broken certificate: wrong-host, expired, unknown-ca."),
        QStringLiteral("KIND"));
    QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print one line per request."));
    parser.addOptions({listen,        port,        data,     plain,       seed,         seedLarge,
                       updateVersion, lockout,     latency,  jitter,      failNext,     failBare,
                       html,          dropRequest, dropKeep, dropHeaders, dropResponse, slow,
                       garbage,       method,      plainTus, tlsFault,    verbose});
    parser.process(app);

    auto die = [](const QString& text) {
        std::fprintf(stderr, "orvane-platform-server: %s\n", qPrintable(text));
        return 2;
    };

    orvsrv::ServerOptions opt;
    opt.dataDir = parser.value(data);
    opt.host = parser.value(listen);
    bool ok = false;
    const int p = parser.value(port).toInt(&ok);
    if (!ok || p < 0 || p > 65535)
        return die(QStringLiteral("invalid port %1").arg(parser.value(port)));
    opt.port = quint16(p);
    opt.https = !parser.isSet(plain);
    opt.updateVersion = parser.value(updateVersion);
    opt.lockoutSeconds = parser.value(lockout).toInt(&ok);
    if (!ok || opt.lockoutSeconds < 0)
        return die(QStringLiteral("invalid --lockout"));
    opt.accessLog = parser.isSet(verbose);
    opt.tlsFault = parser.value(tlsFault);
    opt.plainTus = parser.isSet(plainTus);
    if (parser.isSet(seed)) {
        if (parser.value(seed) != QLatin1String("demo"))
            return die(QStringLiteral("unknown seed %1 (known: demo)").arg(parser.value(seed)));
        opt.seed = QStringLiteral("demo");
    }

    QVector<orvsrv::FaultRule> rules;
    for (const QString& v : parser.values(failNext)) {
        orvsrv::FaultRule r;
        if (!ParseFailNext(v, &r))
            return die(QStringLiteral("invalid --fail-next %1").arg(v));
        rules << r;
    }
    for (const QString& v : parser.values(failBare)) {
        orvsrv::FaultRule r;
        if (!ParseFailNext(v, &r))
            return die(QStringLiteral("invalid --fail-next-bare %1").arg(v));
        r.jsonEnvelope = false;
        rules << r;
    }
    auto valueRule = [&](const QCommandLineOption& o, auto apply) {
        for (const QString& v : parser.values(o)) {
            orvsrv::FaultRule r;
            qint64 value = 0;
            if (!ParseValuePattern(v, &value, &r.pathPattern))
                return die(QStringLiteral("invalid --%1 %2").arg(o.names().constFirst(), v));
            apply(r, value);
            rules << r;
        }
        return 0;
    };
    int bad = valueRule(latency, [](orvsrv::FaultRule& r, qint64 v) { r.latencyMs = int(v); });
    bad = bad ? bad : valueRule(jitter, [](orvsrv::FaultRule& r, qint64 v) { r.latencyJitterMs = int(v); });
    bad = bad ? bad : valueRule(html, [](orvsrv::FaultRule& r, qint64 v) {
        r.htmlPage = true;
        r.httpStatus = int(v);
    });
    bad = bad ? bad
              : valueRule(dropRequest, [](orvsrv::FaultRule& r, qint64 v) { r.dropRequestAfterBytes = v; });
    bad = bad ? bad : valueRule(dropKeep, [](orvsrv::FaultRule& r, qint64 v) {
        r.dropRequestAfterBytes = v;
        r.keepDroppedBody = true;
    });
    bad = bad ? bad
              : valueRule(dropHeaders, [](orvsrv::FaultRule& r, qint64 v) { r.dropHeadersAfterBytes = v; });
    bad = bad ? bad
              : valueRule(dropResponse, [](orvsrv::FaultRule& r, qint64 v) { r.dropResponseAfterBytes = v; });
    bad = bad ? bad : valueRule(slow, [](orvsrv::FaultRule& r, qint64 v) { r.slowBodyBytesPerSec = v; });
    if (bad)
        return bad;
    for (const QString& v : parser.values(garbage)) {
        orvsrv::FaultRule r;
        r.garbage = v.section(QLatin1Char(':'), 0, 0);
        r.pathPattern = v.section(QLatin1Char(':'), 1);
        if (!orvsrv::GarbageKinds().contains(r.garbage))
            return die(QStringLiteral("invalid --garbage %1").arg(v));
        rules << r;
    }
    for (orvsrv::FaultRule& r : rules)
        r.method = parser.value(method).toUpper();

    // Signals are taken synchronously below; block them before any thread starts.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    orvsrv::PlatformServer server(opt);
    QString largeEmail;
    if (parser.isSet(seedLarge)) {
        const QStringList cv = parser.value(seedLarge).split(QLatin1Char(':'));
        bool okC = false, okV = false;
        const int c = cv.value(0).toInt(&okC);
        const int v = cv.value(1).toInt(&okV);
        if (cv.size() != 2 || !okC || !okV || c < 1 || v < 0 || c > 1000000 || v > 10000000)
            return die(QStringLiteral("invalid --seed-large %1").arg(parser.value(seedLarge)));
        largeEmail = server.SeedLarge(c, v);
        if (largeEmail.isEmpty())
            return die(QStringLiteral("generating the large data set failed"));
    }
    QString error;
    if (!server.Start(&error))
        return die(error);
    if (opt.host != QLatin1String("127.0.0.1") && opt.host != QLatin1String("::1") &&
        opt.host != QLatin1String("localhost"))
        std::fprintf(stderr,
                     "Warning: listening on %s, not only on loopback; the demo accounts are public.\n",
                     qPrintable(opt.host));
    for (const orvsrv::FaultRule& r : rules)
        server.AddFault(r);

    std::printf("Orvane platform server listening on %s\n", qPrintable(server.BaseUrl()));
    if (opt.https)
        std::printf("CA file to trust: %s\n", qPrintable(QDir::toNativeSeparators(server.CaFile())));
    std::printf("Data directory:   %s\n", qPrintable(QDir::toNativeSeparators(server.DataDir())));
    if (opt.seed == QLatin1String("demo")) {
        std::printf("Demo logins (password %s):\n", orvsrv::kDemoPassword);
        std::printf("  main account:          %s\n", orvsrv::kDemoMainEmail);
        std::printf("  sub-account (limited): %s\n", orvsrv::kDemoSubEmail);
        std::printf("  expired sub-account:   %s\n", orvsrv::kDemoExpiredSubEmail);
        std::printf("  no category editing:   %s\n", orvsrv::kDemoReaderSubEmail);
    }
    if (!largeEmail.isEmpty())
        std::printf("Large data set account: %s (password %s)\n", qPrintable(largeEmail),
                    orvsrv::kDemoPassword);
    std::printf("Client settings: [NetWorkManager] customSSLCacert=<CA file>; API base %s\n",
                qPrintable(server.BaseUrl()));
    std::printf("Stop with Ctrl+C.\n");
    std::fflush(stdout);

    int sig = 0;
    sigwait(&sigs, &sig);
    std::printf("Stopping (signal %d)\n", sig);
    server.Stop();
    return 0;
}
