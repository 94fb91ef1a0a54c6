#pragma once
// Small helpers shared by the upload dialog and the transfer page.

#include <QModelIndex>
#include <QString>

class QAbstractItemModel;

namespace TransferUi {

// True when every character of `text` lies in the Basic Multilingual Plane.
bool IsBmpText(const QString& text);

// Category lookups on the shared category tree (id in role 256).
QModelIndex FindCategory(const QAbstractItemModel* model, qint64 cateId);
QString CategoryName(const QAbstractItemModel* model, qint64 cateId);
qint64 TopCategoryId(const QAbstractItemModel* model);

} // namespace TransferUi
