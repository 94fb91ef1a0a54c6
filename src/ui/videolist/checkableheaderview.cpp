#include "ui/videolist/checkableheaderview.h"

#include "api/apicollection.h"
#include "model/videotablemodel.h"

#include <QHelpEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolTip>

CheckableHeaderView::CheckableHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("checkableHeaderView"));
    setSectionsClickable(true);
    setMouseTracking(true);
    setHighlightSections(false);
}

bool CheckableHeaderView::IsSortable(int section)
{
    return section == VideoTableModel::DisplayInfo || section == VideoTableModel::UploadTime;
}

int CheckableHeaderView::SortMethod() const
{
    using namespace ApiCollection;
    if (sortColumn_ == VideoTableModel::DisplayInfo)
        return sortFlag_ ? TitleNameDesc : TitleNameAsc;
    if (sortColumn_ == VideoTableModel::UploadTime)
        return sortFlag_ ? CreationTimeAsc : CreationTimeDesc;
    return NoSort;
}

void CheckableHeaderView::SetSortingEnabled(bool enabled)
{
    sortingEnabled_ = enabled;
    viewport()->update();
}

void CheckableHeaderView::SetCheckState(Qt::CheckState state)
{
    if (state == checkState_)
        return;
    checkState_ = state;
    viewport()->update();
}

void CheckableHeaderView::SlotSelectionChanged(const QItemSelection&, const QItemSelection&)
{
    viewport()->update();
}

void CheckableHeaderView::SlotRowCountChanged(int newCount)
{
    if (newCount == 0)
        SetCheckState(Qt::Unchecked);
}

QRect CheckableHeaderView::CheckBoxRect(const QRect& section) const
{
    const int side = 16;
    return QRect(section.center().x() - side / 2 + 1, section.center().y() - side / 2 + 1, side, side);
}

QRect CheckableHeaderView::SortIconRect(const QRect& section) const
{
    return QRect(section.right() - 22, section.center().y() - 7, 14, 14);
}

void CheckableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex == VideoTableModel::Selected) {
        QStyleOptionButton option;
        option.rect = CheckBoxRect(rect);
        option.state = QStyle::State_Enabled;
        option.state |= checkState_ == Qt::Checked            ? QStyle::State_On
                        : checkState_ == Qt::PartiallyChecked ? QStyle::State_NoChange
                                                              : QStyle::State_Off;
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, this);
        return;
    }
    if (!sortingEnabled_ || !IsSortable(logicalIndex))
        return;
    // Both directions are offered; the active one of the sort column is lit.
    const bool hover = hoverSection_ == logicalIndex;
    const bool ascending =
        SortMethod() == ApiCollection::TitleNameAsc || SortMethod() == ApiCollection::CreationTimeAsc;
    QString icon;
    if (sortColumn_ == logicalIndex && ascending)
        icon = hover ? QStringLiteral(":/image/videoList/icon_asc_hover.svg")
                     : QStringLiteral(":/image/videoList/icon_asc_normal.svg");
    else
        icon = hover ? QStringLiteral(":/image/videoList/icon_desc_hover.svg")
                     : QStringLiteral(":/image/videoList/icon_desc_normal.svg");
    QIcon(icon).paint(painter, SortIconRect(rect));
}

void CheckableHeaderView::mousePressEvent(QMouseEvent* event)
{
    const int section = logicalIndexAt(event->pos());
    if (event->button() == Qt::LeftButton && section == VideoTableModel::Selected) {
        const Qt::CheckState next = checkState_ == Qt::Checked ? Qt::Unchecked : Qt::Checked;
        SetCheckState(next);
        emit stateChanged(section, next);
        return;
    }
    if (event->button() == Qt::LeftButton && sortingEnabled_ && IsSortable(section)) {
        sortFlag_ = section != sortColumn_ ? true : !sortFlag_;
        sortColumn_ = section;
        viewport()->update();
        emit SignalSortChange(SortMethod());
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void CheckableHeaderView::mouseMoveEvent(QMouseEvent* event)
{
    const int section = logicalIndexAt(event->pos());
    if (section != hoverSection_) {
        hoverSection_ = section;
        viewport()->update();
    }
    QHeaderView::mouseMoveEvent(event);
}

void CheckableHeaderView::leaveEvent(QEvent* event)
{
    hoverSection_ = -1;
    viewport()->update();
    QHeaderView::leaveEvent(event);
}

bool CheckableHeaderView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int section = logicalIndexAt(help->pos());
        if (sortingEnabled_ && IsSortable(section)) {
            const int method = section == sortColumn_ ? SortMethod() : -1;
            const bool ascending =
                method == ApiCollection::TitleNameAsc || method == ApiCollection::CreationTimeAsc;
            QToolTip::showText(help->globalPos(), ascending ? tr("AscSort") : tr("DescSort"), this);
            return true;
        }
    }
    return QHeaderView::viewportEvent(event);
}
