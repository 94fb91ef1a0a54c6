#include "ui/videolist/categorytreeview.h"

#include "account/accountmanager.h"
#include "model/categorytreemodel.h"
#include "model/recursivefilterproxymodel.h"
#include "ui/videolist/addcategorydialog.h"
#include "ui/videolist/selectcategorydialog.h"

#include <QContextMenuEvent>
#include <QDebug>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>

namespace {
// Edits a name in place and renames through the model; the item keeps its
// old text until the model reports the rename done.
class RenameDelegate : public QStyledItemDelegate
{
public:
    RenameDelegate(CategoryTreeModel** model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("treeViewEditor"));
        editor->setMaxLength(CategoryTreeView::kMaxNameLength);
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const QString name = static_cast<QLineEdit*>(editor)->text();
        const QString old = index.data(Qt::DisplayRole).toString();
        if (name == old || !*model_)
            return;
        const qulonglong cateId = index.data(CategoryRole::CateId).toULongLong();
        qInfo().noquote() << "TreeView Rename, cateId:" << cateId << old << name;
        (*model_)->RenameCategory(cateId, name);
    }

private:
    CategoryTreeModel** model_;
};

bool Allowed(const AccountManager* accounts, AccountManager::Permission permission)
{
    return accounts && accounts->HasPermission(permission);
}
} // namespace

CategoryTreeView::CategoryTreeView(const AccountManager* accounts, QWidget* parent)
    : QTreeView(parent), accounts_(accounts)
{
    setObjectName(QStringLiteral("cateTreeView"));
    header()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setIndentation(16);
    setItemDelegate(new RenameDelegate(&model_, this));
    proxy_ = new RecursiveFilterProxyModel(this);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void CategoryTreeView::SetCategoryModel(CategoryTreeModel* model)
{
    model_ = model;
    proxy_->setSourceModel(model);
    setModel(proxy_);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            emit SignalCategorySelected(current.data(CategoryRole::CateId).toULongLong());
    });
}

bool CategoryTreeView::SelectCateId(qulonglong cateId)
{
    if (!model_)
        return false;
    const QModelIndex index = proxy_->mapFromSource(model_->IndexOfCateId(cateId));
    if (!index.isValid())
        return false;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

qulonglong CategoryTreeView::CurrentCateId() const
{
    return currentIndex().isValid() ? currentIndex().data(CategoryRole::CateId).toULongLong() : 0;
}

QMenu* CategoryTreeView::BuildContextMenu(const QModelIndex& index)
{
    if (!index.isValid() || !model_)
        return nullptr;
    const bool top = index.data(CategoryRole::CateId).toULongLong() == model_->TopCateId();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("cateItemMenu"));
    const QPersistentModelIndex at(index);
    QAction* add =
        menu->addAction(tr("CategoryTreeView.AddSubCategory"), this, [this, at] { SlotAddCategory(at); });
    add->setEnabled(Allowed(accounts_, AccountManager::CateAdd));
    QAction* move =
        menu->addAction(tr("CategoryTreeView.MoveCategory"), this, [this, at] { SlotMoveCategory(at); });
    move->setEnabled(!top && Allowed(accounts_, AccountManager::CateMove));
    QAction* rename =
        menu->addAction(tr("CategoryTreeView.RenameCategory"), this, [this, at] { SlotRenameCategory(at); });
    rename->setEnabled(!top && Allowed(accounts_, AccountManager::CateRename));
    return menu;
}

void CategoryTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = BuildContextMenu(indexAt(event->pos()));
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CategoryTreeView::SlotAddCategory()
{
    SlotAddCategory(currentIndex());
}

void CategoryTreeView::SlotAddCategory(const QModelIndex& index)
{
    if (!index.isValid() || !model_)
        return;
    auto* dialog = new AddCategoryDialog(model_, index.data(CategoryRole::CateId).toULongLong(), window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void CategoryTreeView::SlotMoveCategory()
{
    SlotMoveCategory(currentIndex());
}

void CategoryTreeView::SlotMoveCategory(const QModelIndex& index)
{
    if (!index.isValid() || !model_ || index.data(CategoryRole::CateId).toULongLong() == model_->TopCateId())
        return;
    auto* dialog =
        new SelectCategoryDialog(SelectCategoryDialog::MoveCategoryMode, model_, nullptr, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetSourceCategory(index.data(CategoryRole::CateId).toULongLong());
    dialog->show();
}

void CategoryTreeView::SlotRenameCategory()
{
    SlotRenameCategory(currentIndex());
}

void CategoryTreeView::SlotRenameCategory(const QModelIndex& index)
{
    if (!index.isValid() || !model_ || index.data(CategoryRole::CateId).toULongLong() == model_->TopCateId())
        return;
    setCurrentIndex(index);
    edit(index);
}
