// One executable for the web API client: wire-level and parsing tests, and
// the tests against the local platform server when it is part of the build.

#include "tst_apiclient.h"
#ifdef ORVANE_HAVE_PLATFORM_SERVER
#include "tst_apiserver.h"
#endif

#include <QCoreApplication>
#include <QTest>

#include <curl/curl.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_ALL);
    int status = 0;
    {
        ApiClientTest client;
        status |= QTest::qExec(&client, argc, argv);
    }
#ifdef ORVANE_HAVE_PLATFORM_SERVER
    {
        ApiServerTest server;
        status |= QTest::qExec(&server, argc, argv);
    }
#endif
    curl_global_cleanup();
    return status;
}
