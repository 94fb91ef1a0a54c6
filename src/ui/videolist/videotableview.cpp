#include "ui/videolist/videotableview.h"

#include "model/videotablemodel.h"
#include "ui/common/toast.h"
#include "ui/videolist/checkableheaderview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {
constexpr int kPadding = 8;
constexpr int kCopyIcon = 16;

QModelIndex FirstCell(const QModelIndex& index)
{
    return index.siblingAtColumn(VideoTableModel::Selected);
}
} // namespace

// ---- TableViewDelegate ------------------------------------------------------

TableViewDelegate::TableViewDelegate(QWidget* view) : QStyledItemDelegate(view), view_(view) {}

QPushButton* TableViewDelegate::Button(const QString& objectName) const
{
    QPushButton*& button = buttons_[objectName];
    if (!button) {
        // Never shown: it only lends its style (and style sheet) to the painting.
        button = new QPushButton(view_);
        button->setObjectName(objectName);
        button->hide();
    }
    return button;
}

QRect TableViewDelegate::ButtonRect(const QRect& cell, const QString& objectName)
{
    const int width = objectName == QLatin1String("categoryButton") ? cell.width() - 2 * kPadding
                                                                    : qMin(52, cell.width() - kPadding);
    const int height = 28;
    return QRect(cell.center().x() - width / 2 + 1, cell.center().y() - height / 2 + 1, width, height);
}

bool TableViewDelegate::PaintButton(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    if (index.data(VideoTableModel::HasButtonRole).toInt() != 1)
        return false;
    const QString name = index.data(VideoTableModel::ButtonRole).toString();
    QPushButton* button = Button(name);
    const bool enabled = index.data(VideoTableModel::ButtonEnabledRole).toInt() == 1;
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.rect = ButtonRect(option.rect, name);
    opt.text = painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                 opt.rect.width() - 12);
    opt.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
    if (enabled && hovered_ == index)
        opt.state |= QStyle::State_MouseOver;
    if (enabled && pressed_ == index)
        opt.state |= QStyle::State_Sunken;
    opt.features = QStyleOptionButton::Flat;
    button->style()->drawControl(QStyle::CE_PushButton, &opt, painter, button);
    return true;
}

void TableViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (!PaintButton(painter, option, index))
        QStyledItemDelegate::paint(painter, option, index);
}

bool TableViewDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (index.data(VideoTableModel::HasButtonRole).toInt() != 1)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const QString name = index.data(VideoTableModel::ButtonRole).toString();
    const bool enabled = index.data(VideoTableModel::ButtonEnabledRole).toInt() == 1;
    const QRect rect = ButtonRect(option.rect, name);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const bool over = rect.contains(static_cast<QMouseEvent*>(event)->pos());
        hovered_ = over ? QPersistentModelIndex(index) : QPersistentModelIndex();
        view_->setCursor(over && enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
        return false;
    }
    case QEvent::MouseButtonPress:
        if (enabled && rect.contains(static_cast<QMouseEvent*>(event)->pos())) {
            pressed_ = index;
            return true;
        }
        return false;
    case QEvent::MouseButtonRelease: {
        const bool click =
            enabled && pressed_ == index && rect.contains(static_cast<QMouseEvent*>(event)->pos());
        pressed_ = QPersistentModelIndex();
        if (click)
            emit SignalButtonClicked(Button(name), index);
        return click;
    }
    default:
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
}

// ---- VideoTableViewDelegate -------------------------------------------------

VideoTableViewDelegate::VideoTableViewDelegate(QWidget* view)
    : TableViewDelegate(view), copyNormal_(QStringLiteral(":/image/videoList/icon_copy_normal.svg")),
      copyHover_(QStringLiteral(":/image/videoList/icon_copy_hover.svg")),
      copyPressedIcon_(QStringLiteral(":/image/videoList/icon_copy_pressed.svg"))
{
}

