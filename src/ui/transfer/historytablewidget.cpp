#include "ui/transfer/historytablewidget.h"

#include "model/historymodel.h"
#include "storage/dbmanager.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

HistoryTableWidget::HistoryTableWidget(HistoryModel* model, DBManager* db, QWidget* parent)
    : RecordTableBase(TransferDelegate::Mode::History, parent), model_(model), db_(db)
{
    setObjectName(QStringLiteral("historyRecord"));
    setModel(model);
    SetupColumns({140, 180, 140, 80});
    connect(this, &RecordTableBase::SignalButtonClicked, this, &HistoryTableWidget::OnButtonClicked);
    // New history arrives at the top.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
        if (first == 0)
            scrollToTop();
    });
}

void HistoryTableWidget::OnButtonClicked(const QModelIndex& index, TransferDelegate::Button button)
{
    if (button == TransferDelegate::Button::Open) {
        const QString fileName = index.data(TransferRole::FileName).toString();
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(fileName).absolutePath()));
    } else if (button == TransferDelegate::Button::Cleanup && db_) {
        db_->DeleteHistory(index.data(TransferRole::Vid).toString(), true);
    }
}
