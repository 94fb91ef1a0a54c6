#pragma once
// Common base of the transfer page's two tables: rows keyed by vid, each with
// a copy of its record and its cell widgets.

#include "storage/dbmanager.h"
#include "upload/sdkuploadtask.h"

#include <QMap>
#include <QSharedPointer>
#include <QTableWidget>

class IconWidget;
class OperationWidget;
class ProgressWidget;

struct RecordRow
{
    DBManager::Upload upload;
    DBManager::History history;
    QString sizeText;
    QTableWidgetItem* item = nullptr; // first cell; finds the row
    SharedUploadTaskPtr task;
    bool saved = false; // the stored record matches `upload`
    int iconColumn = -1;
    int progressColumn = -1;
    int operationColumn = -1;
    IconWidget* iconWidget = nullptr;
    ProgressWidget* progressWidget = nullptr;
    OperationWidget* operationWidget = nullptr;
};
using SharedRecordRow = QSharedPointer<RecordRow>;

class RecordTableBase : public QTableWidget
{
    Q_OBJECT
public:
    explicit RecordTableBase(QWidget* parent = nullptr);

    virtual int count() const;
    bool contains(const QString& vid) const { return rows_.contains(vid); }
    SharedRecordRow rowRecord(const QString& vid) const { return rows_.value(vid); }
    // Table row of a vid; -1 when absent.
    int RowOf(const QString& vid) const;

signals:
    void SignalCountChange(int count);
    void SignalContentStatus(bool empty);

protected:
    // Sets up the header: the first column stretches, the others are fixed.
    void SetupColumns(const QStringList& headers, const QList<int>& widths);
    // Removes one row and its map entry; returns false when the vid is unknown.
    bool RemoveRow(const QString& vid);
    // Removes every row.
    void RemoveAllRows();
    // Puts the row's cell widgets into their cells on the next turn of the
    // event loop. Showing a widget in a visible view costs time in proportion
    // to the widgets already there, so a burst of rows (the restore at login)
    // is placed in one pass with the viewport hidden.
    void PlaceCellWidgets(const SharedRecordRow& entry);
    void FlushCellWidgets();

    QMap<QString, SharedRecordRow> rows_;

private:
    QList<SharedRecordRow> unplaced_;
    bool flushQueued_ = false;
};
