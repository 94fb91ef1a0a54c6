// Runs every test class of the upload area in one process. Function names
// given on the command line select the classes that have them.

#include "tst_upload.h"

#include <QCoreApplication>
#include <QtTest>

#include <memory>
#include <vector>

#ifdef ORVANE_HAVE_SERVER
QObject* MakeUploadQueueTest();
#endif

namespace {

bool HasAll(const QObject* test, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            return true; // options apply to every class
        const QByteArray name = QByteArray(argv[i]) + "()";
        if (test->metaObject()->indexOfMethod(name.constData()) < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.emplace_back(new TestTransferStats());
#ifdef ORVANE_HAVE_SERVER
    tests.emplace_back(MakeUploadQueueTest());
#endif
    int failures = 0;
    for (const auto& test : tests) {
        if (HasAll(test.get(), argc, argv))
            failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
