// One executable for the transfer interface: a single platform server and
// login serve both groups of cases.
#include "transferenv.h"
#include "tst_transfer.h"

#include "ui/resources.h"

#include <QApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    transfertest::ClientEnv env;
    QString error;
    if (!env.Start(&error) || !env.Login(&error)) {
        qCritical() << "test environment failed:" << error;
        return 1;
    }
    int failures = 0;
    {
        UploadDialogTest dialogs(env);
        failures += QTest::qExec(&dialogs, argc, argv);
    }
    {
        TransferPageTest page(env);
        failures += QTest::qExec(&page, argc, argv);
    }
    return failures;
}
