#pragma once
// The category tree of the library page, filtered by the category search.

#include <QTreeView>

class CategoryTreeModel;
class RecursiveFilterProxyModel;

class CategoryTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit CategoryTreeView(QWidget* parent = nullptr);

    void SetCategoryModel(CategoryTreeModel* model);
    RecursiveFilterProxyModel* proxy() const { return proxy_; }
    // Selects and shows a category; false when it is not in the (filtered) tree.
    bool SelectCateId(qulonglong cateId);
    qulonglong CurrentCateId() const;

signals:
    void SignalCategorySelected(qulonglong cateId);

private:
    CategoryTreeModel* model_ = nullptr;
    RecursiveFilterProxyModel* proxy_ = nullptr;
};
