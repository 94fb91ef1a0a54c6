// One executable for the web API client: wire-level and parsing tests, and
// the tests against the local platform server when it is part of the build.
// Test function names given on the command line run only in the class that
// has them.

#include "apitestutil.h"

#include "api/transport.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QTest>

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

// Child mode for the diagnostic environment variables, which are read before
// main: one GET to the given URL, then the result code on stdout.
int RunChildRequest(const QString& url)
{
    curl_global_init(CURL_GLOBAL_ALL);
    const auto answer =
        ApiCollection::ExecuteRequest(Id(), "child:", ApiCollection::HttpMethod::Get, url, {}, 5, nullptr);
    std::printf("CHILD_RESULT=%d\n", static_cast<int>(answer.code()));
    curl_global_cleanup();
    return 0;
}

} // namespace

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
    for (ApiTestFactory factory : ApiTests()) {
        const std::unique_ptr<QObject> test = factory();
        if (functions.isEmpty() || HasAnyFunction(*test, functions))
            status |= QTest::qExec(test.get(), argc, argv);
    }
    curl_global_cleanup();
    return status;
}
