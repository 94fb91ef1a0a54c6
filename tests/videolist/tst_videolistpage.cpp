// The library page and its small dialogs against the local platform server:
// what each control asks of the server, the paginator's windows, the search
// refusals, the CSV export, the delete question and failures, the slow-task
// note; the category dialogs' name checks and locking, the moves and renames
// that must not reach the server, the context menu's rights, the vid entry
// box, the embed snippet and one path through the page. The video edit
// dialog: saving and its close guard, the cover page's pictures, cover change
// and custom cover upload, with the requests counted on the server.

#include "../shell/shelltest.h"
#include "modelenv.h"
#include "testsupport.h"

#include "base/paths.h"
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
#include "ui/videolist/videoeditdialog.h"
#include "ui/videolist/videolistwidget.h"
#include "ui/videolist/videotableview.h"
#include "ui/videolist/vidtextbrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
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
const QString kUpdate = QStringLiteral("/v3/video/update-info");
const QString kUpload = QStringLiteral("/v3/video/upload-cover-image");
const QString kFiles = QStringLiteral("/files/");

// Records the text of every toast shown while it exists (toasts delete
// themselves after a few seconds).
class ToastRecorder : public QObject
{
public:
    ToastRecorder() { qApp->installEventFilter(this); }
    ~ToastRecorder() override { qApp->removeEventFilter(this); }
    // Toasts showing the text of `key`, up to its "%1" when it has one.
    int Count(const QString& key) const
    {
        const QString text = QCoreApplication::translate("VideoEditDialog", qPrintable(key));
        const QString prefix = text.left(text.indexOf(QLatin1String("%1")));
        return int(std::count_if(texts_.cbegin(), texts_.cend(),
                                 [&](const QString& shown) { return shown.startsWith(prefix); }));
    }
    bool Seen(const QString& key) const { return Count(key) > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("Toast"))
            if (auto* msg = watched->findChild<QLabel*>(QStringLiteral("msg")))
                texts_ << msg->text();
        return false;
    }

