#include "ui/transfer/recordtablebase.h"

#include "ui/transfer/iconwidget.h"
#include "ui/transfer/operationwidget.h"
#include "ui/transfer/progresswidget.h"
#include "ui/transfer/transfercommon.h"

#include <QHash>
#include <QHeaderView>

RecordTableBase::RecordTableBase(QWidget* parent) : QTableWidget(parent)
{
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
    TransferUi::ApplyStyleSheet(this, QStringLiteral("RecordTable.qss"));
}

int RecordTableBase::count() const
{
    return rowCount();
}

void RecordTableBase::SetupColumns(const QStringList& headers, const QList<int>& widths)
{
    setColumnCount(headers.size());
    setHorizontalHeaderLabels(headers);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < headers.size(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        setColumnWidth(column, widths.value(column - 1));
    }
    header->setDefaultAlignment(Qt::AlignCenter);
    if (QTableWidgetItem* first = horizontalHeaderItem(0))
        first->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

int RecordTableBase::RowOf(const QString& vid) const
{
    const SharedRecordRow record = rows_.value(vid);
    return record && record->item ? record->item->row() : -1;
}

bool RecordTableBase::RemoveRow(const QString& vid)
{
    const SharedRecordRow record = rows_.take(vid);
    if (!record)
        return false;
    if (unplaced_.removeOne(record)) {
        // Never handed to the view, so the view will not delete them.
        for (QWidget* widget :
             {static_cast<QWidget*>(record->iconWidget), static_cast<QWidget*>(record->progressWidget),
              static_cast<QWidget*>(record->operationWidget)}) {
            if (widget)
                widget->deleteLater();
        }
    }
    const int row = record->item ? record->item->row() : -1;
    if (row >= 0)
        removeRow(row);
    return true;
}

void RecordTableBase::RemoveAllRows()
{
    for (const SharedRecordRow& record : qAsConst(unplaced_)) {
        for (QWidget* widget :
             {static_cast<QWidget*>(record->iconWidget), static_cast<QWidget*>(record->progressWidget),
              static_cast<QWidget*>(record->operationWidget)}) {
            if (widget)
                widget->deleteLater();
        }
    }
    unplaced_.clear();
    setRowCount(0);
    rows_.clear();
}

void RecordTableBase::PlaceCellWidgets(const SharedRecordRow& entry)
{
    // Parented at once, so they live and die with the table even before placing.
    for (QWidget* widget :
         {static_cast<QWidget*>(entry->iconWidget), static_cast<QWidget*>(entry->progressWidget),
          static_cast<QWidget*>(entry->operationWidget)}) {
        if (widget) {
            widget->hide();
            widget->setParent(viewport());
        }
    }
    unplaced_.append(entry);
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &RecordTableBase::FlushCellWidgets, Qt::QueuedConnection);
    }
}

void RecordTableBase::FlushCellWidgets()
{
    flushQueued_ = false;
    if (unplaced_.isEmpty())
        return;
    // One pass over the first column finds every pending row.
    QHash<const QTableWidgetItem*, int> rowOfItem;
    rowOfItem.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        rowOfItem.insert(item(row, 0), row);
    const bool burst = unplaced_.size() > 8 && viewport()->isVisible();
    if (burst)
        viewport()->hide();
    for (const SharedRecordRow& entry : qAsConst(unplaced_)) {
        const int row = rowOfItem.value(entry->item, -1);
        if (row < 0)
            continue;
        if (entry->iconWidget)
            setCellWidget(row, entry->iconColumn, entry->iconWidget);
        if (entry->progressWidget)
            setCellWidget(row, entry->progressColumn, entry->progressWidget);
        if (entry->operationWidget)
            setCellWidget(row, entry->operationColumn, entry->operationWidget);
    }
    unplaced_.clear();
    if (burst)
        viewport()->show();
}
