// The library page and its small dialogs against the local platform server:
// what each control asks of the server, the paginator's windows, the search
// refusals, the CSV export, the delete question and failures, the slow-task
// note; the category dialogs' name checks and locking, the moves and renames
// that must not reach the server, the context menu's rights, the vid entry
// box, the embed snippet and one path through the page.

#include "modelenv.h"

#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/common/msgbox.h"
#include "ui/common/toast.h"
#include "ui/resources.h"
#include "ui/videolist/addcategorydialog.h"
#include "ui/videolist/categorytreeview.h"
#include "ui/videolist/checkableheaderview.h"
#include "ui/videolist/copycodedialog.h"
#include "ui/videolist/deletevideofailedpromptdialog.h"
#include "ui/videolist/paginator.h"
#include "ui/videolist/selectcategorydialog.h"
#include "ui/videolist/videobatchsearchdialog.h"
#include "ui/videolist/videolistwidget.h"
#include "ui/videolist/videotableview.h"
#include "ui/videolist/vidtextbrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {
const QString kList = QStringLiteral("/v3/video/list-video");
const QString kCategory = QStringLiteral("/v3/category/");
const QString kDelete = QStringLiteral("/v3/video/delete-video");

QString Vid(int n)
{
    return QStringLiteral("%1_%2").arg(n, 32, 10, QLatin1Char('0')).arg(n % 10);
}
} // namespace

class VideoListPageTest : public QObject
{
    Q_OBJECT
private:
    orvtest::ModelEnv env_;
    QTemporaryDir dir_;
    std::unique_ptr<CategoryTreeModel> categories_;
    std::unique_ptr<VideoTableModel> videos_;
    std::unique_ptr<VideoListWidget> page_;
    QString specialVid_, longVid_;

