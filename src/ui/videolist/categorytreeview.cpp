#include "ui/videolist/categorytreeview.h"

#include "model/categorytreemodel.h"
#include "model/recursivefilterproxymodel.h"

#include <QHeaderView>

CategoryTreeView::CategoryTreeView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("cateTreeView"));
    header()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setIndentation(16);
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
            emit SignalCategorySelected(current.data(CategoryTreeModel::CateId).toULongLong());
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
    return currentIndex().isValid() ? currentIndex().data(CategoryTreeModel::CateId).toULongLong() : 0;
}
