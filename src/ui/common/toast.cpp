#include "ui/common/toast.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>

#include "ui/common/stylehelper.h"

namespace {
// Toasts aligned to an edge keep this distance from it, so that they do not
// sit on the window's border or cover the title bar's edge.
constexpr int kEdgeMargin = 12;
} // namespace

Toast::Toast(QWidget* parent) : QWidget(parent), anchor_(parent)
{
    setObjectName(QStringLiteral("Toast"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    BindStyleSheet(this, {QStringLiteral("Toast.qss")});

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    container_ = new QWidget(this);
    container_->setObjectName(QStringLiteral("container"));
    container_->setAttribute(Qt::WA_StyledBackground);
    outer->addWidget(container_);

    auto* row = new QHBoxLayout(container_);
    row->setContentsMargins(14, 9, 16, 9);
    row->setSpacing(8);
    icon_ = new QLabel(container_);
    icon_->setObjectName(QStringLiteral("icon"));
    icon_->setFixedSize(16, 16);
    msg_ = new QLabel(container_);
    msg_->setObjectName(QStringLiteral("msg"));
    msg_->setWordWrap(false);
    msg_->setTextInteractionFlags(Qt::NoTextInteraction);
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addWidget(msg_, 1, Qt::AlignVCenter);

    fade_ = new QPropertyAnimation(this, "windowOpacity", this);
    fade_->setDuration(kFadeMs);
    fade_->setStartValue(1.0);
    fade_->setEndValue(0.0);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::close);

    waitTimer_ = new QTimer(this);
    waitTimer_->setSingleShot(true);
    waitTimer_->setInterval(kWaitMs);
    connect(waitTimer_, &QTimer::timeout, fade_, [this]() { fade_->start(); });
    SetType(0);
}

void Toast::SetText(const QString& text)
{
    msg_->setText(text);
    adjustSize();
}

void Toast::SetType(int type)
{
    const QString value = type == 1 ? QStringLiteral("warning") : QString();
    for (QWidget* w : {container_, static_cast<QWidget*>(icon_), static_cast<QWidget*>(msg_)}) {
        w->setProperty("type", value);
        Repolish(w);
    }
    const QString iconPath = type == 1 ? QStringLiteral(":/image/common/toast-warning.svg")
                                       : QStringLiteral(":/image/common/toast-info.svg");
    icon_->setPixmap(QIcon(iconPath).pixmap(QSize(16, 16)));
}

void Toast::SetAlignment(int alignment)
{
    alignment_ = alignment;
}

void Toast::SetAutoHide(bool autoHide)
{
    autoHide_ = autoHide;
}

QPoint Toast::PlaceInRect(const QRect& r, const QSize& s, int alignment)
{
    QPoint pos = r.topLeft();
    if (alignment & (Qt::AlignHCenter | Qt::AlignVCenter))
        pos = QPoint(r.x() + (r.width() - s.width()) / 2, r.y() + (r.height() - s.height()) / 2);
    if (alignment & Qt::AlignLeft)
        pos.setX(r.left() + kEdgeMargin);
    if (alignment & Qt::AlignTop)
        pos.setY(r.top() + kEdgeMargin);
    if (alignment & Qt::AlignRight)
        pos.setX(r.x() + r.width() - s.width() - kEdgeMargin);
    if (alignment & Qt::AlignBottom)
        pos.setY(r.y() + r.height() - s.height() - kEdgeMargin);
    return pos;
}

void Toast::Place()
{
    if (!anchor_)
        return;
    const QRect parentRect(anchor_->mapToGlobal(QPoint(0, 0)), anchor_->size());
    move(PlaceInRect(parentRect, size(), alignment_));
}

void Toast::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Place();
    if (autoHide_) {
        fade_->stop();
        setWindowOpacity(1.0);
        waitTimer_->start();
    }
}

Toast* ShowToastInParent(QWidget* parent, const QString& text, int type, int alignment, bool autoHide)
{
    if (!parent || !parent->isVisible()) {
        qDebug() << "ShowToastInParent parent is invisible, parent:" << parent;
        return nullptr;
    }
    auto* toast = new Toast(parent);
    toast->SetText(text);
    toast->SetType(type);
    toast->SetAlignment(alignment);
    toast->SetAutoHide(autoHide);
    toast->adjustSize();
    toast->show();
    return toast;
}
