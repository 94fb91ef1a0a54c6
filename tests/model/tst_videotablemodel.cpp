// The video list model against the local platform server: pages replacing
// older pages, row texts, the thumbnail cache, deletes around uploads, the
// vid search and the edit operations.

#include "modelenv.h"

#include "model/videotablemodel.h"
#include "model/videotablemodelworker.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonDocument>
#include <QtTest>

#include <memory>

using namespace ApiCollection;

class VideoTableModelTest : public QObject
{
    Q_OBJECT
private:
    orvtest::ModelEnv env_;
    QTemporaryDir files_;
    std::unique_ptr<VideoTableModel> model_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
    qulonglong cate_ = 0;           // the test's own category with the seeded videos
    QHash<QString, QString> vidOf_; // title -> vid

    QString Seed(const QString& title, int status, double duration = 60, const QString& uploader = QString())
    {
        orvsrv::VideoSeed seed;
        seed.title = title;
        seed.status = status;
        seed.duration = duration;
        seed.uploader = uploader;
        seed.cateId = qint64(cate_);
        const QString vid = env_.server().SeedVideo(QString::fromLatin1(orvsrv::kDemoMainEmail), seed);
        vidOf_.insert(title, vid);
        return vid;
    }

    // Loads a page of the test's category and waits for its end.
    bool Load(int page = 1, int pageSize = 50)
    {
        orvtest::QueuedSpy done(model_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        model_->RefreshVideoList(cate_, QString(), false, page, pageSize, TitleNameAsc);
        return done.wait(15000);
    }

    // Waits until every task (thumbnails included) has ended.
    bool Idle()
    {
        return QTest::qWaitFor([&] { return !model_->HasTask(); }, 15000);
    }

    int RowOf(const QString& title) const { return model_->RowOfVid(vidOf_.value(title)); }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        QCOMPARE(env_.Login(QString::fromLatin1(orvsrv::kDemoMainEmail)), QString());
        const Result<AddCategoryResult> added =
            Parsed(AddCategoryRequest(QUuid::createUuid(), env_.account().cateId(),
                                      QStringLiteral("Model tests"), nullptr),
                   ParseAddCategoryResponse);
        QCOMPARE(added.code(), NoError);
        cate_ = added->cateId;
        Seed(QStringLiteral("A released"), 60, 3725);
        Seed(QStringLiteral("B auto censored"), 61, 10, QStringLiteral("editor"));
        Seed(QStringLiteral("C deleted"), -1);
        Seed(QStringLiteral("D unknown"), 8);
        Seed(QStringLiteral("E uploading"), 5);
        model_ = std::make_unique<VideoTableModel>();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void cleanupTestCase()
    {
        tester_.reset();
        if (model_)
            model_->WaitForTasks();
        model_.reset();
        env_.Stop();
    }

    void listElement_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("full") << QByteArray(R"({"vid":"v1","basicInfo":{"title":"t","status":61}})") << true;
        QTest::newRow("no basicInfo") << QByteArray(R"({"vid":"v1"})") << false;
        QTest::newRow("basicInfo not an object") << QByteArray(R"({"vid":"v1","basicInfo":[1]})") << false;
        QTest::newRow("not an object") << QByteArray(R"(["v1"])") << false;
    }
    void listElement()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        const QJsonDocument doc = QJsonDocument::fromJson(json);
        const QJsonValue element = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
        VideoListRecord record;
        QCOMPARE(VideoListRecord::FromListElement(element, &record), accepted);
        if (accepted)
            QCOMPARE(record.status, 61);
    }

    void rowTexts_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("pattern"); // the whole text
        const QString release = QCoreApplication::translate("VideoStatus", "Release");
        const QString unknown = VideoTableModel::tr("unknown");
        QTest::newRow("60") << "A released" << int(VideoTableModel::Status) << release;
        QTest::newRow("61 as 60") << "B auto censored" << int(VideoTableModel::Status) << release;
        QTest::newRow("-1") << "C deleted" << int(VideoTableModel::Status) << unknown;
        QTest::newRow("8") << "D unknown" << int(VideoTableModel::Status) << unknown;
        QTest::newRow("5") << "E uploading" << int(VideoTableModel::Status)
                           << QCoreApplication::translate("VideoStatus", "Uploading");
        QTest::newRow("empty uploader")
            << "A released" << int(VideoTableModel::Uploader) << VideoTableModel::tr("MainUploader");
        QTest::newRow("uploader") << "B auto censored" << int(VideoTableModel::Uploader) << "editor";
        // Title, "size | hh:mm:ss", vid; the upload time with the date above the time.
        QTest::newRow("display info")
            << "A released" << int(VideoTableModel::DisplayInfo) << "A released\n[^\n]+ \\| 01:02:05\n{vid}";
        QTest::newRow("date above time") << "A released" << int(VideoTableModel::UploadTime) << "\\S+\n\\S+";
    }
    void rowTexts()
    {
        QFETCH(QString, title);
        QFETCH(int, column);
        QFETCH(QString, pattern);
        if (model_->rowCount() == 0)
            QVERIFY(Load());
        const int row = RowOf(title);
        QVERIFY(row >= 0);
        const QString text = model_->index(row, column).data().toString();
        pattern.replace(QStringLiteral("{vid}"), QRegularExpression::escape(vidOf_.value(title)));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch(),
                 qPrintable(text));
        // Every row's link is inactive: they are all in the shown category.
        QCOMPARE(model_->index(row, VideoTableModel::CategoryName)
                     .data(VideoTableModel::ButtonEnabledRole)
                     .toInt(),
                 0);
    }

    void laterPageReplacesEarlierPage()
    {
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("list-video");
        slow.latencyMs = 1500;
        const int fault = env_.server().AddFault(slow);
        orvtest::QueuedSpy aborted(model_.get(), &VideoTableModel::SignalRefreshVideoListAbort);
        orvtest::QueuedSpy succeeded(model_.get(), &VideoTableModel::SignalRefreshVideoListSucceed);
        orvtest::QueuedSpy ends(model_.get(), &VideoTableModel::SignalTaskEndStatus);
        const QUuid first = model_->RefreshVideoList(cate_, QString(), false, 1, 2, TitleNameAsc);
        QTest::qWait(200);
        const QUuid second = model_->RefreshVideoList(cate_, QString(), false, 2, 2, TitleNameAsc);
        QVERIFY(QTest::qWaitFor([&] { return succeeded.count() == 1; }, 15000));
        env_.server().RemoveFault(fault);
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(succeeded.first().at(0).toULongLong(), 2ULL);
        QCOMPARE(model_->rowCount(), 2);
        QCOMPARE(model_->index(0, 0).data(VideoTableModel::DataRole::Title).toString(),
                 QStringLiteral("C deleted"));
        QVERIFY(Idle());
        QHash<QUuid, TaskEndStatus> endOf;
        for (const QVariantList& end : ends)
            endOf.insert(end.at(0).value<QUuid>(), end.at(1).value<TaskEndStatus>());
        QCOMPARE(endOf.value(first), EndAborted);
        QCOMPARE(endOf.value(second), EndFinished);
    }

    void thumbnailsComeFromTheCache()
    {
        QVERIFY(Idle());
        orvtest::QueuedSpy thumbs(model_.get(), &VideoTableModel::SignalThumbsAlready);
        QVERIFY(Load() && Idle());
        const int rows = model_->rowCount();
        QCOMPARE(thumbs.count(), rows);
        const QPixmap shown =
            model_->index(0, VideoTableModel::Thumbs).data(VideoTableModel::ThumbnailRole).value<QPixmap>();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= VideoTableModelWorker::kThumbSize * shown.devicePixelRatio());

        const int downloads = env_.server().RequestCount(QStringLiteral("/files/"));
        QVERIFY(Load() && Idle());
        QCOMPARE(thumbs.count(), 2 * rows);
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/files/")), downloads);

        // A cache file that no longer loads is fetched again.
        const QString vid = model_->index(0, 0).data(VideoTableModel::DataRole::Vid).toString();
        const QString dir = VideoTableModelWorker::ThumbnailDir(env_.account().userId(), vid);
        QDirIterator it(dir, QDir::Files);
        QVERIFY(it.hasNext());
        QFile broken(it.next());
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("not an image");
        broken.close();
        QVERIFY(Load() && Idle());
        QCOMPARE(thumbs.count(), 3 * rows);
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/files/")), downloads + 1);
        QVERIFY(!QImage(broken.fileName()).isNull());
    }

    void thumbnailFileName_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "https://h/files/u/v/thumb.png"
                               << "thumb.png";
        QTest::newRow("encoded dots") << "https://h/files/..%2F..%2Fevil.png"
                                      << "evil.png";
        QTest::newRow("backslashes") << "https://h/files/a%5C..%5Cb.png"
                                     << "b.png";
        QTest::newRow("no file name") << "https://h/"
                                      << "thumbnail";
        QTest::newRow("dot dot") << "https://h/files/%2E%2E"
                                 << "thumbnail";
        QTest::newRow("drive letter") << "https://h/C:evil.png"
                                      << "C_evil.png";
    }
    void thumbnailFileName()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QCOMPARE(VideoTableModelWorker::ThumbnailFileName(QUrl(url)), name);
    }

    void deleteKeepsOtherClientsUploads()
    {
        // This client's upload of a video the list shows in status 5.
        // Held back by the server and paused, so that it stays unfinished.
        orvsrv::FaultRule slow;
        slow.pathPattern = QStringLiteral("^/tus/");
        slow.latencyMs = 1000;
        const int fault = env_.server().AddFault(slow);
        SDKManager* uploads = SDKManager::instance();
        const QString file =
            orvtest::WriteRandomFile(files_.filePath(QStringLiteral("clip.mp4")), 1 << 21, 7);
        QVERIFY(uploads->AddUpload(qint64(cate_), file, QStringLiteral("F local upload"), QString(),
                                   QString(), QString(), 0, 0));
        QString local;
        for (const SharedUploadTaskPtr& task : uploads->tasks())
            if (task->record().fileName == file)
                local = task->record().vid;
        QVERIFY(!local.isEmpty());
        uploads->StartOrPause(local, false);
        env_.server().RemoveFault(fault);
        orvsrv::VideoSeed seed;
        seed.vid = local;
        seed.status = 5;
        seed.cateId = qint64(cate_);
        QCOMPARE(env_.server().SeedVideo(QString::fromLatin1(orvsrv::kDemoMainEmail), seed), local);
        const QString foreign = vidOf_.value(QStringLiteral("E uploading"));
        const QString plain = Seed(QStringLiteral("G to delete"), 60);
        QVERIFY(Load());

        const int deletes = env_.server().RequestCount(QStringLiteral("/v3/video/delete-video"));
        orvtest::QueuedSpy failed(model_.get(), &VideoTableModel::SignalDeleteVideosFailed);
        model_->DeleteVideos({local, foreign, plain});
        QVERIFY(failed.wait(15000));
        const VideoErrorList errors = failed.first().first().value<VideoErrorList>();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first, foreign);
        QCOMPARE(errors.first().second, VideoTableModel::tr("DeleteUploadingVideoFromOtherClient"));
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/v3/video/delete-video")), deletes + 1);
        QVERIFY(QTest::qWaitFor([&] { return !uploads->contains(local); }, 10000));
        QVERIFY(Load());
        QCOMPARE(model_->RowOfVid(plain), -1);
        QVERIFY(model_->RowOfVid(foreign) >= 0);
    }

    void showVideosInfoFillsTheTable()
    {
        const QStringList vids{vidOf_.value(QStringLiteral("A released")),
                               vidOf_.value(QStringLiteral("D unknown"))};
        orvtest::QueuedSpy done(model_.get(), &VideoTableModel::SignalGetVideoListDone);
        model_->ShowVideosInfo(vids);
        QVERIFY(done.wait(15000));
        QCOMPARE(done.first().first().toInt(), 2);
        QCOMPARE(model_->AllVids(), vids);
        QCOMPARE(model_->ShownCateId(), VideoTableModel::kNoCategory);
        QCOMPARE(
            model_->index(0, VideoTableModel::CategoryName).data(VideoTableModel::ButtonEnabledRole).toInt(),
            1);
    }

    // The row takes the new title and thumbnail without a reload.
    void editsUpdateTheRow()
    {
        QVERIFY(Load());
        const QString vid = vidOf_.value(QStringLiteral("A released"));
        orvtest::QueuedSpy updated(model_.get(), &VideoTableModel::SignalUpdateVideoInfoSucceed);
        model_->UpdateVideoInfo(vid, QStringLiteral("A renamed"), QStringLiteral("x,y"), QStringLiteral("d"));
        QVERIFY(updated.wait(15000));
        QVERIFY(QTest::qWaitFor([&] {
            return model_->RecordOf(vid) && model_->RecordOf(vid)->title == QLatin1String("A renamed");
        }));

        const QString png = files_.filePath(QStringLiteral("cover.png"));
        QImage image(320, 180, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(png));
        orvtest::QueuedSpy uploaded(model_.get(), &VideoTableModel::SignalUploadVideoCoverSucceed);
        model_->UploadVideoCover(vid, QFileInfo(png));
        QVERIFY(uploaded.wait(15000));
        QVERIFY(QTest::qWaitFor(
            [&] { return model_->RecordOf(vid)->thumbnailURL == uploaded.first().at(3).toUrl(); }));
    }
};

QTEST_MAIN(VideoTableModelTest)
#include "tst_videotablemodel.moc"
