#include "ui/transfer/historytablewidget.h"

#include "ui/transfer/iconwidget.h"
#include "ui/transfer/operationwidget.h"

#include <QDateTime>
#include <QDebug>
#include <QScrollBar>
#include <QWheelEvent>

namespace {
enum Column
{
    TitleColumn = 0,
    SizeColumn,
    TimeColumn,
    StatusColumn,
    OperationColumn,
};

QTableWidgetItem* CentredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}
} // namespace

HistoryTableWidget::HistoryTableWidget(QWidget* parent) : RecordTableBase(parent)
{
    setObjectName(QStringLiteral("historyRecord"));
    SetupColumns({tr("Record.Title"), tr("Record.FileSize"), tr("Record.Time"), tr("Record.Status"),
                  tr("Record.Opertation")},
                 {140, 180, 140, 80});
}

int HistoryTableWidget::count() const
{
    return DBManager::instance()->CountHistories();
}

void HistoryTableWidget::InsertHistoryRow(int row, const DBManager::History& record)
{
    auto entry = SharedRecordRow::create();
    entry->history = record;
    entry->sizeText = record.fileSize;
    insertRow(row);
    entry->item = new QTableWidgetItem;
    setItem(row, TitleColumn, entry->item);
    setItem(row, SizeColumn, CentredItem(record.fileSize));
    const QDateTime time = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(record.updateTS));
    setItem(row, TimeColumn, CentredItem(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
    setItem(row, StatusColumn, CentredItem(record.fileStatus));
    entry->iconWidget = new IconWidget(record.titleName);
    entry->operationWidget = new OperationWidget(record);
    entry->iconColumn = TitleColumn;
    entry->operationColumn = OperationColumn;
    PlaceCellWidgets(entry);
    rows_.insert(record.vid, entry);
}

void HistoryTableWidget::EmitChanges(bool wasEmpty)
{
    const bool empty = rows_.isEmpty();
    if (empty != wasEmpty)
        emit SignalContentStatus(empty);
    emit SignalCountChange(count());
}

void HistoryTableWidget::LoadPage()
{
    if (!hasMore_)
        return;
    const QList<DBManager::History> records = DBManager::instance()->SelectHistories(page_, kPageSize);
    ++page_;
    hasMore_ = records.size() >= kPageSize;
    const bool wasEmpty = rows_.isEmpty();
    for (const DBManager::History& record : records) {
        if (!rows_.contains(record.vid))
            InsertHistoryRow(rowCount(), record);
    }
    if (!records.isEmpty() || wasEmpty)
        EmitChanges(wasEmpty);
}

void HistoryTableWidget::OnAppendHistory(const DBManager::History& record)
{
    const bool wasEmpty = rows_.isEmpty();
    RemoveRow(record.vid);
    InsertHistoryRow(0, record);
    scrollToTop();
    EmitChanges(wasEmpty);
}

void HistoryTableWidget::OnRemoveHistory(const QString& vid)
{
    const bool wasEmpty = rows_.isEmpty();
    if (RemoveRow(vid))
        EmitChanges(wasEmpty);
}

void HistoryTableWidget::OnRemoveAllHistories()
{
    RemoveAllRows();
    // Nothing is stored any more; later pages start again from the top.
    page_ = 0;
    hasMore_ = true;
    emit SignalContentStatus(true);
    emit SignalCountChange(count());
}

void HistoryTableWidget::wheelEvent(QWheelEvent* event)
{
    QScrollBar* bar = verticalScrollBar();
    if (event->angleDelta().y() < 0 && bar->isVisible() && bar->value() == bar->maximum()) {
        LoadPage();
        event->accept();
        return;
    }
    RecordTableBase::wheelEvent(event);
}
