#include "ui/common/msgbox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPair>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/common/stylehelper.h"
#include "ui/common/titlebar.h"

MsgBox::MsgBox(QWidget* parent, Type type, const QString& title, const QString& text,
               QDialogButtonBox::StandardButtons buttons, QDialogButtonBox::StandardButton defaultButton)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("MsgBox"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BindStyleSheet(this, {QStringLiteral("MessageBox.qss")});
    const QString typeName = type == Warning ? QStringLiteral("Warning") : QStringLiteral("Info");
    setProperty("Type", typeName);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    titleBar_ = new TitleBar(this);
    titleBar_->setObjectName(QStringLiteral("MsgBoxTitleBar"));
    titleBar_->setFixedHeight(40);
    const QString shownTitle = title.isNull() ? tr("MsgBox.DefaultTitle") : title;
    titleBar_->SetTitle(shownTitle);
    setWindowTitle(shownTitle);
    layout->addWidget(titleBar_);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("msgBoxBody"));
    auto* bodyRow = new QHBoxLayout(body);
    bodyRow->setContentsMargins(24, 20, 24, 12);
    bodyRow->setSpacing(14);
    iconLabel_ = new QLabel(body);
    iconLabel_->setObjectName(QStringLiteral("iconLabel"));
    iconLabel_->setFixedSize(28, 28);
    iconLabel_->setPixmap(QIcon(type == Warning ? QStringLiteral(":/image/common/msg-warning.svg")
                                                : QStringLiteral(":/image/common/msg-info.svg"))
                              .pixmap(QSize(28, 28)));
    textLabel_ = new QLabel(text, body);
    textLabel_->setObjectName(QStringLiteral("textLabel"));
    textLabel_->setWordWrap(true);
    textLabel_->setMinimumWidth(260);
    textLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bodyRow->addWidget(iconLabel_, 0, Qt::AlignTop);
    bodyRow->addWidget(textLabel_, 1);
    layout->addWidget(body, 1);

    buttonBox_ = new QDialogButtonBox(buttons, this);
    buttonBox_->setObjectName(QStringLiteral("buttonBox"));
    buttonBox_->setContentsMargins(24, 8, 24, 20);
    layout->addWidget(buttonBox_);
    // The program's own texts, so the box reads the same whatever the
    // toolkit's translations provide.
    const QList<QPair<QDialogButtonBox::StandardButton, QString>> texts{
        {QDialogButtonBox::Ok, tr("OK")},
        {QDialogButtonBox::Cancel, tr("Cancel")},
        {QDialogButtonBox::Yes, tr("Yes")},
        {QDialogButtonBox::No, tr("No")},
        {QDialogButtonBox::Close, tr("Close")}};
    for (const auto& t : texts) {
        if (QPushButton* b = buttonBox_->button(t.first))
            b->setText(t.second);
    }
    for (QAbstractButton* b : buttonBox_->buttons()) {
        b->setProperty("Type", typeName);
        // Lets the style sheet tell the confirming button from the others.
        b->setProperty("accept", buttonBox_->buttonRole(b) == QDialogButtonBox::AcceptRole ||
                                     buttonBox_->buttonRole(b) == QDialogButtonBox::YesRole);
        if (auto* push = qobject_cast<QPushButton*>(b)) {
            push->setAutoDefault(false);
            push->setDefault(false);
        }
        b->setCursor(Qt::PointingHandCursor);
    }
    if (defaultButton != QDialogButtonBox::NoButton) {
        if (QPushButton* b = buttonBox_->button(defaultButton)) {
            b->setDefault(true);
            b->setFocus();
        }
    }
    connect(buttonBox_, &QDialogButtonBox::clicked, this, [this](QAbstractButton* b) {
        clicked_ = buttonBox_->standardButton(b);
        done(clicked_);
    });
    setMinimumWidth(380);
}

void MsgBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    adjustSize();
    // Centre over the owner window, or on the screen when there is none.
    QRect area;
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        area = owner->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
}

int MsgBox::information(QWidget* parent, const QString& title, const QString& text,
                        QDialogButtonBox::StandardButtons buttons,
                        QDialogButtonBox::StandardButton defaultButton)
{
    MsgBox box(parent, Info, title, text, buttons, defaultButton);
    box.exec();
    return box.clickedButton();
}

int MsgBox::warning(QWidget* parent, const QString& title, const QString& text,
                    QDialogButtonBox::StandardButtons buttons, QDialogButtonBox::StandardButton defaultButton)
{
    MsgBox box(parent, Warning, title, text, buttons, defaultButton);
    box.exec();
    return box.clickedButton();
}
