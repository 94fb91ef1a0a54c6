// The library page's small dialogs against the local platform server: name
// checks and locking of the category dialogs, the moves and renames that
// must not reach the server, the vid entry box, the embed snippet, the
// delete failure list and one path through the page.

#include "modelenv.h"

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

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {
const QString kCategory = QStringLiteral("/v3/category/");
QString Vid(int n)
{
    return QStringLiteral("%1_%2").arg(n, 32, 10, QLatin1Char('0')).arg(n % 10);
}
} // namespace

class LibraryDialogsTest : public QObject
{
    Q_OBJECT
private:
    orvtest::ModelEnv env_;
    std::unique_ptr<CategoryTreeModel> categories_;
    std::unique_ptr<VideoTableModel> videos_;
    std::unique_ptr<VideoListWidget> page_;

    qulonglong IdOf(const QString& name)
    {
        const QModelIndexList hits = categories_->match(categories_->index(0, 0), Qt::DisplayRole, name, 1,
                                                        Qt::MatchExactly | Qt::MatchRecursive);
        return hits.isEmpty() ? 0 : hits.first().data(CategoryRole::CateId).toULongLong();
    }
    int CategoryRequests() { return env_.server().RequestCount(kCategory); }
    bool Idle()
    {
        return QTest::qWaitFor([&] { return !categories_->HasTask() && !videos_->HasTask(); }, 15000);
    }

private slots:
    void initTestCase()
    {
        InitOrvaneResources();
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        QCOMPARE(env_.Login(QString::fromLatin1(orvsrv::kDemoMainEmail)), QString());
        categories_ = std::make_unique<CategoryTreeModel>();
        videos_ = std::make_unique<VideoTableModel>(categories_.get());
        page_ = std::make_unique<VideoListWidget>(categories_.get(), videos_.get());
        page_->resize(1000, 600);
        page_->show();
        page_->Init();
        QVERIFY(QTest::qWaitFor([&] { return IdOf(QStringLiteral("Mechanics")) != 0; }, 15000));
        QVERIFY(Idle());
    }

    void cleanupTestCase()
    {
        page_.reset();
        videos_->WaitForTasks();
        categories_->WaitForTasks();
        videos_.reset();
        categories_.reset();
        env_.Stop();
    }

