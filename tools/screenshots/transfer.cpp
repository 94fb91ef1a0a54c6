// Screenshots of the transfer interface: the upload dialog with files
// listed, the transfer page while uploads run, and its history side after them.

#include "shots.h"
#include "transferenv.h"

#include "model/categorytreemodel.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"

#include <QListWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    Shots shots(argc, argv);

    transfertest::ClientEnv env;
    QString error;
    if (!env.Start(&error) || !env.Login(&error))
        return Shots::Fail("environment", error);
    CategoryTreeModel categories;
    QSignalSpy loaded(&categories, &CategoryTreeModel::SignalRefreshCategoryDone);
    categories.RefreshCategory();
    loaded.wait(20000);

    TransferListWidget page(SDKManager::instance(), DBManager::instance(), &env.accounts(), &env.config());
    page.SetCategoryModel(&categories);
    page.resize(1020, 592);
    page.show();
    page.Init();
    shots.Save(&page, QStringLiteral("transfer-empty.png"));

    const QStringList files = {
        env.MakeFile(QStringLiteral("Product launch keynote 2026.mp4"), 24 * 1024 * 1024, 1),
        env.MakeFile(QStringLiteral("Team interview.mov"), 16 * 1024 * 1024, 2),
        env.MakeFile(QStringLiteral("Podcast episode 12.mp3"), 6 * 1024 * 1024, 3),
        env.MakeFile(QStringLiteral("Onboarding course - chapter one with a rather long title.mkv"),
                     12 * 1024 * 1024, 4),
    };
    page.on_uploadBtn_clicked();
    UploadDialog* dialog = page.uploadDialog();
    dialog->AddFiles(files);
    QTest::qWait(300);
    shots.Save(dialog, QStringLiteral("upload-dialog.png"));

    SDKManager::instance()->SetTrafficLimit(2048);
    dialog->SlotConfirmUpload();
    QTest::qWait(4500);
    shots.Save(&page, QStringLiteral("transfer-uploading.png"));

    if (!QTest::qWaitFor([] { return SDKManager::instance()->tasks().isEmpty(); }, 120000))
        std::fprintf(stderr, "uploads did not finish\n");
    QTest::qWait(300);
    page.findChild<QListWidget*>(QStringLiteral("transferPagesListWidget"))->setCurrentRow(1);
    shots.Save(&page, QStringLiteral("transfer-history.png"));
    return shots.ExitCode();
}
