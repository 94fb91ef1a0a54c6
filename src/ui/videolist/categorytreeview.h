#pragma once
// The category tree of the library page, filtered by the category search,
// with its context menu (add, move, rename) and the in-place rename.

#include <QTreeView>

class AccountManager;
class CategoryTreeModel;
class QMenu;
class RecursiveFilterProxyModel;

class CategoryTreeView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 40;

    // `accounts` decides which entries of the context menu are enabled.
    explicit CategoryTreeView(const AccountManager* accounts, QWidget* parent = nullptr);

    void SetCategoryModel(CategoryTreeModel* model);
    RecursiveFilterProxyModel* proxy() const { return proxy_; }
    // Selects and shows a category; false when it is not in the (filtered) tree.
    bool SelectCateId(qulonglong cateId);
    qulonglong CurrentCateId() const;
    // The context menu over `index` (a view index) with the entries enabled by
    // the account's permissions; null when the index is no category.
    QMenu* BuildContextMenu(const QModelIndex& index);

public slots:
    void SlotAddCategory();
    void SlotAddCategory(const QModelIndex& index);
    void SlotMoveCategory();
    void SlotMoveCategory(const QModelIndex& index);
    void SlotRenameCategory();
    void SlotRenameCategory(const QModelIndex& index);

signals:
    void SignalCategorySelected(qulonglong cateId);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const AccountManager* accounts_;
    CategoryTreeModel* model_ = nullptr;
    RecursiveFilterProxyModel* proxy_ = nullptr;
};
