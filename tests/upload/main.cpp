// Runs every test class of the upload area in one process. Function names
// given on the command line select the classes that have them.

#include <QCoreApplication>
#include <QtTest>

#include <memory>

QObject* MakeTransferStatsTest();
QObject* MakeUploadQueueTest();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (auto make : {MakeTransferStatsTest,
#ifdef ORVANE_HAVE_SERVER
                      MakeUploadQueueTest
#endif
         }) {
        const std::unique_ptr<QObject> test(make());
        bool selected = true; // options (starting with '-') apply to every class
        for (int i = 1; i < argc && selected; ++i)
            selected = argv[i][0] == '-' ||
                       test->metaObject()->indexOfMethod(QByteArray(argv[i]).append("()").constData()) >= 0;
        if (selected)
            failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
