#include "ui/videolist/treemodelcompleter.h"

#include <QAbstractItemView>

TreeModelCompleter::TreeModelCompleter(QAbstractItemModel* model, QObject* parent) : QCompleter(model, parent)
{
    popup()->setObjectName(QStringLiteral("completerPopup"));
}

QStringList TreeModelCompleter::splitPath(const QString& path) const
{
    if (separator_.isNull())
        return QCompleter::splitPath(path);
    return path.split(separator_, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString TreeModelCompleter::pathFromIndex(const QModelIndex& index) const
{
    if (separator_.isNull())
        return QCompleter::pathFromIndex(index);
    QStringList names;
    for (QModelIndex i = index; i.isValid(); i = i.parent())
        names.prepend(model()->data(i, completionRole()).toString());
    return names.join(separator_);
}
