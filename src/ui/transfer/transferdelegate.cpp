#include "ui/transfer/transferdelegate.h"

#include "model/transferroles.h"
#include "upload/uploadstatus.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionProgressBar>
#include <QToolTip>

namespace {
constexpr int kButtonSize = 24;
constexpr int kButtonSpacing = 8;
constexpr int kIconSize = 28;
constexpr int kErrorWidth = 160; // the error text is elided to this width
const QMargins kStatusMargins(12, 8, 12, 8);

template <typename W> W* MakeTemplate(QWidget* parent, const char* name)
{
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->hide();
    return widget;
}

QString OperationTr(const char* key)
{
    return QCoreApplication::translate("OperationWidget", key);
}

// The widget's colour and font as its style sheet rule gives them.
void UseLabelLook(QPainter* painter, QLabel* label)
{
    label->ensurePolished();
    painter->setPen(label->palette().color(QPalette::WindowText));
    painter->setFont(label->font());
}
} // namespace

TransferDelegate::TransferDelegate(Mode mode, QWidget* view)
    : QStyledItemDelegate(view), mode_(mode), nameLabel_(MakeTemplate<QLabel>(view, "nameLabel")),
      stateLabel_(MakeTemplate<QLabel>(view, "stateLabel")),
      errorLabel_(MakeTemplate<QLabel>(view, "errorLabel")),
      uploadBar_(MakeTemplate<QProgressBar>(view, "uploadBar")),
      retryButton_(MakeTemplate<QPushButton>(view, "retryButton")),
      uploadButton_(MakeTemplate<QPushButton>(view, "uploadButton")),
      deleteButton_(MakeTemplate<QPushButton>(view, "deleteButton")),
      openButton_(MakeTemplate<QPushButton>(view, "openButton")),
      cleanupButton_(MakeTemplate<QPushButton>(view, "cleanupButton"))
{
    uploadButton_->setCheckable(true);
    uploadBar_->setTextVisible(false);
}

void TransferDelegate::SetHover(const QModelIndex& index, Button button)
{
    hoverIndex_ = index;
    hoverButton_ = button;
}

void TransferDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    // The cell's own panel (the style sheet's row border) first, without text
    // for the painted columns.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const int column = index.column();
    const bool painted = column == titleColumn() || column == statusColumn() || column == operationColumn();
    if (painted)
        cell.text.clear();
    QStyle* style = option.widget ? option.widget->style() : nullptr;
    if (style)
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);
    else
        QStyledItemDelegate::paint(painter, option, index);
    if (!painted)
        return;
    painter->save();
    if (column == titleColumn())
        PaintTitle(painter, option, index);
    else if (column == statusColumn())
        PaintStatus(painter, option, index);
    else
        PaintButtons(painter, option, index);
    painter->restore();
}

QRect TransferDelegate::NameRect(const QRect& cell) const
{
    return cell.adjusted(16 + kIconSize + 10, 0, -8, 0);
}

void TransferDelegate::PaintTitle(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    static const QIcon icon(QStringLiteral(":/image/transferList/icon_file.svg"));
    const QRect cell = option.rect;
    const QRect iconRect(cell.left() + 16, cell.top() + (cell.height() - kIconSize) / 2, kIconSize,
                         kIconSize);
    icon.paint(painter, iconRect);
    UseLabelLook(painter, nameLabel_);
    const QRect text = NameRect(cell);
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
}

void TransferDelegate::PaintStatus(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const QRect area = option.rect.marginsRemoved(kStatusMargins);
    stateLabel_->ensurePolished();
    const QFontMetrics small(stateLabel_->font());
    const int line = small.height();
    const int barHeight = 4;
    const int spacing = 4;
    const int top = area.top() + qMax(0, (area.height() - (2 * line + barHeight + 2 * spacing)) / 2);
    const QRect topRow(area.left(), top, area.width(), line);
    const QRect barRect(area.left(), topRow.bottom() + 1 + spacing, area.width(), barHeight);
    const QRect bottomRow(area.left(), barRect.bottom() + 1 + spacing, area.width(), line);

    const QString state = index.data(TransferRole::StateText).toString();
    const QString error = index.data(TransferRole::ErrorText).toString();
    UseLabelLook(painter, stateLabel_);
    int left = topRow.left();
    if (!state.isEmpty()) {
        painter->drawText(topRow, Qt::AlignLeft | Qt::AlignVCenter, state);
        left += small.horizontalAdvance(state) + 6;
    }
    if (!error.isEmpty()) {
        UseLabelLook(painter, errorLabel_);
        const QString shown = painter->fontMetrics().elidedText(error, Qt::ElideRight, kErrorWidth);
        painter->drawText(QRect(left, topRow.top(), topRow.right() - left, line),
                          Qt::AlignLeft | Qt::AlignVCenter, shown);
    } else {
        painter->drawText(topRow, Qt::AlignRight | Qt::AlignVCenter,
                          index.data(TransferRole::TimeText).toString());
    }
    UseLabelLook(painter, stateLabel_);
    painter->drawText(bottomRow, Qt::AlignRight | Qt::AlignVCenter,
                      index.data(TransferRole::SpeedText).toString());

    uploadBar_->ensurePolished();
    QStyleOptionProgressBar bar;
    bar.initFrom(uploadBar_);
    bar.state |= QStyle::State_Enabled;
    bar.rect = barRect;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = index.data(TransferRole::Percent).toInt();
    bar.textVisible = false;
    uploadBar_->style()->drawControl(QStyle::CE_ProgressBar, &bar, painter, uploadBar_);
}

