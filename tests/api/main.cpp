// One executable for the web API client: wire-level and parsing tests, and
// the tests against the local platform server when it is part of the build.
// Test function names given on the command line run only in the class that
// has them.

#include "tst_apiclient.h"
#ifdef ORVANE_HAVE_PLATFORM_SERVER
#include "tst_apihostile.h"
#include "tst_apiserver.h"
#endif

#include <QCoreApplication>
#include <QMetaMethod>
#include <QTest>

#include "api/transport.h"

#include <curl/curl.h>

#include <cstdio>

namespace {

bool HasAnyFunction(const QObject& test, const QStringList& names)
{
    const QMetaObject* meta = test.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QString name = QString::fromLatin1(meta->method(i).name());
        for (const QString& wanted : names) {
            if (wanted.section(QLatin1Char(':'), 0, 0) == name)
                return true;
        }
    }
    return false;
}

int Run(QObject& test, const QStringList& functions, int argc, char** argv)
{
    if (!functions.isEmpty() && !HasAnyFunction(test, functions))
        return 0;
    return QTest::qExec(&test, argc, argv);
}

} // namespace

// Child mode for the diagnostic environment variables, which are read before
// main: one GET to the given URL, then the result code on stdout.
int RunChildRequest(const QString& url)
{
    curl_global_init(CURL_GLOBAL_ALL);
    QByteArray response;
    const ApiCollection::RequestError error =
        ApiCollection::ExecuteRequest(QUuid::createUuid(), "child:", ApiCollection::HttpMethod::Get, url, {},
                                      5, response, nullptr, nullptr);
    std::printf("CHILD_RESULT=%d\n", static_cast<int>(error));
    curl_global_cleanup();
    return 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("ORVANE_API_CHILD_URL"))
        return RunChildRequest(qEnvironmentVariable("ORVANE_API_CHILD_URL"));
    QStringList functions;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            functions << QString::fromLocal8Bit(argv[i]);
    }
    curl_global_init(CURL_GLOBAL_ALL);
    int status = 0;
    {
        ApiClientTest client;
        status |= Run(client, functions, argc, argv);
    }
#ifdef ORVANE_HAVE_PLATFORM_SERVER
    {
        ApiServerTest server;
        status |= Run(server, functions, argc, argv);
    }
    {
        ApiHostileTest hostile;
        status |= Run(hostile, functions, argc, argv);
    }
#endif
    curl_global_cleanup();
    return status;
}
