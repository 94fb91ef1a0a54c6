#include "ui/transfer/recordtablewidget.h"

#include "ui/transfer/iconwidget.h"
#include "ui/transfer/operationwidget.h"
#include "ui/transfer/progresswidget.h"
#include "ui/transfer/transfercommon.h"
#include "upload/transferstats.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QSqlDatabase>
#include <QTimer>

namespace {
enum Column
{
    TitleColumn = 0,
    SizeColumn,
    DirColumn,
    StatusColumn,
    OperationColumn,
};
} // namespace

RecordTableWidget::RecordTableWidget(QWidget* parent) : RecordTableBase(parent), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("uploadRecord"));
    SetupColumns({tr("Record.Title"), tr("Record.FileSize"), tr("Record.Dir"), tr("Record.Status"),
                  tr("Record.Opertation")},
                 {140, 140, 200, 80});
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &RecordTableWidget::OnTimer);
    connect(this, &RecordTableBase::SignalContentStatus, this, &RecordTableWidget::OnContentStatus);
    connect(this, &QTableWidget::itemEntered, this, &RecordTableWidget::OnItemEntered);
}

RecordTableWidget::~RecordTableWidget()
{
    // The last word on progress before the window goes away.
    SaveRecords();
}

void RecordTableWidget::OnAppendItem(const SharedUploadTaskPtr& task, const DBManager::Upload& record)
{
    if (!task || record.vid.isEmpty() || rows_.contains(record.vid))
        return;
    const bool wasEmpty = rows_.isEmpty();
    auto entry = SharedRecordRow::create();
    entry->upload = record;
    entry->task = task;
    entry->sizeText = FormatSize(static_cast<qint64>(record.totalBytes), 4);

    const int row = rowCount();
    insertRow(row);
    entry->item = new QTableWidgetItem;
    setItem(row, TitleColumn, entry->item);
    auto* size = new QTableWidgetItem(entry->sizeText);
    size->setTextAlignment(Qt::AlignCenter);
    setItem(row, SizeColumn, size);
    QString dir = TransferUi::CategoryName(categories_, record.cateId);
    if (dir.isEmpty())
        dir = record.catePath;
    auto* dirItem = new QTableWidgetItem(dir);
    dirItem->setTextAlignment(Qt::AlignCenter);
    setItem(row, DirColumn, dirItem);

    entry->iconWidget = new IconWidget(record.titleName);
    entry->progressWidget = new ProgressWidget(task);
    entry->operationWidget = new OperationWidget(task);
    entry->iconColumn = TitleColumn;
    entry->progressColumn = StatusColumn;
    entry->operationColumn = OperationColumn;
    PlaceCellWidgets(entry);
    rows_.insert(record.vid, entry);

    if (wasEmpty)
        emit SignalContentStatus(false);
    emit SignalCountChange(count());
}

void RecordTableWidget::OnRemoveItem(const QString& vid)
{
    const int row = RowOf(vid);
    if (!RemoveRow(vid))
        return;
    if (row > 0)
        scrollToItem(item(row - 1, TitleColumn));
    if (rows_.isEmpty())
        emit SignalContentStatus(true);
    emit SignalCountChange(count());
}

void RecordTableWidget::OnRemoveAllItems()
{
    RemoveAllRows();
    emit SignalContentStatus(true);
    emit SignalCountChange(count());
}

void RecordTableWidget::OnContentStatus(bool empty)
{
    if (!empty) {
        if (!timer_->isActive())
            timer_->start();
        return;
    }
    timer_->stop();
    emit SignalProcess(0, 0, QString());
}

void RecordTableWidget::OnTimer()
{
    // Counts every tick of every table; every third one saves the progress.
    static quint64 ticks = 0;
    const bool save = ticks++ % 3 == 0;

    QVector<TransferRowSample> samples;
    samples.reserve(rows_.size());
    for (const SharedRecordRow& entry : qAsConst(rows_)) {
        ProgressWidget* progress = entry->progressWidget;
        TransferRowSample sample;
        sample.speedKBs = progress->OnTick();
        sample.status = entry->task ? entry->task->status() : progress->status();
        sample.totalBytes = static_cast<quint64>(progress->totalBytes());
        sample.uploadBytes = static_cast<quint64>(progress->uploadBytes());
        samples.append(sample);
    }
    if (save)
        SaveRecords();
    const TransferTotals totals = ComputeTotals(samples);
    if (!totals.valid)
        return;
    emit SignalProcess(static_cast<qint64>(totals.uploaded), static_cast<qint64>(totals.total),
                       totals.speedText);
}

void RecordTableWidget::SaveRecords()
{
    // Only rows whose progress moved need writing, and one transaction for
    // all of them keeps a long queue from costing one disk sync per row.
    QList<RecordRow*> changed;
    for (const SharedRecordRow& entry : qAsConst(rows_)) {
        const quint64 uploaded =
            entry->progressWidget ? static_cast<quint64>(entry->progressWidget->uploadBytes()) : 0;
        if (entry->saved && entry->upload.uploadBytes == uploaded)
            continue;
        entry->upload.uploadBytes = uploaded;
        changed.append(entry.data());
    }
    if (changed.isEmpty())
        return;
    DBManager* db = DBManager::instance();
    QSqlDatabase connection = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    const bool batch = connection.isOpen() && connection.transaction();
    for (RecordRow* entry : qAsConst(changed))
        entry->saved = db->InsertUpload(entry->upload);
    if (batch && !connection.commit()) {
        connection.rollback();
        for (RecordRow* entry : qAsConst(changed))
            entry->saved = false;
    }
}

void RecordTableWidget::closeEvent(QCloseEvent* event)
{
    SaveRecords();
    RecordTableBase::closeEvent(event);
}

void RecordTableWidget::OnItemEntered(QTableWidgetItem* cell)
{
    if (!cell || cell->column() != DirColumn)
        return;
    const QString text = cell->text();
    const int room = columnWidth(DirColumn) - 8;
    cell->setToolTip(fontMetrics().horizontalAdvance(text) > room ? text.toHtmlEscaped() : QString());
}
