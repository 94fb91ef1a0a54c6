// Screenshots of the library page's dialogs: add and move category, the
// tree's context menu and in-place rename, the embed code, batch vid search,
// the delete failure list and both pages of the video edit dialog.

#include "libraryscene.h"
#include "shots.h"

#include "ui/videolist/addcategorydialog.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/copycodedialog.h"
#include "ui/videolist/deletevideofailedpromptdialog.h"
#include "ui/videolist/selectcategorydialog.h"
#include "ui/videolist/videobatchsearchdialog.h"
#include "ui/videolist/videoeditdialog.h"
#include "ui/videolist/vidtextbrowser.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <memory>

int main(int argc, char** argv)
{
    return RunLibraryShots(argc, argv, [](Shots& shots, LibraryScene& scene) {
        VideoListWidget& page = *scene.page;
        VideoTableModel& videos = *scene.videos;
        CategoryTreeModel& categories = *scene.categories;
        QStringList vids;
        for (int row = 0; row < 3; ++row)
            vids << videos.index(row, 0).data(VideoTableModel::DataRole::Vid).toString();

        AddCategoryDialog add(&categories, categories.TopCateId(), &page);
        add.show();
        add.inputEditor()->setText(QStringLiteral("Road trips"));
        shots.Save(&add, QStringLiteral("dialog-add-category.png"));
        add.hide();

        SelectCategoryDialog move(SelectCategoryDialog::MoveVideoMode, &categories, &videos, &page);
        move.SetVids(vids);
        move.show();
        move.moveCateTree()->expandAll();
        move.SelectCateId(categories.TopCateId());
        shots.Save(&move, QStringLiteral("dialog-move-videos.png"));
        move.hide();

        auto* tree = page.findChild<CategoryTreeView*>();
        const QModelIndexList music =
            categories.match(categories.index(0, 0), Qt::DisplayRole, QStringLiteral("Music"), 1,
                             Qt::MatchExactly | Qt::MatchRecursive);
        if (!music.isEmpty() && tree->SelectCateId(music.first().data(CategoryRole::CateId).toULongLong())) {
            std::unique_ptr<QMenu> menu(tree->BuildContextMenu(tree->currentIndex()));
            menu->popup(tree->mapToGlobal(tree->visualRect(tree->currentIndex()).center()));
            shots.Save(menu.get(), QStringLiteral("menu-category.png"));
            menu->hide();
            tree->SlotRenameCategory();
            if (auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("treeViewEditor")))
                editor->setText(QStringLiteral("Live music"));
            shots.Save(&page, QStringLiteral("library-rename-category.png"));
            tree->setFocus();
        }

        CopyCodeDialog code(vids.first(), &scene.env.config(), &page);
        code.show();
        shots.Save(&code, QStringLiteral("dialog-embed-code.png"));
        code.hide();

        VideoBatchSearchDialog search(&page);
        search.show();
        for (const QString& vid : vids)
            search.textBrowser()->AddVid(vid);
        shots.Save(&search, QStringLiteral("dialog-batch-search.png"));
        search.hide();

        // The rename above selected another category: take titles of the rows shown now.
        (void)QTest::qWaitFor([&] { return videos.rowCount() >= 3 && !videos.HasTask(); }, 20000);
        for (int row = 0; row < 3 && row < videos.rowCount(); ++row)
            vids[row] = videos.index(row, 0).data(VideoTableModel::DataRole::Vid).toString();
        DeleteVideoFailedPromptDialog failed(&videos, &page);
        failed.AddFailure(vids.at(0), QStringLiteral("video not exist"));
        failed.AddFailure(vids.at(1), QStringLiteral("no permission to delete videos"));
        failed.AddFailure(vids.at(2), QStringLiteral("video not exist"));
        failed.show();
        shots.Save(&failed, QStringLiteral("dialog-delete-failed.png"));
        failed.hide();

        // The edit dialog: the basic page, then the cover page with the
        // server's snapshots once they are in and the third one chosen.
        VideoEditDialog edit(&videos, scene.env.account().userId(),
                             videos.index(0, VideoTableModel::DisplayInfo), &page);
        edit.show();
        shots.Save(&edit, QStringLiteral("video-edit-basic.png"));
        edit.ShowPage(1);
        auto* third = edit.findChild<QLabel*>(QStringLiteral("pic3"));
        if (shots.Reached(QTest::qWaitFor([&] { return third->property("valid").toBool(); }, 20000),
                          "the cover page's snapshots"))
            QTest::mouseClick(third, Qt::LeftButton);
        QTest::qWait(3500); // the change's toasts fade
        shots.Save(&edit, QStringLiteral("video-edit-cover.png"));
    });
}
