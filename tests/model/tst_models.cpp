// The category tree and video list models against the local platform server.
// The category tree: loading,
// skipping unchanged trees, add/rename/move with their in-place updates,
// refusals, failures and the shutdown wait. The parts that need no server:
// comparing answers, building items from a tree object, and the recursive
// filter over them. The video list: pages replacing older pages, row texts,
// the thumbnail cache, deletes around uploads, the vid search and the edit
// operations.

#include "modelenv.h"

#include "api/apicollection.h"
#include "model/bmptextvalidator.h"
#include "model/categorytreemodel.h"
#include "model/categorytreemodelworker.h"
#include "model/recursivefilterproxymodel.h"
#include "model/videotablemodel.h"
#include "model/videotablemodelworker.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QtTest>

#include <memory>

using namespace ApiCollection;

namespace {
const QString kTreePath = QStringLiteral("get-cate-tree");

QJsonObject Cate(qulonglong id, const QString& name, const QString& tree, qulonglong parent,
                 QJsonValue children, QJsonValue videoCount = QJsonValue::Undefined)
{
    QJsonObject o{
        {"cateId", double(id)}, {"cateName", name}, {"cateTree", tree}, {"parentId", double(parent)}};
    if (!children.isUndefined())
        o.insert("children", children);
    if (!videoCount.isUndefined())
        o.insert("videoCount", videoCount);
    return o;
}
} // namespace

class ModelsTest : public QObject
{
    Q_OBJECT
private:
    orvtest::ModelEnv env_;
    std::unique_ptr<CategoryTreeModel> model_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
    qulonglong top_ = 0;
    // The test's own sub-tree: top > Alpha > {Beta > Gamma3rd}, top > Delta.
    qulonglong alpha_ = 0, beta_ = 0, gamma_ = 0, delta_ = 0;
    QTemporaryDir files_;
    std::unique_ptr<VideoTableModel> videos_; // without categories
    std::unique_ptr<QAbstractItemModelTester> videoTester_;
    qulonglong cate_ = 0;           // the test's own category with the seeded videos
    QHash<QString, QString> vidOf_; // title -> vid

    // The server's tree below `root` (the account's top category by default).
    QJsonObject ServerTree(qulonglong root = 0)
    {
        const Result<CateTreeResult> result = Parsed(
            GetCateTreeRequest(QUuid::createUuid(), root ? root : top_, nullptr), ParseGetCateTreeResponse);
        return result ? result->data : QJsonObject();
    }

    qulonglong ServerAdd(qulonglong parent, const QString& name)
    {
        const Result<AddCategoryResult> result =
            Parsed(AddCategoryRequest(QUuid::createUuid(), parent, name, nullptr), ParseAddCategoryResponse);
        return result ? result->cateId : 0;
    }

