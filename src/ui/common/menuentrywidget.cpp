#include "ui/common/menuentrywidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QWidgetAction>

#include "ui/common/stylehelper.h"

namespace {
constexpr int kIconSize = 16;
}

MenuEntryWidget::MenuEntryWidget(const QString& objectName, const QIcon& icon, const QString& text,
                                 QWidget* parent)
    : QWidget(parent), icon_(icon)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 0, 20, 0);
    row->setSpacing(10);
    iconLabel_ = new QLabel(this);
    iconLabel_->setObjectName(QStringLiteral("menuEntryIcon"));
    iconLabel_->setFixedSize(kIconSize, kIconSize);
    iconLabel_->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize)));
    iconLabel_->setVisible(!icon.isNull());
    textLabel_ = new QLabel(text, this);
    textLabel_->setObjectName(QStringLiteral("menuEntryText"));
    textLabel_->setProperty("hovered", false);
    row->addWidget(iconLabel_);
    row->addWidget(textLabel_, 1);
    setMinimumHeight(36);
}

void MenuEntryWidget::SetText(const QString& text)
{
    textLabel_->setText(text);
}

QString MenuEntryWidget::Text() const
{
    return textLabel_->text();
}

void MenuEntryWidget::paintEvent(QPaintEvent*)
{
    // Lets the style sheet paint the background, including :hover.
    QStyleOption opt;
    opt.initFrom(this);
    QPainter p(this);
    style()->drawPrimitive(QStyle::PE_Widget, &opt, &p, this);
}

void MenuEntryWidget::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void MenuEntryWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->pos());
    pressed_ = false;
    event->accept();
    if (click && isEnabled())
        emit SignalClicked();
}

void MenuEntryWidget::enterEvent(QEvent* event)
{
    QWidget::enterEvent(event);
    // Style sheets match pseudo-states on the styled widget only, so the
    // label learns about the hover through a property.
    SetStyleProperty(textLabel_, "hovered", true);
}

void MenuEntryWidget::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    SetStyleProperty(textLabel_, "hovered", false);
}

void MenuEntryWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        iconLabel_->setPixmap(
            icon_.pixmap(QSize(kIconSize, kIconSize), isEnabled() ? QIcon::Normal : QIcon::Disabled));
}

QWidgetAction* AddMenuEntry(QMenu* menu, const QString& objectName, const QIcon& icon, const QString& text)
{
    auto* action = new QWidgetAction(menu);
    action->setObjectName(objectName);
    auto* entry = new MenuEntryWidget(objectName, icon, text, menu);
    action->setDefaultWidget(entry);
    QObject::connect(entry, &MenuEntryWidget::SignalClicked, action, [menu, action]() {
        menu->hide();
        action->trigger();
    });
    QObject::connect(action, &QAction::changed, entry,
                     [entry, action]() { entry->setEnabled(action->isEnabled()); });
    menu->addAction(action);
    return action;
}