QRect VideoTableViewDelegate::CopyIconRect(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QRect area = option.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const int lineHeight = area.height() / 3;
    const QString vid = FirstCell(index).data(VideoTableModel::DataRole::Vid).toString();
    const int vidWidth = qMin(option.fontMetrics.horizontalAdvance(vid), area.width() - kCopyIcon - 4);
    const int top = area.top() + 2 * lineHeight + (lineHeight - kCopyIcon) / 2;
    return QRect(area.left() + vidWidth + 4, top, kCopyIcon, kCopyIcon);
}

void VideoTableViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // Row background (selection and hover) as the style draws it, without text.
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    QStyleOptionViewItem background = opt;
    background.text.clear();
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, opt.widget);

    switch (index.column()) {
    case VideoTableModel::Selected: {
        QStyleOptionButton box;
        box.rect = QRect(opt.rect.center().x() - 7, opt.rect.center().y() - 7, 16, 16);
        box.state =
            QStyle::State_Enabled |
            (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, opt.widget);
        return;
    }
    case VideoTableModel::Thumbs: {
        const QPixmap pixmap = index.data(VideoTableModel::ThumbnailRole).value<QPixmap>();
        if (pixmap.isNull())
            return;
        const QSize size = pixmap.size() / pixmap.devicePixelRatio();
        const QRect target(opt.rect.center().x() - size.width() / 2 + 1,
                           opt.rect.center().y() - size.height() / 2 + 1, size.width(), size.height());
        painter->drawPixmap(target, pixmap);
        return;
    }
    case VideoTableModel::DisplayInfo: {
        const QModelIndex first = FirstCell(index);
        const QRect area = opt.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
        const int lineHeight = area.height() / 3;
        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        QFont titleFont = opt.font;
        titleFont.setBold(true);
        painter->setFont(titleFont);
        painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : QColor(0x1F, 0x2D, 0x3D));
        const QFontMetrics titleMetrics(titleFont);
        const QRect titleRect(area.left(), area.top(), area.width(), lineHeight);
        painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(first.data(VideoTableModel::DataRole::Title).toString(),
                                                  Qt::ElideRight, area.width()));
        const QStringList lines = index.data(Qt::DisplayRole).toString().split(QLatin1Char('\n'));
        painter->setFont(opt.font);
        painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : QColor(0x7A, 0x88, 0x99));
        const QRect infoRect(area.left(), area.top() + lineHeight, area.width(), lineHeight);
        painter->drawText(infoRect, Qt::AlignLeft | Qt::AlignVCenter, lines.value(1));
        const QRect copy = CopyIconRect(opt, index);
        const QRect vidRect(area.left(), area.top() + 2 * lineHeight, copy.left() - 4 - area.left(),
                            lineHeight);
        painter->drawText(vidRect, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(lines.value(2), Qt::ElideMiddle, vidRect.width()));
        const bool over = index.data(VideoTableModel::ButtonEnabledRole).toInt() == 1;
        const QIcon& icon = over && copyPressed_ ? copyPressedIcon_ : over ? copyHover_ : copyNormal_;
        icon.paint(painter, copy);
        painter->restore();
        return;
    }
    default:
        break;
    }
    if (PaintButton(painter, opt, index))
        return;
    painter->save();
    painter->setPen(opt.state & QStyle::State_Selected ? opt.palette.color(QPalette::HighlightedText)
                                                       : QColor(0x3B, 0x4A, 0x5C));
    const QRect textRect = opt.rect.adjusted(4, 0, -4, 0);
    painter->drawText(textRect, int(opt.displayAlignment) | Qt::TextWordWrap, opt.text);
    painter->restore();
}

bool VideoTableViewDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                         const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (index.column() == VideoTableModel::Selected && mouse && event->type() == QEvent::MouseButtonRelease &&
        mouse->button() == Qt::LeftButton) {
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return true;
    }
    if (index.column() == VideoTableModel::DisplayInfo && mouse) {
        const bool over = CopyIconRect(option, index).contains(mouse->pos());
        if (index.data(VideoTableModel::ButtonEnabledRole).toInt() != int(over))
            model->setData(index, over ? 1 : 0, VideoTableModel::ButtonEnabledRole);
        if (event->type() == QEvent::MouseButtonPress && over) {
            copyPressed_ = true;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && copyPressed_) {
            copyPressed_ = false;
            if (over)
                emit SignalCopyVid(index);
            return true;
        }
        return false;
    }
    return TableViewDelegate::editorEvent(event, model, option, index);
}

