#pragma once
// Common base of the transfer page's two tables: a view over a transfer model
// whose rows a TransferDelegate paints. It feeds the delegate hover and press
// and turns clicks on the painted buttons into SignalButtonClicked.

#include "ui/transfer/transferdelegate.h"

#include <QTableView>

class RecordTableBase : public QTableView
{
    Q_OBJECT
public:
    RecordTableBase(TransferDelegate::Mode mode, QWidget* parent = nullptr);

    TransferDelegate* delegate() const { return delegate_; }

signals:
    void SignalButtonClicked(const QModelIndex& index, TransferDelegate::Button button);

protected:
    // Sets up the header: the first column stretches, the others are fixed.
    void SetupColumns(const QList<int>& widths);
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TransferDelegate::Button HitButton(const QPoint& pos, QModelIndex* index) const;
    void UpdateHover(const QModelIndex& index, TransferDelegate::Button button);

    TransferDelegate* delegate_;
    QPersistentModelIndex pressedIndex_;
    TransferDelegate::Button pressed_ = TransferDelegate::Button::None;
};
