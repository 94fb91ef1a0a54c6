// Runs every test class of the upload area in one process. Function names
// given on the command line select the classes that have them.

#include <QCoreApplication>
#include <QtTest>

#include <memory>

QObject* MakeTransferStatsTest();
#ifdef ORVANE_HAVE_SERVER
QObject* MakeUploadQueueTest();
#endif

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<QObject> tests[] = {std::unique_ptr<QObject>(MakeTransferStatsTest()),
#ifdef ORVANE_HAVE_SERVER
                                        std::unique_ptr<QObject>(MakeUploadQueueTest())
#endif
    };
    int failures = 0;
    for (const auto& test : tests) {
        bool selected = true; // options (starting with '-') apply to every class
        for (int i = 1; i < argc && selected; ++i)
            selected = argv[i][0] == '-' ||
                       test->metaObject()->indexOfMethod(QByteArray(argv[i]).append("()").constData()) >= 0;
        if (selected)
            failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
