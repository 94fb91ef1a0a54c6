#pragma once
// The upload dialog's file table: rows of UploadTableModel, with an Edit and a
// Delete button painted into the last two columns by the delegate.

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

class QAbstractButton;
class QPushButton;

class UploadTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit UploadTableDelegate(QWidget* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The painted button's rectangle inside a cell.
    static QRect ButtonRect(const QRect& cell);
    QPushButton* editButton() const { return editButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }

signals:
    void SignalButtonClicked(QAbstractButton* btn, QModelIndex index);

private:
    QPushButton* ButtonFor(const QModelIndex& index) const;

    // Never shown: they carry the object names and texts the style sheet
    // paints, and log their clicks.
    QPushButton* editButton_;
    QPushButton* deleteButton_;
    QPersistentModelIndex pressed_;
};

class UploadTableView : public QTableView
{
    Q_OBJECT
public:
    explicit UploadTableView(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    UploadTableDelegate* delegate() const { return delegate_; }

signals:
    void SignalDeleteItem(QModelIndex index);

private slots:
    void OnButtonClicked(QAbstractButton* btn, const QModelIndex& index);

private:
    UploadTableDelegate* delegate_;
};
