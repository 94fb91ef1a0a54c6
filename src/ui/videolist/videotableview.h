#pragma once
// The video table of the library page and its delegates. The per-row buttons
// (category link, edit, embed code) are single shared widgets that the
// delegates paint into every row, so a page of any size costs no widgets.

#include <QAbstractButton>
#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTableView>

class CheckableHeaderView;
class QPushButton;
class VideoTableModel;

// Paints the cells that carry a button (HasButtonRole) with the shared
// button their ButtonRole names, and reports clicks on them.
class TableViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TableViewDelegate(QWidget* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The shared button of an object name, created on first use.
    QPushButton* Button(const QString& objectName) const;
    static QRect ButtonRect(const QRect& cell, const QString& objectName);

signals:
    void SignalButtonClicked(QAbstractButton* btn, QModelIndex index);

protected:
    bool PaintButton(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    QWidget* view_;
    mutable QHash<QString, QPushButton*> buttons_;
    QPersistentModelIndex hovered_;
    QPersistentModelIndex pressed_;
};

// The video rows: check box, thumbnail, title with size, duration and vid
// (with a copy icon beside the vid), and the plain text columns.
class VideoTableViewDelegate : public TableViewDelegate
{
    Q_OBJECT
public:
    explicit VideoTableViewDelegate(QWidget* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // Where the copy icon of a DisplayInfo cell goes.
    static QRect CopyIconRect(const QStyleOptionViewItem& option, const QModelIndex& index);

signals:
    void SignalCopyVid(QModelIndex index);

private:
    bool copyPressed_ = false;
    // Built once: an icon made from its file parses the picture again.
    QIcon copyNormal_, copyHover_, copyPressedIcon_;
};

class VideoTableView : public QTableView
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 84;

    explicit VideoTableView(QWidget* parent = nullptr);

    void SetVideoModel(VideoTableModel* model);
    CheckableHeaderView* header() const { return header_; }
    VideoTableViewDelegate* videoDelegate() const { return delegate_; }

    // Clipboard actions of a row; each confirms with a toast.
    void CopyVid(const QModelIndex& index);
    void CopyTitle(const QModelIndex& index);

signals:
    void SignalJumpCategory(qulonglong cateid);
    void SignalEdit(QModelIndex index);
    void SignalCodeGen(QModelIndex index);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnButtonClicked(QAbstractButton* button, const QModelIndex& index);
    void UpdateHeaderCheckState();

    VideoTableModel* model_ = nullptr;
    CheckableHeaderView* header_ = nullptr;
    VideoTableViewDelegate* delegate_ = nullptr;
};