QPushButton* TransferDelegate::Template(Button button) const
{
    switch (button) {
    case Button::Retry:
        return retryButton_;
    case Button::Upload:
        return uploadButton_;
    case Button::Delete:
        return deleteButton_;
    case Button::Open:
        return openButton_;
    case Button::Cleanup:
        return cleanupButton_;
    default:
        return nullptr;
    }
}

QVector<TransferDelegate::ButtonRect> TransferDelegate::Buttons(const QRect& cell,
                                                                const QModelIndex& index) const
{
    QVector<Button> shown;
    if (mode_ == Mode::History)
        shown = {Button::Open, Button::Cleanup};
    else
        shown = {index.data(TransferRole::RetryShown).toBool() ? Button::Retry : Button::Upload,
                 Button::Delete};
    const int width = shown.size() * kButtonSize + (shown.size() - 1) * kButtonSpacing;
    int x = cell.left() + (cell.width() - width) / 2;
    const int y = cell.top() + (cell.height() - kButtonSize) / 2;
    QVector<ButtonRect> rects;
    for (Button b : shown) {
        rects.append({b, QRect(x, y, kButtonSize, kButtonSize)});
        x += kButtonSize + kButtonSpacing;
    }
    return rects;
}

TransferDelegate::Button TransferDelegate::ButtonAt(const QRect& cell, const QModelIndex& index,
                                                    const QPoint& pos) const
{
    if (index.column() != operationColumn())
        return Button::None;
    for (const ButtonRect& b : Buttons(cell, index)) {
        if (b.rect.contains(pos))
            return b.button;
    }
    return Button::None;
}

void TransferDelegate::PaintButtons(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const int status = index.data(TransferRole::Status).toInt();
    const bool sameRow =
        hoverIndex_.isValid() && hoverIndex_.row() == index.row() && hoverIndex_.column() == index.column();
    for (const ButtonRect& b : Buttons(option.rect, index)) {
        QPushButton* look = Template(b.button);
        look->ensurePolished();
        QStyleOptionButton opt;
        opt.initFrom(look);
        opt.rect = b.rect;
        opt.state = QStyle::State_Enabled;
        if (b.button == Button::Upload) {
            const auto s = static_cast<UploadStatus>(status);
            if (s == UploadStatus::Waiting || s == UploadStatus::Uploading)
                opt.state |= QStyle::State_On;
            else
                opt.state |= QStyle::State_Off;
            // A broken file can never be started again.
            if (s == UploadStatus::FileError)
                opt.state &= ~QStyle::State_Enabled;
        }
        if (sameRow && hoverButton_ == b.button) {
            opt.state |= QStyle::State_MouseOver;
            if (pressed_ == b.button)
                opt.state |= QStyle::State_Sunken;
        }
        look->style()->drawControl(QStyle::CE_PushButton, &opt, painter, look);
    }
}

QString TransferDelegate::ButtonToolTip(Button button, const QModelIndex& index) const
{
    switch (button) {
    case Button::Retry:
        return OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "RetryUpload"));
    case Button::Upload: {
        const auto s = static_cast<UploadStatus>(index.data(TransferRole::Status).toInt());
        return s == UploadStatus::Waiting || s == UploadStatus::Uploading ? OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "StopUpload"))
                                                                          : OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "StartUpload"));
    }
    case Button::Delete:
        return OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "Delete"));
    case Button::Open:
        return OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "OpenPath"));
    case Button::Cleanup:
        return OperationTr(QT_TRANSLATE_NOOP("OperationWidget", "CleanUp"));
    default:
        return QString();
    }
}

bool TransferDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip;
    const int column = index.column();
    if (column == operationColumn()) {
        tip = ButtonToolTip(ButtonAt(option.rect, index, event->pos()), index);
    } else if (column == titleColumn()) {
        // Only a shortened title needs its full text.
        nameLabel_->ensurePolished();
        const QString name = index.data(Qt::DisplayRole).toString();
        if (QFontMetrics(nameLabel_->font()).horizontalAdvance(name) > NameRect(option.rect).width())
            tip = name.toHtmlEscaped();
    } else if (column == statusColumn()) {
        errorLabel_->ensurePolished();
        const QString error = index.data(TransferRole::ErrorText).toString();
        if (QFontMetrics(errorLabel_->font()).elidedText(error, Qt::ElideRight, kErrorWidth) != error)
            tip = error;
    } else {
        // A centred text column: the full text when it does not fit.
        const QString text = index.data(Qt::DisplayRole).toString();
        if (option.fontMetrics.horizontalAdvance(text) > option.rect.width() - 8)
            tip = text.toHtmlEscaped();
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}
