#include "model/recursivefilterproxymodel.h"

bool RecursiveFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent))
        return true;
    const QAbstractItemModel* source = sourceModel();
    if (!source)
        return false;
    const QModelIndex index = source->index(sourceRow, 0, sourceParent);
    const int children = source->rowCount(index);
    for (int row = 0; row < children; ++row)
        if (filterAcceptsRow(row, index))
            return true;
    return false;
}

QModelIndexList RecursiveFilterProxyModel::match(const QModelIndex& start, int role, const QVariant& value,
                                                 int hits, Qt::MatchFlags flags) const
{
    if (role < Qt::UserRole || !sourceModel())
        return QSortFilterProxyModel::match(start, role, value, hits, flags);
    // All source hits are collected first: hidden ones must not use up `hits`.
    const QModelIndexList sourceHits = sourceModel()->match(mapToSource(start), role, value, -1, flags);
    QModelIndexList result;
    for (const QModelIndex& hit : sourceHits) {
        const QModelIndex mapped = mapFromSource(hit);
        if (!mapped.isValid())
            continue;
        result.append(mapped);
        if (hits != -1 && result.size() >= hits)
            break;
    }
    return result;
}
