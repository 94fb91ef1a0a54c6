// One executable for the transfer interface: a single platform server and
// login serve every case.
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
    TransferTest test(env);
    return QTest::qExec(&test, argc, argv);
}
