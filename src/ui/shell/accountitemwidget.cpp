#include "ui/shell/accountitemwidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "ui/common/stylehelper.h"

AccountItemWidget::AccountItemWidget(const QString& text, bool deletable, QWidget* parent)
    : QWidget(parent), text_(text), deletable_(deletable)
{
    setObjectName(QStringLiteral("AccountItemWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setAttribute(Qt::WA_Hover);
    setProperty("highlighted", false);
    setFixedHeight(kRowHeight);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(8);
    accountLabel_ = new QLabel(this);
    accountLabel_->setObjectName(QStringLiteral("accountLabel"));
    accountLabel_->setProperty("selected", false);
    accountLabel_->setMinimumWidth(1);
    accountLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    accountLabel_->installEventFilter(this);
    row->addWidget(accountLabel_, 1);
    if (deletable_) {
        delBtn_ = new QPushButton(this);
        delBtn_->setObjectName(QStringLiteral("delBtn"));
        delBtn_->setFixedSize(8, 8);
        delBtn_->setFocusPolicy(Qt::NoFocus);
        delBtn_->setCursor(Qt::PointingHandCursor);
        delBtn_->setToolTip(tr("Delete"));
        delBtn_->hide();
        row->addWidget(delBtn_, 0, Qt::AlignVCenter);
        connect(delBtn_, &QPushButton::clicked, this, &AccountItemWidget::AccountDelete);
    } else {
        setCursor(Qt::PointingHandCursor);
    }
    accountLabel_->setText(text_);
}

void AccountItemWidget::SetSelected(bool selected)
{
    SetStyleProperty(accountLabel_, "selected", selected);
}

void AccountItemWidget::SetHighlighted(bool highlighted)
{
    SetStyleProperty(this, "highlighted", highlighted);
    if (delBtn_)
        delBtn_->setVisible(highlighted);
}

void AccountItemWidget::Elide()
{
    const QFontMetrics fm(accountLabel_->font());
    const QString shown = fm.elidedText(text_, Qt::ElideRight, accountLabel_->width());
    accountLabel_->setText(shown);
    accountLabel_->setToolTip(shown != text_ ? text_ : QString());
}

bool AccountItemWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == accountLabel_ && event->type() == QEvent::Resize)
        Elide();
    return QWidget::eventFilter(watched, event);
}

void AccountItemWidget::enterEvent(QEvent* event)
{
    QWidget::enterEvent(event);
    SetHighlighted(true);
}

void AccountItemWidget::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    SetHighlighted(false);
}

void AccountItemWidget::mousePressEvent(QMouseEvent* event)
{
    if (deletable_) {
        // The list view underneath picks the row.
        event->ignore();
        return;
    }
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void AccountItemWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (deletable_) {
        event->ignore();
        return;
    }
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->pos());
    pressed_ = false;
    event->accept();
    if (click)
        emit SignalClicked();
}
