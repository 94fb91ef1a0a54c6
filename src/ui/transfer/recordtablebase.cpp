#include "ui/transfer/recordtablebase.h"

#include "ui/common/stylehelper.h"

#include <QHeaderView>
#include <QMouseEvent>

RecordTableBase::RecordTableBase(TransferDelegate::Mode mode, QWidget* parent)
    : QTableView(parent), delegate_(new TransferDelegate(mode, this))
{
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setShowGrid(false);
    setWordWrap(false);
    setMouseTracking(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(60);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    BindStyleSheet(this, {QStringLiteral("RecordTable.qss")});
}

void RecordTableBase::SetupColumns(const QList<int>& widths)
{
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column <= widths.size(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        setColumnWidth(column, widths.value(column - 1));
    }
}

TransferDelegate::Button RecordTableBase::HitButton(const QPoint& pos, QModelIndex* index) const
{
    *index = indexAt(pos);
    if (!index->isValid())
        return TransferDelegate::Button::None;
    return delegate_->ButtonAt(visualRect(*index), *index, pos);
}

void RecordTableBase::UpdateHover(const QModelIndex& index, TransferDelegate::Button button)
{
    const QModelIndex old = delegate_->hoveredIndex();
    if (old == index && delegate_->hovered() == button)
        return;
    delegate_->SetHover(index, button);
    viewport()->setCursor(button == TransferDelegate::Button::None ? Qt::ArrowCursor
                                                                   : Qt::PointingHandCursor);
    if (old.isValid())
        viewport()->update(visualRect(old));
    if (index.isValid())
        viewport()->update(visualRect(index));
}

void RecordTableBase::mouseMoveEvent(QMouseEvent* event)
{
    QModelIndex index;
    const TransferDelegate::Button button = HitButton(event->pos(), &index);
    UpdateHover(button == TransferDelegate::Button::None ? QModelIndex() : index, button);
    QTableView::mouseMoveEvent(event);
}

void RecordTableBase::mousePressEvent(QMouseEvent* event)
{
    QModelIndex index;
    const TransferDelegate::Button button = HitButton(event->pos(), &index);
    if (event->button() == Qt::LeftButton && button != TransferDelegate::Button::None) {
        pressed_ = button;
        pressedIndex_ = index;
        delegate_->SetPressed(button);
        UpdateHover(index, button);
        viewport()->update(visualRect(index));
        return;
    }
    QTableView::mousePressEvent(event);
}

void RecordTableBase::mouseReleaseEvent(QMouseEvent* event)
{
    if (pressed_ == TransferDelegate::Button::None) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    QModelIndex index;
    const TransferDelegate::Button button = HitButton(event->pos(), &index);
    const TransferDelegate::Button pressed = pressed_;
    const QPersistentModelIndex pressedIndex = pressedIndex_;
    pressed_ = TransferDelegate::Button::None;
    pressedIndex_ = QPersistentModelIndex();
    delegate_->SetPressed(TransferDelegate::Button::None);
    if (index.isValid())
        viewport()->update(visualRect(index));
    // A click is a press and a release on the same button of the same row.
    if (event->button() == Qt::LeftButton && button == pressed && index == pressedIndex)
        emit SignalButtonClicked(index, button);
}

void RecordTableBase::leaveEvent(QEvent* event)
{
    UpdateHover(QModelIndex(), TransferDelegate::Button::None);
    QTableView::leaveEvent(event);
}
