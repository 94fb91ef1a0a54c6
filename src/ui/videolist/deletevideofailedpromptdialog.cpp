#include "ui/videolist/deletevideofailedpromptdialog.h"

#include "model/videotablemodel.h"
#include "ui/videolist/dialogframe.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

DeleteVideoFailedPromptDialog::DeleteVideoFailedPromptDialog(const VideoTableModel* videos, QWidget* parent)
    : QDialog(parent), videos_(videos)
{
    setObjectName(QStringLiteral("DeleteVideoFailedPromptDialog"));
    QVBoxLayout* body = BuildDialogFrame(this, tr("DeleteVideoFailedPromptDialog.Title"),
                                         {QStringLiteral("DeleteVideoFailedPromptDialog.qss")});
    setMaximumWidth(kMaxWidth);
    setMinimumWidth(420);
    header_ = new QLabel(this);
    header_->setObjectName(QStringLiteral("headerLabel"));
    header_->setTextFormat(Qt::RichText);
    body->addWidget(header_);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setStyleSheet(QStringLiteral("QScrollArea#scrollArea {margin: %1px;}").arg(kMargin));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    msgLabelArea_ = new QWidget(scroll);
    msgLabelArea_->setObjectName(QStringLiteral("msgLabelArea"));
    msgLayout_ = new QVBoxLayout(msgLabelArea_);
    msgLayout_->setSpacing(6);
    msgLayout_->addStretch(1);
    scroll->setWidget(msgLabelArea_);
    body->addWidget(scroll, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(tr("Ok"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    buttons->addWidget(ok);
    body->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    resize(kMaxWidth, 320);
}

void DeleteVideoFailedPromptDialog::AddFailure(const QString& vid, const QString& error)
{
    ++count_;
    header_->setText(tr("Delete <span style='color: #FF4646'>%1</span> videos Failed").arg(count_));
    const VideoListRecord* record = videos_ ? videos_->RecordOf(vid) : nullptr;
    const QString title = record && !record->title.isEmpty() ? record->title : vid;
    auto* label = new QLabel(msgLabelArea_);
    label->setObjectName(QStringLiteral("msgLabel"));
    label->setTextFormat(Qt::RichText);
    const QFontMetrics metrics(label->font());
    const int left = msgLayout_->contentsMargins().left() + msgLayout_->contentsMargins().right();
    const int width =
        kMaxWidth - 2 * kMargin - 12 - left - metrics.horizontalAdvance(QLatin1Char(' ') + error);
    const QString elided = metrics.elidedText(title, Qt::ElideRight, qMax(width, 0));
    if (elided != title)
        label->setToolTip(title);
    label->setText(QStringLiteral("%1 <span style='color: #FF4646'>%2</span>")
                       .arg(elided.toHtmlEscaped(), error.toHtmlEscaped()));
    msgLayout_->insertWidget(msgLayout_->count() - 1, label);
}
