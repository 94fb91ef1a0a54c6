// The library page against the local platform server: what each control
// asks of the server, the paginator's windows, the search refusals, the CSV
// export, the delete question and the slow-task note.

#include "modelenv.h"

#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/common/msgbox.h"
#include "ui/common/toast.h"
#include "ui/resources.h"
#include "ui/videolist/checkableheaderview.h"
#include "ui/videolist/paginator.h"
#include "ui/videolist/videolistwidget.h"
#include "ui/videolist/videotableview.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {
const QString kList = QStringLiteral("/v3/video/list-video");

// Minimal RFC 4180 reader: records of fields, quotes doubled inside quoted fields.
QList<QStringList> ReadCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"')
                field += c, ++i;
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record << field, field.clear();
        } else if (c == '\n') {
            records << (record << field), record.clear(), field.clear();
        } else {
            field += c;
        }
    }
    return records;
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
        page_ = std::make_unique<VideoListWidget>(categories_.get(), videos_.get());
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
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> records = ReadCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[0].size(), 16);
        QCOMPARE(records[0].first(), QStringLiteral("vid"));
        QCOMPARE(records[1].value(0), specialVid_);
        QCOMPARE(records[1].value(1), QStringLiteral("Quote \"this\", please\nsecond line"));
        QCOMPARE(records[2].value(0), longVid_);
        QCOMPARE(records[2].size(), 16);
    }

    void deleteQuestionElidesLongTitles()
    {
        QVERIFY(Show({longVid_}));
        videos_->SetAllChecked(true);
        QString text, tip;
        QTimer::singleShot(200, this, [&] {
            auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->findChild<QLabel*>(QStringLiteral("textLabel"))->text();
            tip = box->toolTip();
            box->reject();
        });
        const int deletes = env_.server().RequestCount(QStringLiteral("/v3/video/delete-video"));
        page_->DeleteChecked();
        QVERIFY2(text.contains(QChar(0x2026)), qPrintable(text));
        QCOMPARE(tip, videos_->RecordOf(longVid_)->title);
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/v3/video/delete-video")), deletes);
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
};

QTEST_MAIN(VideoListPageTest)
#include "tst_videolistpage.moc"
