// Screenshots of the transfer interface for reviewing its look: the upload
// dialog with files listed, the transfer page while uploads run, and its
// history side after them. Starts the platform server in-process, logs the
// demo account in and saves PNGs into the folder given as argument.
//
// Run from scripts/screenshots-transfer (under Xvfb, beside the client's
// themes/ and translations/ folders).

#include "transferenv.h"

#include "app/application.h"
#include "model/categorytreemodel.h"
#include "ui/resources.h"
#include "ui/transfer/transferlistwidget.h"
#include "ui/transfer/uploaddialog.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTranslator>

#include <cstdio>

namespace {
bool Save(QWidget* widget, const QString& dir, const QString& name)
{
    QCoreApplication::processEvents();
    const QString file = QDir(dir).filePath(name);
    const bool ok = widget->grab().save(file);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(file));
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    QTranslator translator;
    if (translator.load(QCoreApplication::applicationDirPath() + QStringLiteral("/translations/zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);
    app.setStyleSheet(Application::LoadQss(QStringLiteral("System.qss")));

    transfertest::ClientEnv env;
    QString error;
    if (!env.Start(&error) || !env.Login(&error)) {
        std::fprintf(stderr, "environment failed: %s\n", qPrintable(error));
        return 1;
    }
    CategoryTreeModel categories;
    QSignalSpy loaded(&categories, &CategoryTreeModel::SignalRefreshCategoryDone);
    categories.RefreshCategory();
    loaded.wait(20000);

    TransferListWidget page(SDKManager::instance(), DBManager::instance());
    page.SetCategoryModel(&categories);
    page.resize(1020, 592);
    page.show();
    page.Init();
    bool ok = Save(&page, out, QStringLiteral("transfer-empty.png"));

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
    ok = Save(dialog, out, QStringLiteral("upload-dialog.png")) && ok;

    SDKManager::instance()->SetTrafficLimit(2048);
    dialog->SlotConfirmUpload();
    QTest::qWait(4500);
    ok = Save(&page, out, QStringLiteral("transfer-uploading.png")) && ok;

    if (!QTest::qWaitFor([] { return SDKManager::instance()->tasks().isEmpty(); }, 120000))
        std::fprintf(stderr, "uploads did not finish\n");
    QTest::qWait(300);
    page.findChild<QListWidget*>(QStringLiteral("transferPagesListWidget"))->setCurrentRow(1);
    ok = Save(&page, out, QStringLiteral("transfer-history.png")) && ok;
    return ok ? 0 : 1;
}