private:
    QStringList texts_;
};

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
    std::unique_ptr<VideoTableModel> model_; // the edit dialog's, without categories
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

    bool Idle()
    {
        return QTest::qWaitFor([&] { return !categories_->HasTask() && !videos_->HasTask(); }, 15000);
    }

    // The edit dialog's model loads the first page of the demo library.
    bool LoadPage()
    {
        orvtest::QueuedSpy done(model_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        model_->RefreshVideoList(1, QString(), true, 1, 20, ApiCollection::NoSort);
        return done.wait(20000) && model_->rowCount() > 0;
    }

    std::unique_ptr<VideoEditDialog> Open(int row)
    {
        auto dialog =
            std::make_unique<VideoEditDialog>(model_.get(), env_.account().userId(), model_->index(row, 2));
        dialog->show();
        return dialog;
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                    : QString();
    }

private slots:
    void initTestCase()
    {
        InitOrvaneResources();
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        QCOMPARE(env_.Login(QString::fromLatin1(orvsrv::kDemoMainEmail)), QString());
        model_ = std::make_unique<VideoTableModel>();
        QVERIFY(LoadPage());
        categories_ = std::make_unique<CategoryTreeModel>();
        videos_ = std::make_unique<VideoTableModel>(categories_.get());
        page_ = std::make_unique<VideoListWidget>(env_.Services(categories_.get(), videos_.get()));
        page_->resize(1000, 600);
        page_->show();
    }

    void cleanupTestCase()
    {
        page_.reset();
        model_.reset(); // waits for its tasks
        videos_->WaitForTasks();
        categories_->WaitForTasks();
        videos_.reset();
        categories_.reset();
        env_.Stop();
    }

    void save_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("failures"); // update answers the server refuses first
        QTest::addColumn<int>("requests");
        QTest::newRow("unchanged form sends nothing") << QString() << 0 << 0;
        QTest::newRow("refused, then saved") << QStringLiteral("Edited title") << 1 << 2;
    }

    void save()
    {
        QFETCH(QString, title);
        QFETCH(int, failures);
        QFETCH(int, requests);
        const int before = env_.server().RequestCount(kUpdate);
        orvsrv::FaultRule refuse;
        refuse.pathPattern = kUpdate;
        refuse.failNextN = failures;
        refuse.httpStatus = 400;
        const int fault = env_.server().AddFault(refuse);
        ToastRecorder toasts;
        const QString vid = model_->index(1, 0).data(VideoTableModel::DataRole::Vid).toString();
        auto dialog = Open(1);
        auto* confirm = Child<QPushButton>(dialog.get(), "confirmButton");
        if (!title.isEmpty())
            Child<QLineEdit>(dialog.get(), "titleLineEdit")->setText(title);
        for (int i = 0; i < failures; ++i) {
            confirm->click();
            QVERIFY(!confirm->isEnabled());
            // Escape while the update runs keeps the dialog open.
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QVERIFY(toasts.Seen(QStringLiteral("VideoEditDialog.CloseWhenUpdateVideoInfo!")));
            QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 15000);
            QVERIFY(dialog->isVisible());
            QVERIFY(Child<QPushButton>(dialog.get(), "cancelButton")->isEnabled());
            QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.UpdateVideoInfoFailed:")), i + 1);
        }
        confirm->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), int(QDialog::Accepted), 15000);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(env_.server().RequestCount(kUpdate) - before, requests);
        env_.server().RemoveFault(fault);
        if (title.isEmpty())
            return;
        QCOMPARE(dialog->title(), title);
        // The library shows the new title after its next page load.
        QVERIFY(LoadPage());
        QCOMPARE(model_->index(model_->RowOfVid(vid), 0).data(VideoTableModel::DataRole::Title).toString(),
                 title);
    }

    void coverFileChecks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message"); // empty: accepted
        using orvtest::PaddedPng;
        const qint64 fiveMb = VideoEditDialog::kMaxCoverBytes;
        const QString tooWide = QStringLiteral("VideoEditDialog.UploadCoverResolutionTooLarge");
        QTest::newRow("5 MB, 1920 x 1080")
            << Write(QStringLiteral("max.png"), PaddedPng(1920, 1080, fiveMb)) << QString();
        QTest::newRow("one byte more") << Write(QStringLiteral("big.png"), PaddedPng(1920, 1080, fiveMb + 1))
                                       << QStringLiteral("VideoEditDialog.UploadCoverFileSizeTooLarge");
        QTest::newRow("1921 wide") << Write(QStringLiteral("wide.png"), PaddedPng(1921, 1080)) << tooWide;
        QTest::newRow("1081 high") << Write(QStringLiteral("high.png"), PaddedPng(1920, 1081)) << tooWide;
        // A tiny file whose header claims a huge canvas is refused from the header.
        QByteArray bomb = PaddedPng(1, 1);
        qToBigEndian(quint32(60000), bomb.data() + 16);
        qToBigEndian(quint32(60000), bomb.data() + 20);
        qToBigEndian(orvtest::Crc32(bomb.mid(12, 17)), bomb.data() + 29);
        QTest::newRow("header claims 60000 x 60000") << Write(QStringLiteral("bomb.png"), bomb) << tooWide;
        QTest::newRow("not a picture") << QFINDTESTDATA("tst_videolistpage.cpp")
                                       << QStringLiteral("VideoEditDialog.UploadCoverNotImage");
    }

    void coverFileChecks()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const int before = env_.server().RequestCount(kUpload);
        ToastRecorder toasts;
        auto dialog = Open(2);
        dialog->ShowPage(1);
        QCOMPARE(dialog->UploadCoverFile(path), message.isEmpty());
        if (message.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.UploadCoverSucceed")),
                                     30000);
            QCOMPARE(env_.server().RequestCount(kUpload), before + 1);
            dialog->reject(); // allowed once the upload ended
            QVERIFY(!dialog->isVisible());
            return;
        }
        QVERIFY(toasts.Seen(message));
        QVERIFY(Child<QPushButton>(dialog.get(), "uploadCoverButton")->isEnabled());
        QCOMPARE(env_.server().RequestCount(kUpload), before);
    }

    void coverPage()
    {
        const int row = 3;
        const QString vid = model_->index(row, 0).data(VideoTableModel::DataRole::Vid).toString();
        // Snapshots and the cover; the list's thumbnail pass fetches others.
        const QString filesOfVid = kFiles + env_.account().userId() + QLatin1Char('/') + vid;
        auto fetched = [&] {
            return env_.server().RequestCount(filesOfVid + QStringLiteral("/snap")) +
                   env_.server().RequestCount(filesOfVid + QStringLiteral("/cover"));
        };
        const int before = fetched();
        ToastRecorder toasts;
        {
            auto dialog = Open(row);
            dialog->ShowPage(1);
            // Six snapshots and the cover, each downloaded once into the cache.
            for (int i = 1; i <= VideoEditDialog::kSnapshotCount; ++i) {
                auto* label = dialog->findChild<QLabel*>(QStringLiteral("pic%1").arg(i));
                QTRY_VERIFY_WITH_TIMEOUT(label->property("valid").toBool(), 20000);
            }
            QTRY_VERIFY(Child<QLabel>(dialog.get(), "selectedPic")->property("valid").toBool());
        }
        QCOMPARE(fetched() - before, VideoEditDialog::kSnapshotCount + 1);

        // The second opening reads every picture from the cache.
        auto dialog = Open(row);
        dialog->ShowPage(1);
        auto* third = Child<QLabel>(dialog.get(), "pic3");
        QTRY_VERIFY_WITH_TIMEOUT(third->property("valid").toBool(), 20000);
        QCOMPARE(fetched() - before, VideoEditDialog::kSnapshotCount + 1);

        // Choosing the third snapshot makes it the cover; the list shows its thumbnail.
        QTest::mouseClick(third, Qt::LeftButton);
        QVERIFY(third->findChild<QLabel*>(QStringLiteral("selectedMark"))->isVisibleTo(third));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(toasts.Seen(QStringLiteral("VideoEditDialog.CloseWhenChanging!")));
        QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.ChangeCoverSucceed")), 15000);
        QVERIFY(LoadPage());
        const QModelIndex cell = model_->index(model_->RowOfVid(vid), 0);
        QCOMPARE(cell.data(VideoTableModel::DataRole::ThumbnailURL).toUrl().fileName(),
                 QStringLiteral("snap3_s.png"));
        QCOMPARE(cell.data(VideoTableModel::DataRole::CoverURL).toUrl().fileName(),
                 QStringLiteral("snap3_b.png"));

        // Closing while pictures download stops the download at once.
        orvsrv::FaultRule slow;
        slow.pathPattern = kFiles;
        slow.slowBodyBytesPerSec = 200;
        const int fault = env_.server().AddFault(slow);
        QDir(WorkDir() + QStringLiteral("/thumbs")).removeRecursively();
        dialog = Open(row);
        dialog->ShowPage(1);
        QTRY_VERIFY(fetched() > before + VideoEditDialog::kSnapshotCount + 1);
        QElapsedTimer closing;
        closing.start();
        dialog.reset();
        QVERIFY(closing.elapsed() < 5000);
        env_.server().RemoveFault(fault);
    }

    void coverUpload()
    {
        const QString first = Write(QStringLiteral("first.png"), orvtest::PaddedPng(640, 360));
        const QString second = Write(QStringLiteral("second.png"), orvtest::PaddedPng(320, 180));
        const int before = env_.server().RequestCount(kUpload);
        ToastRecorder toasts;
        auto dialog = Open(4);
        dialog->ShowPage(1);
        // The first upload is refused after a while; the second, chosen
        // meanwhile, starts once the first has ended and succeeds.
        orvsrv::FaultRule refuse;
        refuse.pathPattern = kUpload;
        refuse.failNextN = 1;
        refuse.latencyMs = 500;
        const int fault = env_.server().AddFault(refuse);
        QVERIFY(dialog->UploadCoverFile(first));
        auto* overlay = Child<QWidget>(dialog.get(), "uploadingOverlay");
        QVERIFY(!overlay->isHidden());
        // Escape and the cancel button keep the dialog open while the upload runs.
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        Child<QPushButton>(dialog.get(), "cancelButton")->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.CloseWhenUploading!")), 2);
        QVERIFY(dialog->UploadCoverFile(second));
        QTRY_VERIFY_WITH_TIMEOUT(toasts.Seen(QStringLiteral("VideoEditDialog.UploadCoverSucceed")), 20000);
        QVERIFY(overlay->isHidden());
        QTRY_VERIFY(Child<QLabel>(dialog.get(), "selectedPic")->property("valid").toBool());
        env_.server().RemoveFault(fault);
        QCOMPARE(env_.server().RequestCount(kUpload) - before, 2);
        QCOMPARE(toasts.Count(QStringLiteral("VideoEditDialog.UploadCoverFailed: %1")), 1);
        auto* upload = Child<QPushButton>(dialog.get(), "uploadCoverButton");
        QVERIFY(upload->isEnabled());

        // After a custom cover, the button asks first; Cancel ends there, OK opens the file dialog.
        for (const auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            upload->click();
            auto* question = Child<MsgBox>(dialog.get(), "reUploadQuestion");
            QVERIFY(question);
            question->buttonBox()->button(answer)->click();
            QTRY_VERIFY(!Child<MsgBox>(dialog.get(), "reUploadQuestion"));
            auto* chooser = Child<QFileDialog>(dialog.get(), "coverFileDialog");
            QCOMPARE(chooser != nullptr, answer == QDialogButtonBox::Ok);
            if (chooser) {
                // What the dialog reports for a chosen file, without its own checks' message boxes.
                emit chooser->fileSelected(first);
                chooser->reject();
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(env_.server().RequestCount(kUpload) - before == 3 && upload->isEnabled(),
                                 20000);
    }

    // The extra videos come after the edit dialog's cases, which use the demo library's first page.
    void firstRequestIsPageOneUnsorted()
    {
        const QString email = QString::fromLatin1(orvsrv::kDemoMainEmail);
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
        MsgBoxAnswer answer(QDialogButtonBox::Cancel);
        const int deletes = env_.server().RequestCount(kDelete);
        page_->DeleteChecked();
        QVERIFY2(answer.text.contains(QChar(0x2026)), qPrintable(answer.text));
        QCOMPARE(answer.tip, videos_->RecordOf(longVid_)->title);
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
        const QString file = Write(QStringLiteral("import.txt"), content.toUtf8());
        QVERIFY(!file.isEmpty());
        VidTextBrowser browser;
        orvtest::QueuedSpy done(&browser, &VidTextBrowser::SignalImportDone);
        browser.ImportFiles({file});
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
        const QString file =
            Write(QStringLiteral("vids.txt"), (Vid(1) + '\n' + Vid(2) + '\n' + Vid(3) + '\n').toUtf8());
        QVERIFY(!file.isEmpty());
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
        QTest::newRow("dropped file") << QString() << "text/uri-list" << QUrl::fromLocalFile(file).toEncoded()
                                      << 3 << VidTextBrowser::tr("Input some vids");
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
        MsgBoxAnswer confirm(QDialogButtonBox::Ok);
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
