#pragma once
// Paints the rows of the transfer page's two tables: the title with its file
// icon, the status cell (state, progress bar, speed, remaining time or the
// error) and the operation buttons. Colours, fonts and button images come from
// the style sheet through hidden template widgets that carry the object names
// the style sheet styles ("nameLabel", "uploadBar", "retryButton", ...); the
// view reports hover and press so the buttons show those states too.

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QVector>

class QLabel;
class QProgressBar;
class QPushButton;

class TransferDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum class Mode
    {
        Queue,
        History,
    };
    enum class Button
    {
        None,
        Retry,
        Upload, // start/pause toggle
        Delete,
        Open,
        Cleanup,
    };
    struct ButtonRect
    {
        Button button;
        QRect rect;
    };

    // `view` parents the template widgets, so they share its style sheet.
    TransferDelegate(Mode mode, QWidget* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    int titleColumn() const { return 0; }
    int statusColumn() const { return mode_ == Mode::Queue ? 3 : -1; }
    int operationColumn() const { return 4; }
    // The buttons a row shows in its operation cell at `cell`.
    QVector<ButtonRect> Buttons(const QRect& cell, const QModelIndex& index) const;
    Button ButtonAt(const QRect& cell, const QModelIndex& index, const QPoint& pos) const;
    // Hover and press state, set by the view.
    void SetHover(const QModelIndex& index, Button button);
    void SetPressed(Button button) { pressed_ = button; }
    Button hovered() const { return hoverButton_; }
    QModelIndex hoveredIndex() const { return hoverIndex_; }
    QString ButtonToolTip(Button button, const QModelIndex& index) const;

private:
    void PaintTitle(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void PaintStatus(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void PaintButtons(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    QPushButton* Template(Button button) const;
    QRect NameRect(const QRect& cell) const;

    Mode mode_;
    QLabel* nameLabel_;
    QLabel* stateLabel_;
    QLabel* errorLabel_;
    QProgressBar* uploadBar_;
    QPushButton* retryButton_;
    QPushButton* uploadButton_;
    QPushButton* deleteButton_;
    QPushButton* openButton_;
    QPushButton* cleanupButton_;
    QPersistentModelIndex hoverIndex_;
    Button hoverButton_ = Button::None;
    Button pressed_ = Button::None;
};