    // Compares one model item and its subtree with the server's object.
    void CompareTree(const QModelIndex& index, const QJsonObject& cate)
    {
        QCOMPARE(index.data(Qt::DisplayRole).toString(), cate.value("cateName").toString());
        QCOMPARE(index.data(Qt::ToolTipRole).toString(), cate.value("cateName").toString().toHtmlEscaped());
        QCOMPARE(index.data(CategoryRole::CateId).toULongLong(),
                 cate.value("cateId").toVariant().toULongLong());
        QCOMPARE(index.data(CategoryRole::CateTree).toString(),
                 cate.value("cateTree").toVariant().toString());
        QCOMPARE(index.data(CategoryRole::ParentCateId).toULongLong(),
                 cate.value("parentId").toVariant().toULongLong());
        QCOMPARE(index.data(CategoryRole::CateVideoCount).toInt(),
                 cate.value("videoCount").toVariant().toInt());
        QVERIFY(index.data(Qt::DecorationRole).canConvert<QIcon>());
        QJsonArray children;
        for (const QJsonValue& child : cate.value("children").toArray())
            if (child.isObject())
                children.append(child);
        QCOMPARE(model_->rowCount(index), children.size());
        for (int row = 0; row < children.size(); ++row) {
            CompareTree(model_->index(row, 0, index), children.at(row).toObject());
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Runs one refresh to its end (the task retired, not only Done emitted).
    bool Refresh()
    {
        orvtest::QueuedSpy ends(model_.get(), &CategoryTreeModel::SignalTaskEndStatus);
        const QUuid id = model_->RefreshCategory();
        if (id.isNull())
            return false;
        return QTest::qWaitFor(
            [&] {
                for (const auto& args : ends)
                    if (args.at(0).toUuid() == id)
                        return true;
                return false;
            },
            30000);
    }

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
        orvtest::QueuedSpy done(videos_.get(), &VideoTableModel::SignalRefreshVideoListDone);
        videos_->RefreshVideoList(cate_, QString(), false, page, pageSize, TitleNameAsc);
        return done.wait(15000);
    }

    // Waits until every task (thumbnails included) has ended.
    bool Idle()
    {
        return QTest::qWaitFor([&] { return !videos_->HasTask(); }, 15000);
    }

    int RowOf(const QString& title) const { return videos_->RowOfVid(vidOf_.value(title)); }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(env_.Start(&error), qPrintable(error));
        error = env_.Login(QString::fromLatin1(orvsrv::kDemoMainEmail));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        top_ = env_.account().cateId();
        QVERIFY(top_ != 0);

        alpha_ = ServerAdd(top_, "Alpha");
        beta_ = ServerAdd(alpha_, "Beta");
        gamma_ = ServerAdd(beta_, "Gamma3rd");
        delta_ = ServerAdd(top_, "Delta");
        QVERIFY(alpha_ && beta_ && gamma_ && delta_);

        model_ = std::make_unique<CategoryTreeModel>();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);

