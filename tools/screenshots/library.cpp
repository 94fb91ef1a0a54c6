// Screenshots of the library page: the first page with thumbnails, search
// mode, an empty category and the loading state.

#include "modelenv.h"
#include "shots.h"

#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/videolistwidget.h"

#include <QLineEdit>

namespace {
bool WaitIdle(VideoTableModel& videos)
{
    return QTest::qWaitFor([&] { return !videos.HasTask(); }, 20000);
}
} // namespace

int main(int argc, char** argv)
{
    Shots shots(argc, argv);

    orvtest::ModelEnv env;
    QString error;
    if (!env.Start(&error) || !(error = env.Login(QString::fromLatin1(orvsrv::kDemoMainEmail))).isEmpty())
        return Shots::Fail("environment", error);
    CategoryTreeModel categories;
    VideoTableModel videos(&categories);
    VideoListWidget page(&categories, &videos);
    page.resize(1020, 592);
    page.show();
    page.Init();
    (void)QTest::qWaitFor([&] { return videos.rowCount() > 0; }, 20000);
    (void)WaitIdle(videos);
    videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Checked, Qt::CheckStateRole);
    shots.Save(&page, QStringLiteral("library.png"));
    videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Unchecked, Qt::CheckStateRole);

    page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->setText(QStringLiteral("Sunrise"));
    page.Search();
    (void)QTest::qWaitFor([&] { return page.searchMode(); }, 20000);
    (void)WaitIdle(videos);
    shots.Save(&page, QStringLiteral("library-search.png"));
    page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->clear();

    // A category without videos.
    orvtest::QueuedSpy added(&categories, &CategoryTreeModel::SignalAddCategorySucceed);
    categories.AddCategory(categories.TopCateId(), QStringLiteral("Empty drafts"));
    (void)added.wait(20000);
    QTest::qWait(300);
    const qulonglong empty = added.isEmpty() ? 0 : added.first().first().toULongLong();
    page.findChild<CategoryTreeView*>()->SelectCateId(empty);
    (void)WaitIdle(videos);
    shots.Save(&page, QStringLiteral("library-empty.png"));

    orvsrv::FaultRule slow;
    slow.pathPattern = QStringLiteral("list-video");
    slow.latencyMs = 1500;
    env.server().AddFault(slow);
    page.SlotRefreshVideoList();
    QTest::qWait(700);
    shots.Save(&page, QStringLiteral("library-loading.png"));
    (void)WaitIdle(videos);
    categories.WaitForTasks();
    videos.WaitForTasks();
    return shots.ExitCode();
}
