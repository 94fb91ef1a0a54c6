#pragma once
// The header of the video table: the select-all box in column 0 and the sort
// order chosen by clicks on the title and upload-time sections.

#include <QHeaderView>
#include <QItemSelection>

class CheckableHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit CheckableHeaderView(QWidget* parent = nullptr);

    // The sort method (ApiCollection::SortMethod) of the current sort column and flag.
    int SortMethod() const;
    int sortColumn() const { return sortColumn_; }
    void SetSortingEnabled(bool enabled);
    bool sortingEnabled() const { return sortingEnabled_; }
    Qt::CheckState checkState() const { return checkState_; }
    // Follows the rows' check states (all, none or some checked).
    void SetCheckState(Qt::CheckState state);
    // The sortable sections.
    static bool IsSortable(int section);

signals:
    void stateChanged(int column, Qt::CheckState state);
    void SignalSortChange(int sortMethod);

public slots:
    void SlotSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void SlotRowCountChanged(int newCount);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    QRect CheckBoxRect(const QRect& section) const;
    QRect SortIconRect(const QRect& section) const;

    int sortColumn_ = 0;
    bool sortFlag_ = true;
    bool sortingEnabled_ = true;
    int hoverSection_ = -1;
    Qt::CheckState checkState_ = Qt::Unchecked;
};
