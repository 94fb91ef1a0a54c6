#pragma once
// A filter for trees: a row stays visible when it or any of its descendants
// matches, so a hit deep in the tree keeps its whole ancestor chain.

#include <QSortFilterProxyModel>

class RecursiveFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // For the data roles from Qt::UserRole up the search runs on the source
    // model (where filtered-out rows are still reachable) and the hits are
    // mapped back; hits that are filtered out are dropped.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith |
                                                                Qt::MatchWrap)) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};
