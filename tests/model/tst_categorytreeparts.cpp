// The parts of the category model that need no server: comparing answers,
// building items from a tree object, and the recursive filter over them.

#include "model/categorytreemodel.h"
#include "model/categorytreemodelworker.h"
#include "model/recursivefilterproxymodel.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardItemModel>
#include <QtTest>

#include <memory>

namespace {
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

class CategoryTreePartsTest : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_MAIN(CategoryTreePartsTest)
#include "tst_categorytreeparts.moc"