    // The query of the last list request after `action`, once its answer arrived.
    QUrlQuery ListAfter(const std::function<void()>& action)
    {
        orvtest::QueuedSpy done(videos_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        const int before = env_.server().RequestCount(kList);
        action();
        if (!done.wait(15000) || env_.server().RequestCount(kList) == before)
            return QUrlQuery();
        return QUrlQuery(QUrl(env_.server().Requests(kList).last()));
    }

    void ClickHeader(int section)
    {
        CheckableHeaderView* header = page_->tableView()->header();
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    bool Show(const QStringList& vids)
    {
        orvtest::QueuedSpy done(videos_.get(), &VideoTableModel::SignalGetVideoListDone);
        videos_->ShowVideosInfo(vids);
        return done.wait(15000);
    }

    qulonglong IdOf(const QString& name)
    {
        const QModelIndexList hits = categories_->match(categories_->index(0, 0), Qt::DisplayRole, name, 1,
                                                        Qt::MatchExactly | Qt::MatchRecursive);
        return hits.isEmpty() ? 0 : hits.first().data(CategoryRole::CateId).toULongLong();
    }

    int CategoryRequests() { return env_.server().RequestCount(kCategory); }

    // Answers the next question box with `button`, keeping its text and tooltip.
    void Answer(QDialogButtonBox::StandardButton button, QString* text = nullptr, QString* tip = nullptr)
    {
        QTimer::singleShot(200, this, [=] {
            auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (text)
                *text = box->findChild<QLabel*>(QStringLiteral("textLabel"))->text();
            if (tip)
                *tip = box->toolTip();
            box->buttonBox()->button(button)->click();
        });
    }

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
        const QString email = QString::fromLatin1(orvsrv::kDemoMainEmail);
        QCOMPARE(env_.Login(email), QString());
        orvsrv::VideoSeed seed;
        for (int i = 0; i < 25; ++i) { // enough for a fourth page of 20
            seed.title = QStringLiteral("Extra %1").arg(i);
            QVERIFY(!env_.server().SeedVideo(email, seed).isEmpty());
        }
        seed.title = QStringLiteral("Quote \"this\", please\nsecond line");
        specialVid_ = env_.server().SeedVideo(email, seed);
        seed.title =
            QStringLiteral("A very long title that is much wider than two hundred pixels of the box");
        longVid_ = env_.server().SeedVideo(email, seed);

        categories_ = std::make_unique<CategoryTreeModel>();
        videos_ = std::make_unique<VideoTableModel>(categories_.get());
        page_ = std::make_unique<VideoListWidget>(env_.Services(categories_.get(), videos_.get()));
        page_->resize(1000, 600);
        page_->show();
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

    void firstRequestIsPageOneUnsorted()
    {
        const QUrlQuery query = ListAfter([&] { page_->Init(); });
        QCOMPARE(query.queryItemValue("page"), QStringLiteral("1"));
        QCOMPARE(query.queryItemValue("pageSize"), QStringLiteral("20"));
        QCOMPARE(query.queryItemValue("containSubCate"), QStringLiteral("Y"));
        QVERIFY(!query.hasQueryItem("sort"));
        QCOMPARE(page_->statusText(), VideoListWidget::tr("Total %1 videos").arg(20));
        QVERIFY(QTest::qWaitFor([&] { return IdOf(QStringLiteral("Mechanics")) != 0; }, 15000));
        QVERIFY(Idle());
    }

    void headerClicksSort()
    {
        const QList<QPair<int, QString>> clicks{{VideoTableModel::DisplayInfo, "titleDesc"},
                                                {VideoTableModel::DisplayInfo, "titleAsc"},
                                                {VideoTableModel::UploadTime, "creationTimeAsc"}};
        for (const auto& click : clicks) {
            const QUrlQuery query = ListAfter([&] { ClickHeader(click.first); });
            QCOMPARE(query.queryItemValue("sort"), click.second);
            QCOMPARE(query.queryItemValue("page"), QStringLiteral("1"));
        }
    }

    void pageSizeChangeReturnsToPageOne()
    {
        Paginator* paginator = page_->paginator();
        QVERIFY(paginator->total() >= 4);
        QCOMPARE(ListAfter([&] { emit paginator->pageComboBox()->activated(3); }).queryItemValue("page"),
                 QStringLiteral("4"));
        QCOMPARE(paginator->current(), 4ULL);
        const QUrlQuery query = ListAfter([&] { emit paginator->pageSizeComboBox()->activated(2); });
        QCOMPARE(query.queryItemValue("page"), QStringLiteral("1"));
        QCOMPARE(query.queryItemValue("pageSize"), QStringLiteral("100"));
    }

    void paginatorWindow_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("shown"); // visible buttons, the checked one in brackets
        QTest::newRow("3 pages") << 2 << 3 << "1 [2] 3";
        QTest::newRow("start") << 1 << 20 << "[1] 2 3 4 5";
        QTest::newRow("middle") << 7 << 20 << "5 6 [7] 8 9";
        QTest::newRow("near the end") << 19 << 20 << "16 17 18 [19] 20";
        QTest::newRow("end") << 20 << 20 << "16 17 18 19 [20]";
    }

    void paginatorWindow()
    {
        QFETCH(int, current);
        QFETCH(int, total);
        QFETCH(QString, shown);
        Paginator paginator;
        paginator.SetPages(current, total, 20);
        QStringList texts;
        for (int i = 0; i < Paginator::kButtons; ++i) {
            const QPushButton* b = paginator.pageButton(i);
            if (!b->isHidden())
                texts << (b->isChecked() ? QStringLiteral("[%1]").arg(b->text()) : b->text());
        }
        QCOMPARE(texts.join(' '), shown);
        QCOMPARE(paginator.previousButton()->isEnabled(), current > 1);
        QCOMPARE(paginator.nextButton()->isEnabled(), current < total);
    }

    void searchInAllCategories()
    {
        page_->findChild<QPushButton*>("noContainSubCateButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !videos_->HasTask(); }, 15000));
        QVERIFY(!page_->containSubCate());
        page_->findChild<QComboBox*>("searchVideoCateTypeComboBox")->setCurrentIndex(1);
        page_->findChild<QLineEdit*>("searchVideoLineEdit")->setText(QStringLiteral("Extra"));
        const QUrlQuery query = ListAfter([&] { page_->Search(); });
        QCOMPARE(query.queryItemValue("containSubCate"), QStringLiteral("Y"));
        QCOMPARE(query.queryItemValue("page"), QStringLiteral("1"));
        QCOMPARE(query.queryItemValue("cateId").toULongLong(), categories_->TopCateId());
        QVERIFY(page_->containSubCate() && page_->searchMode());

        // Text outside the Basic Multilingual Plane never reaches the server.
        const int before = env_.server().RequestCount(kList);
        page_->findChild<QLineEdit*>("searchVideoLineEdit")->setText(QStringLiteral("clip \U0001F600"));
        page_->Search();
        QTest::qWait(300);
        QCOMPARE(env_.server().RequestCount(kList), before);
        page_->findChild<QLineEdit*>("searchVideoLineEdit")->clear();
    }

    void exportKeepsTitlesIntact()
    {
        QVERIFY(Show({specialVid_, longVid_}));
        videos_->SetAllChecked(true);
        QCOMPARE(page_->statusText(), VideoListWidget::tr("Selected %1/%2 videos").arg(2).arg(2));
        const QString path = dir_.filePath(QStringLiteral("export.csv"));
        QVERIFY(page_->ExportTo(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // A byte order mark, the header, a line per checked row; quotes, a
        // comma and a line break in a title stay inside one quoted field.
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFvid,"));
        QVERIFY(bytes.contains(
            (QLatin1Char('\n') + specialVid_ + ",\"Quote \"\"this\"\", please\nsecond line\",").toUtf8()));
        const QStringList lines = QString::fromUtf8(bytes).split('\n');
        QCOMPARE(lines.size(), 5); // the quoted line break, and the last line's end
        QCOMPARE(lines[0].split(',').size(), 16);
        QVERIFY(lines[3].startsWith(longVid_ + ",A very long title"));
        // Sixteen fields, quoted ones (tags hold commas) counted as one.
        const QRegularExpression quoted(QStringLiteral("\"([^\"]|\"\")*\""));
        QCOMPARE(QString(lines[3]).remove(quoted).split(',').size(), 16);
    }

    // The question elides a long title and shows it whole as its tooltip;
    // declined, nothing is sent.
    void deleteCheckedDeclined()
    {
        QVERIFY(Show({longVid_}));
        videos_->SetAllChecked(true);
        QString text, tip;
        Answer(QDialogButtonBox::Cancel, &text, &tip);
        const int deletes = env_.server().RequestCount(kDelete);
        page_->DeleteChecked();
        QVERIFY2(text.contains(QChar(0x2026)), qPrintable(text));
        QCOMPARE(tip, videos_->RecordOf(longVid_)->title);
        QVERIFY(Idle());
        QCOMPARE(env_.server().RequestCount(kDelete), deletes);
    }

    void slowTaskShowsNoteUntilItEnds()
    {
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("list-video");
        slow.latencyMs = 3000;
        const int fault = env_.server().AddFault(slow);
        orvtest::QueuedSpy done(videos_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        page_->SlotRefreshVideoList();
        QVERIFY(QTest::qWaitFor([&] { return page_->slowToast() && page_->slowToast()->isVisible(); }, 2900));
        QVERIFY(done.wait(10000));
        env_.server().RemoveFault(fault);
        QVERIFY(QTest::qWaitFor([&] { return !page_->slowToast()->isVisible(); }, 2000));
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
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("enabled"); // add, move, rename
        const QString main = QString::fromLatin1(orvsrv::kDemoMainEmail);
        const QString reader = QString::fromLatin1(orvsrv::kDemoReaderSubEmail);
        QTest::newRow("top") << main << "Demo Library"
                             << "100";
        QTest::newRow("child") << main << "Music"
                               << "111";
        QTest::newRow("child, no category rights") << reader << "Music"
                                                   << "000";
    }

    void contextMenu()
    {
        QFETCH(QString, account);
        QFETCH(QString, category);
        QFETCH(QString, enabled);
        const QString main = QString::fromLatin1(orvsrv::kDemoMainEmail);
        if (account != main)
            QCOMPARE(env_.Login(account), QString());
        auto* tree = page_->findChild<CategoryTreeView*>(QStringLiteral("cateTreeView"));
        QVERIFY(tree->SelectCateId(IdOf(category)));
        std::unique_ptr<QMenu> menu(tree->BuildContextMenu(tree->currentIndex()));
        if (account != main)
            QCOMPARE(env_.Login(main), QString());
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

    // Enter commits the typed text when it has the vid form; dropped text and
    // files become tags, anything else is refused.
    void vidEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QByteArray>("dropped");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("tip");
        QFile file(dir_.filePath(QStringLiteral("vids.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((Vid(1) + '\n' + Vid(2) + '\n' + Vid(3) + '\n').toUtf8());
        file.close();
        QTest::newRow("Enter") << Vid(1) << QString() << QByteArray() << 1 << QString();
        const QString refused = VidTextBrowser::tr("Input Correct Vid");
        QTest::newRow("33 characters") << Vid(1).left(33) << QString() << QByteArray() << 0 << refused;
        QTest::newRow("35 characters") << Vid(1) + "0" << QString() << QByteArray() << 0 << refused;
        QTest::newRow("first part 31")
            << QString(31, 'a') + "_12" << QString() << QByteArray() << 0 << refused;
        QTest::newRow("two underscores")
            << QString(32, 'a') + "_" << QString() << QByteArray() << 0 << refused;
        QTest::newRow("dropped text")
            << QString() << "text/plain" << (Vid(1) + " " + Vid(2)).toUtf8() << 2 << QString();
        QTest::newRow("dropped file")
            << QString() << "text/uri-list" << QUrl::fromLocalFile(file.fileName()).toEncoded() << 3
            << VidTextBrowser::tr("Input some vids");
        QTest::newRow("dropped picture")
            << QString() << "image/png" << QByteArray("png") << 0 << VidTextBrowser::tr("Drag File Error");
    }

    void vidEntry()
    {
        QFETCH(QString, typed);
        QFETCH(QString, mime);
        QFETCH(QByteArray, dropped);
        QFETCH(int, count);
        QFETCH(QString, tip);
        VidTextBrowser browser;
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        QTest::keyClicks(&browser, typed);
        QTest::keyClick(&browser, Qt::Key_Return);
        if (!mime.isEmpty()) {
            QMimeData data;
            data.setData(mime, dropped);
            const QPoint at(10, 10);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(browser.viewport(), &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(browser.viewport(), &move);
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(browser.viewport(), &drop);
        }
        QTRY_COMPARE(browser.vids().size(), count);
        QTRY_COMPARE(browser.lastTip(), tip);
        // A refused text stays for correction.
        if (count == 0 && !typed.isEmpty())
            QVERIFY(browser.toPlainText().contains(typed));
    }

    void embedSnippet()
    {
        const QString vid = Vid(7);
        CopyCodeDialog dialog(vid, &env_.config());
        const QString plain = dialog.codeBrowser()->toPlainText();
        QCOMPARE(plain.count(vid), 1);
        QVERIFY(plain.contains(QStringLiteral("    vid: \"%1\",").arg(vid)));
        QVERIFY(!plain.contains(QRegularExpression(QStringLiteral("<(span|p|font|body)\\b"))));
        QCOMPARE(plain.split('\n').size(), 11);
        QVERIFY(plain.startsWith(
            QStringLiteral("<script src=\"//player.orvane.com/script/player.js\"></script>")));
        // A deployment names its own player host in the settings.
        env_.config().setValue(QStringLiteral("Custom"), QStringLiteral("playerHost"), "play.example.test");
        const CopyCodeDialog custom(vid, &env_.config());
        env_.config().remove(QStringLiteral("Custom"), QStringLiteral("playerHost"));
        QVERIFY(custom.codeBrowser()->toPlainText().startsWith("<script src=\"//play.example.test/script/"));
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

    // Move a video into another category, find it by vid, have its delete refused.
    void endToEnd()
    {
        const QString vid = videos_->index(0, 0).data(VideoTableModel::DataRole::Vid).toString();
        QVERIFY(!vid.isEmpty());
        const qulonglong music = IdOf(QStringLiteral("Music"));
        const qulonglong target =
            videos_->RecordOf(vid)->cateId == music ? IdOf(QStringLiteral("Movies")) : music;
        SelectCategoryDialog move(SelectCategoryDialog::MoveVideoMode, categories_.get(), videos_.get(),
                                  page_.get());
        move.show();
        move.SetVids({vid});
        QVERIFY(move.SelectCateId(target));
        orvtest::QueuedSpy moved(videos_.get(), &VideoTableModel::SignalMoveVideoSucceed);
        move.SlotConfirm();
        QVERIFY(moved.wait(15000));
        QVERIFY(Idle());

        page_->findChild<QPushButton*>(QStringLiteral("batchSearchButton"))->click();
        auto* search = page_->findChild<VideoBatchSearchDialog*>();
        QVERIFY(search);
        QVERIFY(search->textBrowser()->AddVid(vid));
        orvtest::QueuedSpy shown(videos_.get(), &VideoTableModel::SignalGetVideoListDone);
        search->findChild<QPushButton*>(QStringLiteral("queryButton"))->click();
        QVERIFY(shown.wait(15000));
        QVERIFY(page_->searchMode());
        QCOMPARE(videos_->rowCount(), 1);
        QCOMPARE(videos_->RecordOf(vid)->cateId, target);

        // Confirmed, the delete is sent; the server refuses it and the page lists the video.
        orvsrv::FaultRule refuse;
        refuse.pathPattern = QStringLiteral("delete-video");
        refuse.failNextN = 1;
        env_.server().AddFault(refuse);
        videos_->SetAllChecked(true);
        Answer(QDialogButtonBox::Ok);
        const int deletes = env_.server().RequestCount(kDelete);
        page_->DeleteChecked();
        DeleteVideoFailedPromptDialog* failed = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (failed = page_->findChild<DeleteVideoFailedPromptDialog*>()); },
                                15000));
        const std::unique_ptr<DeleteVideoFailedPromptDialog> owner(failed);
        QCOMPARE(failed->count(), 1);
        QVERIFY(Idle());
        QCOMPARE(env_.server().RequestCount(kDelete), deletes + 1);
    }
};

QTEST_MAIN(VideoListPageTest)
#include "tst_videolistpage.moc"
