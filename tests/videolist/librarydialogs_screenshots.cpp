// Screenshots of the library page's dialogs for reviewing their look: add
// and move category, the tree's context menu and in-place rename, the embed
// code, batch vid search and the delete failure list. Starts the platform
// server in-process, logs the demo account in and saves PNGs into the folder
// given as argument.
//
// Run from scripts/screenshots-dialogs (under Xvfb, beside the client's
// themes/ and translations/ folders).

#include "modelenv.h"

#include "app/application.h"
#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/resources.h"
#include "ui/videolist/addcategorydialog.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/copycodedialog.h"
#include "ui/videolist/deletevideofailedpromptdialog.h"
#include "ui/videolist/selectcategorydialog.h"
#include "ui/videolist/videobatchsearchdialog.h"
#include "ui/videolist/videolistwidget.h"
#include "ui/videolist/vidtextbrowser.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace {
bool Save(QWidget* widget, const QString& dir, const QString& name)
{
    QTest::qWait(300);
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
    (void)QTest::qWaitFor([&] { return videos.rowCount() > 0 && !videos.HasTask(); }, 20000);
    QStringList vids;
    for (int row = 0; row < 3; ++row)
        vids << videos.index(row, 0).data(VideoTableModel::DataRole::Vid).toString();

    AddCategoryDialog add(&categories, categories.TopCateId(), &page);
    add.show();
    add.inputEditor()->setText(QStringLiteral("Road trips"));
    bool ok = Save(&add, out, QStringLiteral("dialog-add-category.png"));
    add.hide();

    SelectCategoryDialog move(SelectCategoryDialog::MoveVideoMode, &categories, &videos, &page);
    move.SetVids(vids);
    move.show();
    move.moveCateTree()->expandAll();
    move.SelectCateId(categories.TopCateId());
    ok = Save(&move, out, QStringLiteral("dialog-move-videos.png")) && ok;
    move.hide();

    auto* tree = page.findChild<CategoryTreeView*>();
    const QModelIndexList music =
        categories.match(categories.index(0, 0), Qt::DisplayRole, QStringLiteral("Music"), 1,
                         Qt::MatchExactly | Qt::MatchRecursive);
    if (!music.isEmpty() && tree->SelectCateId(music.first().data(CategoryTreeModel::CateId).toULongLong())) {
        std::unique_ptr<QMenu> menu(tree->BuildContextMenu(tree->currentIndex()));
        menu->popup(tree->mapToGlobal(tree->visualRect(tree->currentIndex()).center()));
        ok = Save(menu.get(), out, QStringLiteral("menu-category.png")) && ok;
        menu->hide();
        tree->SlotRenameCategory();
        if (auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("treeViewEditor")))
            editor->setText(QStringLiteral("Live music"));
        ok = Save(&page, out, QStringLiteral("library-rename-category.png")) && ok;
        tree->setFocus();
    }

    CopyCodeDialog code(vids.first(), &page);
    code.show();
    ok = Save(&code, out, QStringLiteral("dialog-embed-code.png")) && ok;
    code.hide();

    VideoBatchSearchDialog search(&page);
    search.show();
    for (const QString& vid : vids)
        search.textBrowser()->AddVid(vid);
    ok = Save(&search, out, QStringLiteral("dialog-batch-search.png")) && ok;
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
    ok = Save(&failed, out, QStringLiteral("dialog-delete-failed.png")) && ok;
    categories.WaitForTasks();
    videos.WaitForTasks();
    return ok ? 0 : 1;
}