        cate_ = ServerAdd(top_, "Model tests");
        QVERIFY(cate_);
        Seed(QStringLiteral("A released"), 60, 3725);
        Seed(QStringLiteral("B auto censored"), 61, 10, QStringLiteral("editor"));
        Seed(QStringLiteral("C deleted"), -1);
        Seed(QStringLiteral("D unknown"), 8);
        Seed(QStringLiteral("E uploading"), 5);
        videos_ = std::make_unique<VideoTableModel>();
        videoTester_ = std::make_unique<QAbstractItemModelTester>(
            videos_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void cleanupTestCase()
    {
        tester_.reset();
        model_.reset();
        videoTester_.reset();
        videos_.reset(); // waits for its tasks
        env_.Stop();
    }

    void firstRefreshBuildsWholeTree()
    {
        QStringList order;
        connect(model_.get(), &CategoryTreeModel::SignalRefreshCategoryAboutToDo, this,
                [&] { order << "AboutToDo"; });
        connect(model_.get(), &CategoryTreeModel::SignalCategoryAvailable, this,
                [&](bool a) { order << (a ? "Available" : "Unavailable"); });
        connect(model_.get(), &CategoryTreeModel::SignalRefreshCategorySucceed, this,
                [&] { order << "Succeed"; });
        connect(model_.get(), &CategoryTreeModel::SignalRefreshCategoryDone, this, [&] { order << "Done"; });
        orvtest::QueuedSpy ends(model_.get(), &CategoryTreeModel::SignalTaskEndStatus);

        const QUuid id = model_->RefreshCategory();
        QVERIFY(!id.isNull());
        QVERIFY(model_->RefreshCategory().isNull()); // refused while queued or running
        QTRY_COMPARE_WITH_TIMEOUT(ends.count(), 1, 30000);
        disconnect(model_.get(), nullptr, this, nullptr);
        QCOMPARE(ends.at(0).at(0).toUuid(), id);
        QCOMPARE(ends.at(0).at(1).value<TaskEndStatus>(), EndFinished);
        QCOMPARE(order, QStringList({"AboutToDo", "Unavailable", "Succeed", "Available", "Done"}));

        const QJsonObject tree = ServerTree();
        QVERIFY(!tree.isEmpty());
        QCOMPARE(model_->rowCount(), 1);
        CompareTree(model_->index(0, 0), tree);
        QVERIFY(!model_->itemFromIndex(model_->index(0, 0))->isEditable());
        QVERIFY(model_->itemFromIndex(model_->IndexOfCateId(alpha_))->isEditable());
        QCOMPARE(model_->TopCateId(), top_);

        // Lookups by id.
        QCOMPARE(model_->CateNameOf(gamma_), QStringLiteral("Gamma3rd"));
        QCOMPARE(model_->CateNameOf(999999999), QString());
        // (The name checks of the add dialog's tests; an unknown parent has none.)
        QVERIFY(!model_->IsCateNameAlreadyInCateId(999999999, "Beta"));
        QCOMPARE(model_->ParentCateIdOf(gamma_), beta_);
        const QModelIndexList up = model_->IndexesToTop(gamma_);
        QCOMPARE(up.size(), 4);
        QCOMPARE(up.last().data(CategoryRole::CateId).toULongLong(), top_);
        QCOMPARE(model_->IndexOfCateId(beta_).data().toString(), QStringLiteral("Beta"));

        // The completer's names: every category once.
        QTRY_VERIFY(model_->NamesModel()->stringList().contains("Gamma3rd"));
        const QStringList names = model_->NamesModel()->stringList();
        QCOMPARE(names.size(), QSet<QString>(names.begin(), names.end()).size());
        QVERIFY(names.contains(tree.value("cateName").toString()));
    }

    void unchangedTreeIsNotRebuilt()
    {
        QSignalSpy removed(model_.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
        orvtest::QueuedSpy succeed(model_.get(), &CategoryTreeModel::SignalRefreshCategorySucceed);
        QVERIFY(Refresh());
        QCOMPARE(succeed.count(), 1);
        QCOMPARE(removed.count(), 0);

        // A change made elsewhere is picked up by a rebuild.
        const qulonglong added = ServerAdd(delta_, "AddedElsewhere");
        QVERIFY(added);
        QVERIFY(Refresh());
        QVERIFY(removed.count() > 0);
        QCOMPARE(model_->CateNameOf(added), QStringLiteral("AddedElsewhere"));
        CompareTree(model_->index(0, 0), ServerTree());
    }

    void renameRefusedBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString() << "CategoryTreeModel.RenameCateNameEmpty";
        QTest::newRow("outside the BMP")
            << QStringLiteral("Film \U0001F3AC") << "CategoryTreeModel.RenameCateNameMySQLIncompatible";
    }
    void renameRefusedBeforeAnyRequest()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        orvtest::QueuedSpy failed(model_.get(), &CategoryTreeModel::SignalRenameCategoryFailed);
        QVERIFY(model_->RenameCategory(alpha_, name).isNull());
        QVERIFY(!model_->HasTask());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(),
                 QCoreApplication::translate("CategoryTreeModel", qPrintable(message)));
        QCOMPARE(model_->CateNameOf(alpha_), QStringLiteral("Alpha"));
        QCOMPARE(BmpTextValidator::AreValid({QStringLiteral("Café 分类 ÄÖÜ"), name}), name.isEmpty());
    }

    void addRenameMoveAgainstServer()
    {
        // Add, with a name that must be escaped on the wire, then rename: the
        // items updated in place equal the server's tree (path, parent, count,
        // escaped tooltip), and the completer learns both names.
        const QString name = QStringLiteral("Neu & Ü 分类");
        orvtest::QueuedSpy added(model_.get(), &CategoryTreeModel::SignalAddCategorySucceed);
        orvtest::QueuedSpy ends(model_.get(), &CategoryTreeModel::SignalTaskEndStatus);
        QVERIFY(!model_->AddCategory(delta_, name).isNull());
        QTRY_COMPARE_WITH_TIMEOUT(ends.count(), 1, 30000);
        QCOMPARE(ends.at(0).at(1).value<TaskEndStatus>(), EndFinished);
        QCOMPARE(added.count(), 1);
        const qulonglong newId = added.at(0).at(0).toULongLong();
        QCOMPARE(added.at(0).at(1).toULongLong(), delta_);
        QCOMPARE(added.at(0).at(2).toString(), name);
        CompareTree(model_->index(0, 0), ServerTree());
        QTRY_VERIFY(model_->NamesModel()->stringList().contains(name));

        orvtest::QueuedSpy renamed(model_.get(), &CategoryTreeModel::SignalRenameCategorySucceed);
        QVERIFY(!model_->RenameCategory(newId, "Umbenannt <x>").isNull());
        QTRY_COMPARE_WITH_TIMEOUT(renamed.count(), 1, 30000);
        QCOMPARE(renamed.at(0).at(0).toULongLong(), newId);
        QCOMPARE(model_->CateNameOf(newId), QStringLiteral("Umbenannt <x>"));
        CompareTree(model_->index(0, 0), ServerTree());
        QTRY_VERIFY(model_->NamesModel()->stringList().contains("Umbenannt <x>"));

        // Move Alpha (with its subtree) below Delta: it becomes Delta's last
        // child, its own path is rewritten, its descendants keep theirs.
        const QString betaPathBefore = model_->IndexOfCateId(beta_).data(CategoryRole::CateTree).toString();
        orvtest::QueuedSpy moveReady(model_.get(), &CategoryTreeModel::SignalMoveCategoryReady);
        orvtest::QueuedSpy moved(model_.get(), &CategoryTreeModel::SignalMoveCategorySucceed);
        QVERIFY(!model_->MoveCategory(alpha_, delta_).isNull());
        QTRY_COMPARE_WITH_TIMEOUT(moved.count(), 1, 30000);
        QCOMPARE(moveReady.count(), 1);
        QCOMPARE(moved.at(0).at(0).toULongLong(), alpha_);
        QCOMPARE(moved.at(0).at(1).toULongLong(), delta_);
        const QModelIndex deltaIndex = model_->IndexOfCateId(delta_);
        const QModelIndex alphaIndex = model_->IndexOfCateId(alpha_);
        QCOMPARE(alphaIndex.parent(), deltaIndex);
        QCOMPARE(alphaIndex.row(), model_->rowCount(deltaIndex) - 1);
        QCOMPARE(alphaIndex.data(CategoryRole::ParentCateId).toULongLong(), delta_);
        QCOMPARE(alphaIndex.data(CategoryRole::CateTree).toString(),
                 ServerTree(alpha_).value("cateTree").toString());
        QCOMPARE(model_->IndexOfCateId(beta_).data(CategoryRole::CateTree).toString(), betaPathBefore);
        QCOMPARE(model_->IndexOfCateId(gamma_).parent(), model_->IndexOfCateId(beta_));

        // The next refresh brings the whole tree back in line with the server.
        QVERIFY(Refresh());
        CompareTree(model_->index(0, 0), ServerTree());
    }

    void serverErrorsReachFailureSignals()
    {
        const QString parseFailed = RequestErrorToString(ParseJsonFailed);
        QSignalSpy removed(model_.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
        orvtest::QueuedSpy ends(model_.get(), &CategoryTreeModel::SignalTaskEndStatus);

        // Refresh: twice the same broken answer; both are failures (a broken
        // answer is never remembered as the current tree).
        orvsrv::FaultRule html;
        html.pathPattern = kTreePath;
        html.failNextN = 2;
        html.htmlPage = true;
        env_.server().AddFault(html);
        orvtest::QueuedSpy refreshFailed(model_.get(), &CategoryTreeModel::SignalRefreshCategoryFailed);
        QVERIFY(Refresh());
        QVERIFY(Refresh());
        QCOMPARE(refreshFailed.count(), 2);
        QCOMPARE(refreshFailed.at(0).at(0).toString(), parseFailed);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(model_->rowCount(), 1);
        QCOMPARE(ends.last().at(1).value<TaskEndStatus>(), EndException);

        // Refusals by the platform carry the message of its error code.
        orvtest::QueuedSpy addFailed(model_.get(), &CategoryTreeModel::SignalAddCategoryFailed);
        model_->AddCategory(alpha_, "Beta");
        QTRY_COMPARE_WITH_TIMEOUT(addFailed.count(), 1, 30000);
        QCOMPARE(addFailed.at(0).at(0).toString(), ErrorCodeToString(CATANAME_ALREADY_EXIST));
        QCOMPARE(ends.last().at(1).value<TaskEndStatus>(), EndException);

        orvtest::QueuedSpy renameFailed(model_.get(), &CategoryTreeModel::SignalRenameCategoryFailed);
        model_->RenameCategory(987654321, "Ghost");
        QTRY_COMPARE_WITH_TIMEOUT(renameFailed.count(), 1, 30000);
        QCOMPARE(renameFailed.at(0).at(0).toString(), ErrorCodeToString(CATEGORY_NOT_EXIST));

        orvtest::QueuedSpy moveFailed(model_.get(), &CategoryTreeModel::SignalMoveCategoryFailed);
        const QModelIndex alphaParent = model_->IndexOfCateId(alpha_).parent();
        model_->MoveCategory(alpha_, gamma_); // into its own subtree
        QTRY_COMPARE_WITH_TIMEOUT(moveFailed.count(), 1, 30000);
        QCOMPARE(moveFailed.at(0).at(0).toString(), ErrorCodeToString(CATEGORY_MODIFY_LIMITED));
        QCOMPARE(model_->IndexOfCateId(alpha_).parent(), alphaParent);

        // A broken answer to a rename: the transport-level text.
        orvsrv::FaultRule broken;
        broken.pathPattern = QStringLiteral("update-info");
        broken.failNextN = 1;
        broken.htmlPage = true;
        env_.server().AddFault(broken);
        model_->RenameCategory(delta_, "NeverRenamed");
        QTRY_COMPARE_WITH_TIMEOUT(renameFailed.count(), 2, 30000);
        QCOMPARE(renameFailed.at(1).at(0).toString(), parseFailed);
        QCOMPARE(model_->CateNameOf(delta_), QStringLiteral("Delta"));
        QTRY_VERIFY(!model_->HasTask());
        QCOMPARE(removed.count(), 0);
    }

    // A refresh running longer than the slow limit is announced, and again
    // when it ends; the shutdown wait aborts it even then.
    void slowRefreshIsAnnouncedAndAborted()
    {
        orvsrv::FaultRule slow;
        slow.pathPattern = kTreePath;
        slow.latencyMs = TaskManager::kSlowTaskMs + 500;
        const int fault = env_.server().AddFault(slow);
        orvtest::QueuedSpy running(model_.get(), &CategoryTreeModel::SignalTaskRunningSlowly);
        orvtest::QueuedSpy ends(model_.get(), &CategoryTreeModel::SignalTaskEndStatus);
        orvtest::QueuedSpy failed(model_.get(), &CategoryTreeModel::SignalRefreshCategoryFailed);
        QVERIFY(!model_->RefreshCategory().isNull());
        QVERIFY(running.wait(TaskManager::kSlowTaskMs + 400));
        QCOMPARE(running.at(0).at(0).value<CategoryTreeModel::TaskType>(),
                 CategoryTreeModel::TaskType::RefreshCategory);
        QCOMPARE(running.at(0).at(1).toBool(), false);
        // The request only notices the abort once the answer starts to
        // arrive; the wait must cover that.
        model_->WaitForTasks();
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(ends.at(0).at(1).value<TaskEndStatus>(), EndAborted);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), RequestErrorToString(CurlPerformAbort));
        QCOMPARE(running.count(), 2);
        QCOMPARE(running.at(1).at(1).toBool(), true);
        QVERIFY(!model_->HasTask());
        QCOMPARE(model_->rowCount(), 1);
        env_.server().RemoveFault(fault);
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
        if (videos_->rowCount() == 0)
            QVERIFY(Load());
        const int row = RowOf(title);
        QVERIFY(row >= 0);
        const QString text = videos_->index(row, column).data().toString();
        pattern.replace(QStringLiteral("{vid}"), QRegularExpression::escape(vidOf_.value(title)));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch(),
                 qPrintable(text));
        // Every row's link is inactive: they are all in the shown category.
        QCOMPARE(videos_->index(row, VideoTableModel::CategoryName)
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
        orvtest::QueuedSpy aborted(videos_.get(), &VideoTableModel::SignalRefreshVideoListAbort);
        orvtest::QueuedSpy succeeded(videos_.get(), &VideoTableModel::SignalRefreshVideoListSucceed);
        orvtest::QueuedSpy ends(videos_.get(), &VideoTableModel::SignalTaskEndStatus);
        const QUuid first = videos_->RefreshVideoList(cate_, QString(), false, 1, 2, TitleNameAsc);
        QTest::qWait(200);
        const QUuid second = videos_->RefreshVideoList(cate_, QString(), false, 2, 2, TitleNameAsc);
        QVERIFY(QTest::qWaitFor([&] { return succeeded.count() == 1; }, 15000));
        env_.server().RemoveFault(fault);
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(succeeded.first().at(0).toULongLong(), 2ULL);
        QCOMPARE(videos_->rowCount(), 2);
        QCOMPARE(videos_->index(0, 0).data(VideoTableModel::DataRole::Title).toString(),
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
        orvtest::QueuedSpy thumbs(videos_.get(), &VideoTableModel::SignalThumbsAlready);
        QVERIFY(Load() && Idle());
        const int rows = videos_->rowCount();
        QCOMPARE(thumbs.count(), rows);
        const QPixmap shown =
            videos_->index(0, VideoTableModel::Thumbs).data(VideoTableModel::ThumbnailRole).value<QPixmap>();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= VideoTableModelWorker::kThumbSize * shown.devicePixelRatio());

        const int downloads = env_.server().RequestCount(QStringLiteral("/files/"));
        QVERIFY(Load() && Idle());
        QCOMPARE(thumbs.count(), 2 * rows);
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/files/")), downloads);

        // A cache file that no longer loads is fetched again.
        const QString vid = videos_->index(0, 0).data(VideoTableModel::DataRole::Vid).toString();
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
        orvtest::QueuedSpy failed(videos_.get(), &VideoTableModel::SignalDeleteVideosFailed);
        videos_->DeleteVideos({local, foreign, plain});
        QVERIFY(failed.wait(15000));
        const VideoErrorList errors = failed.first().first().value<VideoErrorList>();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first, foreign);
        QCOMPARE(errors.first().second, VideoTableModel::tr("DeleteUploadingVideoFromOtherClient"));
        QCOMPARE(env_.server().RequestCount(QStringLiteral("/v3/video/delete-video")), deletes + 1);
        QVERIFY(QTest::qWaitFor([&] { return !uploads->contains(local); }, 10000));
        QVERIFY(Load());
        QCOMPARE(videos_->RowOfVid(plain), -1);
        QVERIFY(videos_->RowOfVid(foreign) >= 0);
    }

    void showVideosInfoFillsTheTable()
    {
        const QStringList vids{vidOf_.value(QStringLiteral("A released")),
                               vidOf_.value(QStringLiteral("D unknown"))};
        orvtest::QueuedSpy done(videos_.get(), &VideoTableModel::SignalGetVideoListDone);
        videos_->ShowVideosInfo(vids);
        QVERIFY(done.wait(15000));
        QCOMPARE(done.first().first().toInt(), 2);
        QCOMPARE(videos_->AllVids(), vids);
        QCOMPARE(videos_->ShownCateId(), VideoTableModel::kNoCategory);
        QCOMPARE(
            videos_->index(0, VideoTableModel::CategoryName).data(VideoTableModel::ButtonEnabledRole).toInt(),
            1);
    }

    // The row takes the new title and thumbnail without a reload.
    void editsUpdateTheRow()
    {
        QVERIFY(Load());
        const QString vid = vidOf_.value(QStringLiteral("A released"));
        orvtest::QueuedSpy updated(videos_.get(), &VideoTableModel::SignalUpdateVideoInfoSucceed);
        videos_->UpdateVideoInfo(vid, QStringLiteral("A renamed"), QStringLiteral("x,y"),
                                 QStringLiteral("d"));
        QVERIFY(updated.wait(15000));
        QVERIFY(QTest::qWaitFor([&] {
            return videos_->RecordOf(vid) && videos_->RecordOf(vid)->title == QLatin1String("A renamed");
        }));

        const QString png = files_.filePath(QStringLiteral("cover.png"));
        QImage image(320, 180, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(png));
        orvtest::QueuedSpy uploaded(videos_.get(), &VideoTableModel::SignalUploadVideoCoverSucceed);
        videos_->UploadVideoCover(vid, QFileInfo(png));
        QVERIFY(uploaded.wait(15000));
        QVERIFY(QTest::qWaitFor(
            [&] { return videos_->RecordOf(vid)->thumbnailURL == uploaded.first().at(3).toUrl(); }));
    }

    void answersComparedWithoutRequestId()
    {
        using W = CategoryTreeModelWorker;
        const QByteArray a =
            R"({"code":200,"requestId":"7f0c","status":"success","error":null,"data":{"cateId":1}})";
        // Another requestId of another length, members in another order.
        const QByteArray b =
            R"({"requestId":"0c1d2e3f-4a5b-6c7d-8e9f-00112233445566778899","status":"success",)"
            R"("code":200,"error":null,"data":{"cateId":1}})";
        const QByteArray changed =
            R"({"code":200,"requestId":"7f0c","status":"success","error":null,"data":{"cateId":2}})";
        // A requestId long enough that cutting a fixed number of bytes after
        // the key would swallow the changed data.
        const QByteArray longIdChanged =
            R"({"requestId":"0c1d2e3f-4a5b-6c7d-8e9f-00112233445566778899","status":)"
            R"("success","code":200,"error":null,"data":{"cateId":2}})";
        QVERIFY(!W::ComparableTree(a).isEmpty());
        QCOMPARE(W::ComparableTree(a), W::ComparableTree(b));
        QVERIFY(W::ComparableTree(a) != W::ComparableTree(changed));
        QVERIFY(W::ComparableTree(b) != W::ComparableTree(longIdChanged));
        QVERIFY(!W::ComparableTree(a).contains("requestId"));
        // A short requestId right before the data: a fixed-length cut after
        // the key would remove the changed cateId from both answers.
        const QByteArray shortIdA =
            R"({"requestId":"x","data":{"cateId":1,"cateName":"a"},"code":200,"error":null})";
        const QByteArray shortIdB =
            R"({"requestId":"x","data":{"cateId":2,"cateName":"a"},"code":200,"error":null})";
        QVERIFY(W::ComparableTree(shortIdA) != W::ComparableTree(shortIdB));
        // Without requestId the whole answer counts.
        const QByteArray noId = R"({"code":200,"data":{"cateId":1}})";
        QCOMPARE(W::ComparableTree(noId), QJsonDocument::fromJson(noId).object());
        QVERIFY(W::ComparableTree(noId) != W::ComparableTree(R"({"code":201,"data":{"cateId":1}})"));
        // Not a JSON object: nothing to compare, never "unchanged".
        QVERIFY(W::ComparableTree("<html>").isEmpty());
        QVERIFY(W::ComparableTree("[1,2]").isEmpty());
    }

    void childrenMissingEmptyOrNotObjects()
    {
        const QJsonArray leafChildren{Cate(4, "Leaf", "1,2,4", 2, QJsonArray()), 17, "text", QJsonValue::Null,
                                      QJsonArray{1}};
        const QJsonObject top =
            Cate(1, "Top <b>", "1", 0,
                 QJsonArray{Cate(2, "WithChildren", "1,2", 1, leafChildren, 5),
                            Cate(3, "NoChildrenKey", "1,3", 1, QJsonValue::Undefined, "7"),
                            Cate(5, "ChildrenNotArray", "1,5", 1, QJsonObject{{"x", 1}})},
                 2);
        const CategoryList list = CategoryTreeModelWorker::ParseTree(top);
        std::unique_ptr<QStandardItem> item(CategoryTreeModel::BuildItems(list, QIcon()));
        QCOMPARE(item->text(), QStringLiteral("Top <b>"));
        QCOMPARE(item->toolTip(), QStringLiteral("Top &lt;b&gt;"));
        QVERIFY(!item->isEditable());
        QCOMPARE(item->rowCount(), 3);
        QCOMPARE(item->child(0)->rowCount(), 1); // non-objects skipped
        QCOMPARE(item->child(0)->child(0)->text(), QStringLiteral("Leaf"));
        QCOMPARE(item->child(0)->child(0)->rowCount(), 0);
        QCOMPARE(item->child(0)->data(CategoryRole::CateVideoCount).toInt(), 5);
        QCOMPARE(item->child(1)->rowCount(), 0);
        QCOMPARE(item->child(1)->data(CategoryRole::CateVideoCount).toInt(), 7);
        QCOMPARE(item->child(2)->rowCount(), 0);
        QCOMPARE(item->child(2)->data(CategoryRole::CateVideoCount).toInt(), 0);
        QCOMPARE(item->child(0)->child(0)->data(CategoryRole::ParentCateId).toULongLong(), 2ull);
        QCOMPARE(list.size(), 5);
    }

    void proxyKeepsAncestorsOfThirdLevelMatch()
    {
        // top > {B > B1, A > {A1 > Needle, A2}}; B1 and Needle hold 9 videos.
        const QJsonObject tree = Cate(
            1, "Top", "1", 0,
            QJsonArray{
                Cate(6, "B", "1,6", 1, QJsonArray{Cate(7, "B1", "1,6,7", 6, {}, 9)}),
                Cate(2, "A", "1,2", 1,
                     QJsonArray{Cate(3, "A1", "1,2,3", 2, QJsonArray{Cate(4, "Needle", "1,2,3,4", 3, {}, 9)}),
                                Cate(5, "A2", "1,2,5", 2, {})})});
        QStandardItemModel source;
        source.invisibleRootItem()->appendRow(
            CategoryTreeModel::BuildItems(CategoryTreeModelWorker::ParseTree(tree), QIcon()));
        RecursiveFilterProxyModel proxy;
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.setSourceModel(&source);
        proxy.setFilterFixedString("Needle");

        const QModelIndex top = proxy.index(0, 0);
        QCOMPARE(proxy.rowCount(), 1);
        QCOMPARE(proxy.rowCount(top), 1);
        const QModelIndex a = proxy.index(0, 0, top);
        QCOMPARE(a.data().toString(), QStringLiteral("A"));
        QCOMPARE(proxy.rowCount(a), 1);
        const QModelIndex a1 = proxy.index(0, 0, a);
        QCOMPARE(a1.data().toString(), QStringLiteral("A1"));
        QCOMPARE(proxy.index(0, 0, a1).data().toString(), QStringLiteral("Needle"));

        // Custom roles: searched in the source, mapped back, hidden hits dropped.
        const auto flags = Qt::MatchExactly | Qt::MatchRecursive;
        QModelIndexList hits =
            proxy.match(top, CategoryRole::CateId, QVariant::fromValue<qulonglong>(4), 1, flags);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().data().toString(), QStringLiteral("Needle"));
        QVERIFY(
            proxy.match(top, CategoryRole::CateId, QVariant::fromValue<qulonglong>(7), -1, flags).isEmpty());
        // A hidden hit does not use up the number of hits asked for.
        hits = proxy.match(top, CategoryRole::CateVideoCount, 9, 1, flags);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().data().toString(), QStringLiteral("Needle"));
        // Roles below the custom ones keep the ordinary behaviour.
        QCOMPARE(proxy.match(top, Qt::DisplayRole, "B1", -1, flags).size(), 0);

        proxy.setFilterFixedString(QString());
        QCOMPARE(proxy.rowCount(top), 2);
    }
};

QTEST_MAIN(ModelsTest)
#include "tst_models.moc"
