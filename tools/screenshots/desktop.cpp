// Screenshots of the client on the desktop: the tray icon's menu while an
// upload runs, and the countdown before the post-upload action. Needs an X
// display with a tray host (scripts/screenshots-desktop runs one).

#include "shots.h"
#include "transferenv.h"

#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/desktop/desktopshell.h"
#include "ui/desktop/postuploadaction.h"
#include "ui/desktop/postuploaddialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/shell/mainwindowtitlewidget.h"

#include <QMenu>
#include <QSystemTrayIcon>

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

    VideoTableModel videos(&categories);
    MainWindow window({&env.config(), &env.accounts(), SDKManager::instance(), DBManager::instance(),
                       &categories, &videos});
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
        categories.index(0, 0).data(CategoryRole::CateId).toLongLong(),
        env.MakeFile(QStringLiteral("Product launch keynote 2026.mp4"), 12 * 1024 * 1024, 1), QString(),
        QString(), QString(), QString(), 0, 0);
    QTest::qWait(2500);

    // Opened by code at the tray icon, where a click would open it.
    const QRect icon = shell.trayIcon()->geometry();
    shell.trayMenu()->popup(icon.isValid() ? icon.bottomLeft() : QPoint(1100, 30));
    shots.SaveScreen(QStringLiteral("tray-menu.png"));
    shell.trayMenu()->hide();

    // The batch ends; the countdown starts by itself.
    if (!QTest::qWaitFor([&] { return shell.postAction()->counting(); }, 60000))
        std::fprintf(stderr, "the countdown did not start\n");
    QTest::qWait(2200);
    shots.SaveScreen(QStringLiteral("post-upload-countdown.png"));
    shell.postAction()->Cancel();
    transfertest::ResetQueue();
    return shots.ExitCode();
}
