#include "ui/transfer/transfercommon.h"

#include "model/bmptextvalidator.h"
#include "model/categorytreemodel.h"

#include <QAbstractItemModel>

namespace TransferUi {

namespace {
constexpr int kCateIdRole = 256;
}

bool IsBmpText(const QString& text)
{
    return BmpTextValidator::IsValid(text);
}

QModelIndex FindCategory(const QAbstractItemModel* model, qint64 cateId)
{
    if (!model || model->rowCount() == 0)
        return QModelIndex();
    if (auto* tree = qobject_cast<const CategoryTreeModel*>(model))
        return tree->IndexOfCateId(static_cast<qulonglong>(cateId));
    const QModelIndexList hits =
        model->match(model->index(0, 0), kCateIdRole, QVariant::fromValue(static_cast<qulonglong>(cateId)), 1,
                     Qt::MatchExactly | Qt::MatchRecursive | Qt::MatchWrap);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

QString CategoryName(const QAbstractItemModel* model, qint64 cateId)
{
    const QModelIndex index = FindCategory(model, cateId);
    return index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
}

qint64 TopCategoryId(const QAbstractItemModel* model)
{
    if (!model || model->rowCount() == 0)
        return 0;
    return model->index(0, 0).data(kCateIdRole).toLongLong();
}

} // namespace TransferUi
