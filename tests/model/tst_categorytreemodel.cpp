// The category tree model against the local platform server: loading,
// skipping unchanged trees, add/rename/move with their in-place updates,
// refusals, failures and the shutdown wait.

#include "modelenv.h"

#include "api/apicollection.h"
#include "model/bmptextvalidator.h"
#include "model/categorytreemodel.h"
#include "model/categorytreemodelworker.h"
#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QSignalSpy>
#include <QStringListModel>
#include <QtTest>

#include <memory>

using namespace ApiCollection;

namespace {
const QString kTreePath = QStringLiteral("get-cate-tree");
} // namespace

class CategoryTreeModelTest : public QObject
{
    Q_OBJECT
private:
    orvtest::ModelEnv env_;
    std::unique_ptr<CategoryTreeModel> model_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
    qulonglong top_ = 0;
    // The test's own sub-tree: top > Alpha > {Beta > Gamma3rd}, top > Delta.
    qulonglong alpha_ = 0, beta_ = 0, gamma_ = 0, delta_ = 0;

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
    }

    void cleanupTestCase()
    {
        tester_.reset();
        model_.reset();
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
};

QTEST_MAIN(CategoryTreeModelTest)
#include "tst_categorytreemodel.moc"
