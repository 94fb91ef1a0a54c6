#include "ui/transfer/recordtablebase.h"

#include "ui/transfer/transfercommon.h"

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
    const int row = record->item ? record->item->row() : -1;
    if (row >= 0)
        removeRow(row);
    return true;
}
