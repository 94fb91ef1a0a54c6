#include "ui/transfer/uploadtableview.h"

#include "ui/transfer/uploadtablemodel.h"
#include "ui/videolist/videoeditdialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {
constexpr int kButtonWidth = 56;
constexpr int kButtonHeight = 26;
} // namespace

UploadTableDelegate::UploadTableDelegate(QWidget* parent)
    : QStyledItemDelegate(parent), editButton_(new QPushButton(tr("Edit"), parent)),
      deleteButton_(new QPushButton(tr("Delete"), parent))
{
    editButton_->setObjectName(QStringLiteral("editButton"));
    deleteButton_->setObjectName(QStringLiteral("delButton"));
    for (QPushButton* button : {editButton_, deleteButton_}) {
        button->hide();
        button->setAttribute(Qt::WA_DontShowOnScreen);
    }
    connect(editButton_, &QPushButton::clicked, this, [] { qDebug() << "editButton clicked"; });
    connect(deleteButton_, &QPushButton::clicked, this, [] { qDebug() << "delButton clicked"; });
}

QPushButton* UploadTableDelegate::ButtonFor(const QModelIndex& index) const
{
    if (index.column() == UploadTableModel::EditColumn)
        return editButton_;
    if (index.column() == UploadTableModel::DeleteColumn)
        return deleteButton_;
    return nullptr;
}

QRect UploadTableDelegate::ButtonRect(const QRect& cell)
{
    QRect rect(0, 0, qMin(kButtonWidth, cell.width() - 4), qMin(kButtonHeight, cell.height() - 4));
    rect.moveCenter(cell.center());
    return rect;
}

void UploadTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QPushButton* button = ButtonFor(index);
    if (!button) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Background and selection as for any cell, then the button on top.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);

    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.rect = ButtonRect(option.rect);
    opt.text = button->text();
    opt.state = QStyle::State_Enabled;
    // The view reports the hovered cell; the button lights up only under the cursor.
    if (view && (option.state & QStyle::State_MouseOver) &&
        opt.rect.contains(view->mapFromGlobal(QCursor::pos()) -
                          static_cast<const QAbstractItemView*>(view)->viewport()->pos()))
        opt.state |= QStyle::State_MouseOver;
    if (pressed_ == index)
        opt.state |= QStyle::State_Sunken;
    else
        opt.state |= QStyle::State_Raised;
    button->style()->drawControl(QStyle::CE_PushButton, &opt, painter, button);
}

QSize UploadTableDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (ButtonFor(index))
        return QSize(kButtonWidth + 12, kButtonHeight + 12);
    return QStyledItemDelegate::sizeHint(option, index);
}

bool UploadTableDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                      const QStyleOptionViewItem& option, const QModelIndex& index)
{
    QPushButton* button = ButtonFor(index);
    if (!button)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    auto* view = qobject_cast<QAbstractItemView*>(parent());
    auto repaint = [view](const QModelIndex& i) {
        if (view && i.isValid())
            view->viewport()->update(view->visualRect(i));
    };
    const QRect rect = ButtonRect(option.rect);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && rect.contains(mouse->pos())) {
            pressed_ = index;
            repaint(index);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool wasPressed = pressed_ == index;
        pressed_ = QPersistentModelIndex();
        repaint(index);
        if (wasPressed && mouse->button() == Qt::LeftButton && rect.contains(mouse->pos())) {
            button->click();
            emit SignalButtonClicked(button, index);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

UploadTableView::UploadTableView(QWidget* parent)
    : QTableView(parent), delegate_(new UploadTableDelegate(this))
{
    setObjectName(QStringLiteral("uploadTableView"));
    setItemDelegate(delegate_);
    setMouseTracking(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setFocusPolicy(Qt::NoFocus);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(44);
    horizontalHeader()->setHighlightSections(false);
    connect(delegate_, &UploadTableDelegate::SignalButtonClicked, this, &UploadTableView::OnButtonClicked);
}

void UploadTableView::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(UploadTableModel::TitleColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(UploadTableModel::FormatColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(UploadTableModel::SizeColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(UploadTableModel::EditColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(UploadTableModel::DeleteColumn, QHeaderView::Fixed);
    setColumnWidth(UploadTableModel::FormatColumn, 80);
    setColumnWidth(UploadTableModel::SizeColumn, 100);
    setColumnWidth(UploadTableModel::EditColumn, 68);
    setColumnWidth(UploadTableModel::DeleteColumn, 68);
}

void UploadTableView::OnButtonClicked(QAbstractButton* btn, const QModelIndex& index)
{
    if (!index.isValid())
        return;
    if (btn == delegate_->deleteButton()) {
        emit SignalDeleteItem(index);
        return;
    }
    if (btn != delegate_->editButton())
        return;
    const QPersistentModelIndex row(index.siblingAtColumn(UploadTableModel::TitleColumn));
    VideoEditDialog dialog(window());
    dialog.SetUploadMode(
        row.data(UploadTableModel::TitleRole).toString(), row.data(UploadTableModel::TagsRole).toString(),
        row.data(UploadTableModel::DescRole).toString(), row.data(UploadTableModel::SizeRole).toLongLong());
    if (dialog.exec() != QDialog::Accepted || !row.isValid())
        return;
    QAbstractItemModel* rows = model();
    rows->setData(row, dialog.title(), UploadTableModel::TitleRole);
    rows->setData(row, dialog.tags(), UploadTableModel::TagsRole);
    rows->setData(row, dialog.description(), UploadTableModel::DescRole);
}