// ---- VideoTableView ---------------------------------------------------------

VideoTableView::VideoTableView(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("videoTableView"));
    header_ = new CheckableHeaderView(this);
    setHorizontalHeader(header_);
    delegate_ = new VideoTableViewDelegate(this);
    setItemDelegate(delegate_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setMouseTracking(true);
    setWordWrap(false);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(delegate_, &TableViewDelegate::SignalButtonClicked, this, &VideoTableView::OnButtonClicked);
    connect(delegate_, &VideoTableViewDelegate::SignalCopyVid, this, &VideoTableView::CopyVid);
    connect(header_, &CheckableHeaderView::stateChanged, this, [this](int, Qt::CheckState state) {
        if (model_)
            model_->SetAllChecked(state == Qt::Checked);
    });
}

void VideoTableView::SetVideoModel(VideoTableModel* model)
{
    model_ = model;
    setModel(model);
    auto* h = header_;
    h->setMinimumSectionSize(36);
    h->setSectionResizeMode(QHeaderView::Fixed);
    h->resizeSection(VideoTableModel::Selected, 40);
    h->resizeSection(VideoTableModel::Thumbs, 84);
    h->setSectionResizeMode(VideoTableModel::DisplayInfo, QHeaderView::Stretch);
    h->resizeSection(VideoTableModel::Uploader, 70);
    h->resizeSection(VideoTableModel::CategoryName, 96);
    h->resizeSection(VideoTableModel::UploadTime, 92);
    h->resizeSection(VideoTableModel::Status, 72);
    h->resizeSection(VideoTableModel::Edit, 60);
    h->resizeSection(VideoTableModel::CodeGen, 60);
    connect(model, &VideoTableModel::SignalCheckStateChanged, this, &VideoTableView::UpdateHeaderCheckState);
    connect(model, &QAbstractItemModel::modelReset, this, &VideoTableView::UpdateHeaderCheckState);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, header_,
            &CheckableHeaderView::SlotSelectionChanged);
}

void VideoTableView::UpdateHeaderCheckState()
{
    const int rows = model_->rowCount();
    const int checked = model_->CheckedVids().size();
    header_->SetCheckState(checked == 0      ? Qt::Unchecked
                           : checked == rows ? Qt::Checked
                                             : Qt::PartiallyChecked);
    header_->SlotRowCountChanged(rows);
}

void VideoTableView::OnButtonClicked(QAbstractButton* button, const QModelIndex& index)
{
    const QString name = button->objectName();
    if (name == QLatin1String("categoryButton"))
        emit SignalJumpCategory(FirstCell(index).data(VideoTableModel::DataRole::CateId).toULongLong());
    else if (name == QLatin1String("editButton"))
        emit SignalEdit(index);
    else if (name == QLatin1String("codeGenButton"))
        emit SignalCodeGen(index);
}

void VideoTableView::CopyVid(const QModelIndex& index)
{
    QApplication::clipboard()->setText(FirstCell(index).data(VideoTableModel::DataRole::Vid).toString());
    ShowToastInParent(this, tr("VidCopied"), 0);
}

void VideoTableView::CopyTitle(const QModelIndex& index)
{
    QApplication::clipboard()->setText(FirstCell(index).data(VideoTableModel::DataRole::Title).toString());
    ShowToastInParent(this, tr("TitleCopied"), 0);
}

void VideoTableView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("videoItemMenu"));
    QAction* copyVid = menu.addAction(tr("CopyVid"));
    QAction* copyTitle = menu.addAction(tr("CopyTitle"));
    const QAction* chosen = menu.exec(event->globalPos());
    if (chosen == copyVid)
        CopyVid(index);
    else if (chosen == copyTitle)
        CopyTitle(index);
}
