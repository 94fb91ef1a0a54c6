#include "ui/transfer/iconwidget.h"

#include <QHBoxLayout>
#include <QPixmap>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setMinimumWidth(1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::SetFullText(const QString& text)
{
    setProperty("originalText", text);
    Elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void ElidedLabel::Elide()
{
    const QString full = fullText();
    const QString shown = fontMetrics().elidedText(full, Qt::ElideRight, width());
    if (shown != text())
        setText(shown);
    setToolTip(shown != full ? full.toHtmlEscaped() : QString());
}

IconWidget::IconWidget(const QString& name, QWidget* parent)
    : QWidget(parent), iconLabel_(new QLabel(this)), nameLabel_(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("iconWidget"));
    iconLabel_->setObjectName(QStringLiteral("iconLabel"));
    nameLabel_->setObjectName(QStringLiteral("nameLabel"));
    // QPixmap keeps loaded files in its cache, so a thousand rows decode the icon once.
    iconLabel_->setPixmap(QPixmap(QStringLiteral(":/image/transferList/icon_file.svg")));
    iconLabel_->setFixedSize(28, 28);
    iconLabel_->setScaledContents(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 0, 8, 0);
    layout->setSpacing(10);
    layout->addWidget(iconLabel_);
    layout->addWidget(nameLabel_, 1);
    nameLabel_->SetFullText(name);
}
