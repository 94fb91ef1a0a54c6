// Runs every test class of the upload area in one process.

#include "tst_upload.h"

#include <QCoreApplication>
#include <QtTest>

#ifdef ORVANE_HAVE_SERVER
QObject* MakeUploadQueueTest();
#endif

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    {
        TestTransferStats stats;
        failures += QTest::qExec(&stats, argc, argv);
    }
#ifdef ORVANE_HAVE_SERVER
    {
        std::unique_ptr<QObject> queue(MakeUploadQueueTest());
        failures += QTest::qExec(queue.get(), argc, argv);
    }
#endif
    return failures == 0 ? 0 : 1;
}
