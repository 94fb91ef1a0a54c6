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

    QMap<QString, SharedRecordRow> rows_;
};
