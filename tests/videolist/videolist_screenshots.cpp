// Screenshots of the library page for reviewing its look: the first page
// with thumbnails, search mode, an empty category and the loading state.
// Starts the platform server in-process, logs the demo account in and saves
// PNGs into the folder given as argument.
//
// Run from scripts/screenshots-library (under Xvfb, beside the client's
// themes/ and translations/ folders).

#include "modelenv.h"

#include "app/application.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/resources.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/videolistwidget.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTranslator>

#include <cstdio>

namespace {
bool Save(QWidget* widget, const QString& dir, const QString& name)
{
    QTest::qWait(200);
    const QString file = QDir(dir).filePath(name);
    const bool ok = widget->grab().save(file);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(file));
    return ok;
}

bool WaitIdle(VideoTableModel& videos)
{
    return QTest::qWaitFor([&] { return !videos.HasTask(); }, 20000);
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

    orvtest::ModelEnv env;
    QString error;
    if (!env.Start(&error) || !(error = env.Login(QString::fromLatin1(orvsrv::kDemoMainEmail))).isEmpty()) {
        std::fprintf(stderr, "environment failed: %s\n", qPrintable(error));
        return 1;
    }
    CategoryTreeModel categories;
    VideoTableModel videos(&categories);
    VideoListWidget page(&categories, &videos);
    page.resize(1020, 592);
    page.show();
    page.Init();
    (void)QTest::qWaitFor([&] { return videos.rowCount() > 0; }, 20000);
    (void)WaitIdle(videos);
    videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Checked, Qt::CheckStateRole);
    bool ok = Save(&page, out, QStringLiteral("library.png"));
    videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Unchecked, Qt::CheckStateRole);

    page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->setText(QStringLiteral("Sunrise"));
    page.Search();
    (void)QTest::qWaitFor([&] { return page.searchMode(); }, 20000);
    (void)WaitIdle(videos);
    ok = Save(&page, out, QStringLiteral("library-search.png")) && ok;
    page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->clear();

    // A category without videos.
    orvtest::QueuedSpy added(&categories, &CategoryTreeModel::SignalAddCategorySucceed);
    categories.AddCategory(categories.TopCateId(), QStringLiteral("Empty drafts"));
    (void)added.wait(20000);
    QTest::qWait(300);
    const qulonglong empty = added.isEmpty() ? 0 : added.first().first().toULongLong();
    page.findChild<CategoryTreeView*>()->SelectCateId(empty);
    (void)WaitIdle(videos);
    ok = Save(&page, out, QStringLiteral("library-empty.png")) && ok;

    orvsrv::FaultRule slow;
    slow.pathPattern = QStringLiteral("list-video");
    slow.latencyMs = 1500;
    env.server().AddFault(slow);
    page.SlotRefreshVideoList();
    QTest::qWait(700);
    ok = Save(&page, out, QStringLiteral("library-loading.png")) && ok;
    (void)WaitIdle(videos);
    categories.WaitForTasks();
    videos.WaitForTasks();
    return ok ? 0 : 1;
}
