// Screenshots of the client on the desktop: the tray icon's menu while an
// upload runs, and the countdown before the post-upload action. Needs an X
// display with a tray host (scripts/screenshots-desktop runs one); starts the
// platform server in-process and logs the demo account in.

#include "../transfer/transferenv.h"

#include "app/application.h"
#include "app/postuploadaction.h"
#include "model/categorytreemodel.h"
#include "ui/desktop/desktopshell.h"
#include "ui/desktop/postuploaddialog.h"
#include "ui/resources.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/mainwindowtitlewidget.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTranslator>

#include <cstdio>

namespace {
// The whole screen, as the user sees it.
bool SaveScreen(const QString& dir, const QString& name)
{
    QTest::qWait(400);
    const QString file = QDir(dir).filePath(name);
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(file);
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
    app.setStyleSheet(Application::LoadQss(QStringLiteral("System.qss")) +
                      Application::LoadQss(QStringLiteral("TitleBar.qss")));
    app.setApplicationDisplayName(QCoreApplication::translate("Application", "OrvaneUploadClient"));

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

    MainWindow window;
    window.Init();
    DesktopShell shell(env.config(), SDKManager::instance());
    shell.AttachMainWindow(&window);
    window.move(40, 60);
    window.show();
    emit window.titleWidget()->SignalJumpToTransferList();
    if (!shell.trayIcon()) {
        std::fprintf(stderr, "no tray on this display\n");
        return 1;
    }
    // Shut down after this batch, chosen in the transfer page's menu.
    window.findChild<QMenu*>(QStringLiteral("postTaskMenu"))
        ->findChild<QAction*>(QStringLiteral("postTaskShutdown"))
        ->trigger();
    SDKManager::instance()->SetTrafficLimit(2048);
    SDKManager::instance()->AddUpload(
        categories.index(0, 0).data(256).toLongLong(),
        env.MakeFile(QStringLiteral("Product launch keynote 2026.mp4"), 12 * 1024 * 1024, 1), QString(),
        QString(), QString(), QString(), 0, 0);
    QTest::qWait(2500);

    // Opened by code at the tray icon, where a click would open it.
    const QRect icon = shell.trayIcon()->geometry();
    shell.trayMenu()->popup(icon.isValid() ? icon.bottomLeft() : QPoint(1100, 30));
    bool ok = SaveScreen(out, QStringLiteral("tray-menu.png"));
    shell.trayMenu()->hide();

    // The batch ends; the countdown starts by itself.
    if (!QTest::qWaitFor([&] { return shell.postAction()->counting(); }, 60000))
        std::fprintf(stderr, "the countdown did not start\n");
    QTest::qWait(2200);
    ok = SaveScreen(out, QStringLiteral("post-upload-countdown.png")) && ok;
    shell.postAction()->Cancel();
    transfertest::ResetQueue();
    return ok ? 0 : 1;
}
