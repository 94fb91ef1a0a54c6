#pragma once
// A completer over a tree model: with a separator, a typed path is split at
// it and each level completes among the children of the previous match.

#include <QCompleter>

class TreeModelCompleter : public QCompleter
{
    Q_OBJECT
    Q_PROPERTY(QString separator READ separator WRITE setSeparator)
public:
    explicit TreeModelCompleter(QAbstractItemModel* model, QObject* parent = nullptr);

    QString separator() const { return separator_; }
    QStringList splitPath(const QString& path) const override;
    QString pathFromIndex(const QModelIndex& index) const override;

public slots:
    void setSeparator(const QString& separator) { separator_ = separator; }

private:
    QString separator_;
};