    void addCategoryNames_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("sent");
        QTest::newRow("empty") << "Lectures"
                               << "" << false;
        QTest::newRow("outside the BMP")
            << "Lectures" << QString::fromUtf8("Emoji \xF0\x9F\x98\x80") << false;
        QTest::newRow("sibling") << "Lectures"
                                 << "Physics" << false;
        QTest::newRow("sibling in other case") << "Lectures"
                                               << "physics" << true;
        QTest::newRow("grandchild's name") << "Lectures"
                                           << "Mechanics" << true;
    }
    void addCategoryNames()
    {
        QFETCH(QString, parent);
        QFETCH(QString, name);
        QFETCH(bool, sent);
        AddCategoryDialog dialog(categories_.get(), IdOf(parent), page_.get());
        dialog.show();
        dialog.inputEditor()->setText(name);
        const int before = CategoryRequests();
        orvtest::QueuedSpy added(categories_.get(), &CategoryTreeModel::SignalAddCategorySucceed);
        dialog.SlotConfirm();
        QCOMPARE(dialog.busy(), sent);
        if (sent) {
            // Closing while the request runs is refused.
            QVERIFY(!dialog.close());
            QVERIFY(dialog.isVisible());
            QVERIFY(added.wait(15000));
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QVERIFY(Idle());
        QCOMPARE(CategoryRequests() - before, sent ? 1 : 0);
    }

    void nameLimit()
    {
        AddCategoryDialog dialog(categories_.get(), categories_->TopCateId());
        QTest::keyClicks(dialog.inputEditor(), QString(41, QLatin1Char('n')));
        QCOMPARE(dialog.inputEditor()->text().size(), 40);
        QCOMPARE(dialog.countLabel()->text(), QStringLiteral("40/40"));
    }

    void moveWithoutRequest_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::newRow("own parent") << "Movies";
        QTest::newRow("itself") << "Action";
    }
    void moveWithoutRequest()
    {
        QFETCH(QString, destination);
        SelectCategoryDialog dialog(SelectCategoryDialog::MoveCategoryMode, categories_.get(), videos_.get(),
                                    page_.get());
        dialog.show();
        dialog.SetSourceCategory(IdOf(QStringLiteral("Action")));
        QVERIFY(dialog.SelectCateId(IdOf(destination)));
        const int before = CategoryRequests();
        dialog.SlotConfirm();
        QVERIFY(!dialog.busy());
        QTest::qWait(200);
        QCOMPARE(CategoryRequests(), before);
    }

    void contextMenu_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("enabled"); // add, move, rename
        QTest::newRow("top") << "Demo Library"
                             << "100";
        QTest::newRow("child") << "Music"
                               << "111";
    }
    void contextMenu()
    {
        QFETCH(QString, category);
        QFETCH(QString, enabled);
        auto* tree = page_->findChild<CategoryTreeView*>(QStringLiteral("cateTreeView"));
        QVERIFY(tree->SelectCateId(IdOf(category)));
        std::unique_ptr<QMenu> menu(tree->BuildContextMenu(tree->currentIndex()));
        QCOMPARE(menu->objectName(), QStringLiteral("cateItemMenu"));
        QString shown;
        for (QAction* action : menu->actions())
            shown += action->isEnabled() ? '1' : '0';
        QCOMPARE(shown, enabled);
    }

    void renameInPlace()
    {
        auto* tree = page_->findChild<CategoryTreeView*>(QStringLiteral("cateTreeView"));
        QVERIFY(tree->SelectCateId(IdOf(QStringLiteral("Live"))));
        const QPersistentModelIndex item = tree->currentIndex();
        const auto commit = [&](const QString& text) {
            tree->SlotRenameCategory();
            auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("treeViewEditor"));
            QVERIFY(editor);
            QCOMPARE(editor->maxLength(), 40);
            editor->setText(text);
            QTest::keyClick(editor, Qt::Key_Return);
        };
        int before = env_.server().RequestCount(kCategory + "update-info");
        commit(QStringLiteral("Live"));
        QTest::qWait(200);
        QCOMPARE(env_.server().RequestCount(kCategory + "update-info"), before);

        orvtest::QueuedSpy renamed(categories_.get(), &CategoryTreeModel::SignalRenameCategorySucceed);
        commit(QStringLiteral("Live sets"));
        QCOMPARE(item.data().toString(), QStringLiteral("Live")); // until the server agreed
        QVERIFY(renamed.wait(15000));
        QCOMPARE(env_.server().RequestCount(kCategory + "update-info"), before + 1);
        QVERIFY(Idle());
        QVERIFY(IdOf(QStringLiteral("Live sets")) != 0);
    }

    void vidForm_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<bool>("valid");
        QTest::newRow("34") << Vid(1) << true;
        QTest::newRow("33") << Vid(1).left(33) << false;
        QTest::newRow("35") << Vid(1) + "0" << false;
        QTest::newRow("first part 31") << QString(31, 'a') + "_12" << false;
        QTest::newRow("two underscores") << QString(32, 'a') + "_" << false;
    }
    void vidForm()
    {
        QFETCH(QString, vid);
        QFETCH(bool, valid);
        VidTextBrowser browser;
        QCOMPARE(browser.AddVid(vid), valid);
        QCOMPARE(browser.lastTip(), valid ? QString() : VidTextBrowser::tr("Input Correct Vid"));
    }

    void vidCap()
    {
        VidTextBrowser browser;
        for (int i = 0; i < 100; ++i)
            QVERIFY(browser.AddVid(Vid(i)));
        QVERIFY(!browser.AddVid(Vid(1)));
        QCOMPARE(browser.lastTip(), VidTextBrowser::tr("The Vid Exist"));
        QVERIFY(!browser.AddVid(Vid(100)));
        QCOMPARE(browser.lastTip(), VidTextBrowser::tr("Input more than 100 vids "));
        browser.RemoveVid(Vid(5));
        QCOMPARE(browser.vids().size(), 99);
    }

    void importFile_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("tip");
        QString many;
        for (int i = 0; i < 150; ++i)
            many += Vid(i) + '\n';
        QTest::newRow("150 vids") << many << 100 << VidTextBrowser::tr("Input more than 100 vids ");
        QTest::newRow("separators and errors")
            << Vid(1) + "," + Vid(2) + "\n" + Vid(3) + ";bad\nnothing\n"
            << 3 << VidTextBrowser::tr("Input some vids, and some error vids");
        QTest::newRow("none") << "x\n" << 0 << VidTextBrowser::tr("Input none vids");
    }
    void importFile()
    {
        QFETCH(QString, content);
        QFETCH(int, count);
        QFETCH(QString, tip);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(content.toUtf8());
        file.close();
        VidTextBrowser browser;
        orvtest::QueuedSpy done(&browser, &VidTextBrowser::SignalImportDone);
        browser.ImportFiles({file.fileName()});
        QVERIFY(done.wait(10000));
        QCOMPARE(browser.vids().size(), count);
        QCOMPARE(browser.lastTip(), tip);
    }

    void embedSnippet()
    {
        const QString vid = Vid(7);
        CopyCodeDialog dialog(vid);
        const QString plain = dialog.codeBrowser()->toPlainText();
        QCOMPARE(plain.count(vid), 1);
        QVERIFY(plain.contains(QStringLiteral("    vid: \"%1\",").arg(vid)));
        QVERIFY(!plain.contains(QRegularExpression(QStringLiteral("<(span|p|font|body)\\b"))));
        QCOMPARE(plain.split('\n').size(), 11);
        QVERIFY(plain.startsWith(
            QStringLiteral("<script src=\"//player.orvane.com/script/player.js\"></script>")));
    }

    void deleteFailures()
    {
        DeleteVideoFailedPromptDialog dialog(videos_.get());
        for (int i = 0; i < 3; ++i)
            dialog.AddFailure(Vid(i), QStringLiteral("<b>video not exist</b>"));
        QVERIFY(dialog.headerLabel()->text().contains(QStringLiteral(">3</span>")));
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>(QStringLiteral("msgLabel"));
        QCOMPARE(labels.size(), 3);
        QVERIFY(labels.first()->text().contains(QStringLiteral("&lt;b&gt;")));
    }

    // Add a sub-category, move a video into it, find it by vid, delete it.
    void endToEnd()
    {
        orvtest::QueuedSpy added(categories_.get(), &CategoryTreeModel::SignalAddCategorySucceed);
        AddCategoryDialog add(categories_.get(), IdOf(QStringLiteral("Travel & Q&A")), page_.get());
        add.show();
        add.inputEditor()->setText(QStringLiteral("Road trips"));
        add.SlotConfirm();
        QVERIFY(added.wait(15000));
        QVERIFY(Idle());
        const qulonglong trips = IdOf(QStringLiteral("Road trips"));
        QVERIFY(trips != 0);

        const QString vid = videos_->index(0, 0).data(VideoTableModel::DataRole::Vid).toString();
        QVERIFY(!vid.isEmpty());
        SelectCategoryDialog move(SelectCategoryDialog::MoveVideoMode, categories_.get(), videos_.get(),
                                  page_.get());
        move.show();
        move.SetVids({vid});
        QVERIFY(move.SelectCateId(trips));
        orvtest::QueuedSpy moved(videos_.get(), &VideoTableModel::SignalMoveVideoSucceed);
        move.SlotConfirm();
        QVERIFY(moved.wait(15000));
        QVERIFY(Idle());

        page_->findChild<QPushButton*>(QStringLiteral("batchSearchButton"))->click();
        auto* search = page_->findChild<VideoBatchSearchDialog*>();
        QVERIFY(search);
        QVERIFY(search->textBrowser()->AddVid(vid));
        search->findChild<QPushButton*>(QStringLiteral("queryButton"))->click();
        QVERIFY(QTest::qWaitFor([&] { return page_->searchMode(); }, 15000));
        QCOMPARE(videos_->rowCount(), 1);
        QCOMPARE(videos_->RecordOf(vid)->cateId, trips);

        // A refused delete lists the video on the page; the next one removes it.
        orvsrv::FaultRule refuse;
        refuse.pathPattern = QStringLiteral("delete-video");
        refuse.failNextN = 1;
        env_.server().AddFault(refuse);
        videos_->DeleteVideos({vid});
        DeleteVideoFailedPromptDialog* failed = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (failed = page_->findChild<DeleteVideoFailedPromptDialog*>()); },
                                15000));
        QCOMPARE(failed->count(), 1);
        QVERIFY(Idle());
        orvtest::QueuedSpy deleted(videos_.get(), &VideoTableModel::SignalDeleteVideosSucceed);
        videos_->DeleteVideos({vid});
        QVERIFY(deleted.wait(15000));
        QVERIFY(Idle());
    }
};

QTEST_MAIN(LibraryDialogsTest)
#include "tst_librarydialogs.moc"
