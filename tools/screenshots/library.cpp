// Screenshots of the library page: the first page with thumbnails, search
// mode, an empty category and the loading state.

#include "libraryscene.h"
#include "shots.h"

#include "ui/videolist/categorytreeview.h"

#include <QLineEdit>

int main(int argc, char** argv)
{
    return RunLibraryShots(argc, argv, [](Shots& shots, LibraryScene& scene) {
        VideoListWidget& page = *scene.page;
        VideoTableModel& videos = *scene.videos;
        CategoryTreeModel& categories = *scene.categories;

        videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Checked, Qt::CheckStateRole);
        shots.Save(&page, QStringLiteral("library.png"));
        videos.setData(videos.index(1, VideoTableModel::Selected), Qt::Unchecked, Qt::CheckStateRole);

        page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->setText(QStringLiteral("Sunrise"));
        page.Search();
        (void)QTest::qWaitFor([&] { return page.searchMode(); }, 20000);
        (void)scene.WaitIdle();
        shots.Save(&page, QStringLiteral("library-search.png"));
        page.findChild<QLineEdit*>(QStringLiteral("searchVideoLineEdit"))->clear();

        // A category without videos.
        orvtest::QueuedSpy added(&categories, &CategoryTreeModel::SignalAddCategorySucceed);
        categories.AddCategory(categories.TopCateId(), QStringLiteral("Empty drafts"));
        (void)added.wait(20000);
        QTest::qWait(300);
        const qulonglong empty = added.isEmpty() ? 0 : added.first().first().toULongLong();
        page.findChild<CategoryTreeView*>()->SelectCateId(empty);
        (void)scene.WaitIdle();
        shots.Save(&page, QStringLiteral("library-empty.png"));

        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("list-video");
        slow.latencyMs = 1500;
        scene.env.server().AddFault(slow);
        page.SlotRefreshVideoList();
        QTest::qWait(700);
        shots.Save(&page, QStringLiteral("library-loading.png"));
        (void)scene.WaitIdle();
    });
}
