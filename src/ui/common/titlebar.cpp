#include "ui/common/titlebar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSizeGrip>
#include <QVBoxLayout>
#include <QWindow>

namespace {
// Moves the window of the watched widget while the left button drags on it.
// A title bar's maximised window is restored first and keeps the cursor on
// the bar.
class WindowDragFilter : public QObject
{
public:
    WindowDragFilter(QWidget* area, TitleBar* bar) : QObject(area), area_(area), bar_(bar)
    {
        area->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != area_)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            return Press(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return Move(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            return false;
        default:
            return false;
        }
    }

private:
    bool Press(QMouseEvent* event)
    {
        if (event->button() != Qt::LeftButton || (bar_ && !bar_->IsMovable()))
            return false;
        QWidget* w = area_->window();
        dragging_ = true;
        if (w->isMaximized()) {
            const QRect normal = w->property("windowNormalGeometry").toRect();
            windowStart_ = event->globalPos() - QPoint(normal.width() / 2, area_->height() / 2);
        } else {
            windowStart_ = w->pos();
        }
        cursorStart_ = event->globalPos();
        // The window manager moves the window itself where it can; then no
        // move events arrive here and the manual path stays idle.
        if (!w->isMaximized() && w->windowHandle() && w->windowHandle()->startSystemMove())
            dragging_ = false;
        return true;
    }

    bool Move(QMouseEvent* event)
    {
        if (!dragging_ || !(event->buttons() & Qt::LeftButton) || (bar_ && !bar_->IsMovable()))
            return false;
        QWidget* w = area_->window();
        if (w->isMaximized() && bar_)
            bar_->maximumBtn()->click();
        w->move(windowStart_ + (event->globalPos() - cursorStart_));
        return true;
    }

    QWidget* area_;
    TitleBar* bar_;
    bool dragging_ = false;
    QPoint windowStart_;
    QPoint cursorStart_;
};

QPushButton* MakeControlButton(QWidget* parent, const char* name, const char* icon)
{
    auto* btn = new QPushButton(parent);
    btn->setObjectName(QString::fromLatin1(name));
    btn->setFocusPolicy(Qt::NoFocus);
    btn->setAutoDefault(false);
    btn->setIcon(QIcon(QString::fromLatin1(icon)));
    btn->setIconSize(QSize(12, 12));
    btn->setFixedSize(36, 30);
    return btn;
}
} // namespace

TitleBar::TitleBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TitleBar"));
    setAttribute(Qt::WA_StyledBackground);
    new WindowDragFilter(this, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    titleWidget_ = new QWidget(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    titleLayout_ = new QHBoxLayout(titleWidget_);
    titleLayout_->setContentsMargins(16, 0, 8, 0);
    titleLabel_ = new QLabel(titleWidget_);
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    titleLayout_->addWidget(titleLabel_, 1);
    row->addWidget(titleWidget_, 1);

    controlWidget_ = new QWidget(this);
    controlWidget_->setObjectName(QStringLiteral("controlWidget"));
    auto* controls = new QHBoxLayout(controlWidget_);
    controls->setContentsMargins(0, 0, 4, 0);
    controls->setSpacing(0);
    minimumBtn_ = MakeControlButton(controlWidget_, "minimumBtn", ":/image/window/minimize.svg");
    maximumBtn_ = MakeControlButton(controlWidget_, "maximumBtn", ":/image/window/maximize.svg");
    maximumBtn_->setCheckable(true);
    closeBtn_ = MakeControlButton(controlWidget_, "closeBtn", ":/image/window/close.svg");
    controls->addWidget(minimumBtn_);
    controls->addWidget(maximumBtn_);
    controls->addWidget(closeBtn_);
    row->addWidget(controlWidget_, 0, Qt::AlignVCenter);
    outer->addLayout(row, 1);

    bottomLine_ = new QWidget(this);
    bottomLine_->setObjectName(QStringLiteral("bottomLine"));
    bottomLine_->setAttribute(Qt::WA_StyledBackground);
    bottomLine_->setFixedHeight(1);
    outer->addWidget(bottomLine_);

    Retranslate();
    connect(minimumBtn_, &QPushButton::clicked, this, [this]() { window()->showMinimized(); });
    connect(maximumBtn_, &QPushButton::toggled, this, &TitleBar::OnMaximumToggled);
    connect(closeBtn_, &QPushButton::clicked, this, [this]() { window()->close(); });
}

void TitleBar::Retranslate()
{
    minimumBtn_->setToolTip(tr("Minimum"));
    maximumBtn_->setToolTip(maximumBtn_->isChecked() ? tr("Restore") : tr("Maximum"));
    closeBtn_->setToolTip(tr("Close"));
}

void TitleBar::SetTitle(const QString& title)
{
    titleLabel_->setText(title);
}

void TitleBar::SetSizeGripEnabled(bool enabled)
{
    if (enabled && !sizeGrip_) {
        sizeGrip_ = new QSizeGrip(window());
        sizeGrip_->setObjectName(QStringLiteral("sizeGrip"));
        sizeGrip_->resize(16, 16);
        sizeGrip_->show();
        PlaceSizeGrip();
    } else if (!enabled && sizeGrip_) {
        delete sizeGrip_;
    }
}

void TitleBar::PlaceSizeGrip()
{
    if (!sizeGrip_)
        return;
    QWidget* w = window();
    sizeGrip_->move(w->width() - sizeGrip_->width(), w->height() - sizeGrip_->height());
    sizeGrip_->raise();
}

void TitleBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    QWidget* w = window();
    if (watchedWindow_ != w) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        watchedWindow_ = w;
        w->installEventFilter(this);
    }
    const Qt::WindowFlags flags = w->windowFlags();
    minimumBtn_->setVisible(flags.testFlag(Qt::WindowMinimizeButtonHint));
    maximumBtn_->setVisible(flags.testFlag(Qt::WindowMaximizeButtonHint));
    SyncMaximumButton();
    PlaceSizeGrip();
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_) {
        switch (event->type()) {
        case QEvent::Resize:
            PlaceSizeGrip();
            break;
        case QEvent::WindowStateChange:
            SyncMaximumButton();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TitleBar::SyncMaximumButton()
{
    const bool maximized = window()->isMaximized();
    if (maximumBtn_->isChecked() != maximized) {
        const QSignalBlocker blocker(maximumBtn_);
        maximumBtn_->setChecked(maximized);
    }
    maximumBtn_->setIcon(QIcon(maximized ? QStringLiteral(":/image/window/restore.svg")
                                         : QStringLiteral(":/image/window/maximize.svg")));
    maximumBtn_->setToolTip(maximized ? tr("Restore") : tr("Maximum"));
    if (sizeGrip_)
        sizeGrip_->setVisible(!maximized);
}

void TitleBar::OnMaximumToggled(bool checked)
{
    QWidget* w = window();
    if (checked) {
        w->setProperty("windowNormalGeometry", w->geometry());
        w->showMaximized();
    } else {
        w->showNormal();
        const QRect normal = w->property("windowNormalGeometry").toRect();
        if (normal.isValid())
            w->setGeometry(normal);
    }
    SyncMaximumButton();
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && window()->windowFlags().testFlag(Qt::WindowMaximizeButtonHint)) {
        maximumBtn_->click();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TitleBar::DragWindowBy(QWidget* area)
{
    new WindowDragFilter(area, nullptr);
}
