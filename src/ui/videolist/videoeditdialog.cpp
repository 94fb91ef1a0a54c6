#include "ui/videolist/videoeditdialog.h"

#include "ui/common/stylehelper.h"
#include "ui/common/toast.h"
#include "ui/transfer/transfercommon.h"
#include "upload/transferstats.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {
void SetErrorStatus(QWidget* widget, bool error)
{
    widget->setProperty("status", error ? QStringLiteral("error") : QString());
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}
} // namespace

VideoEditDialog::VideoEditDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VideoEditDialog"));
    setWindowTitle(tr("VideoEditDialog.Title"));
    BuildUi();
    BindStyleSheet(this, {QStringLiteral("VideoEditDialog.qss")});
}

VideoEditDialog::~VideoEditDialog() = default;

void VideoEditDialog::BuildUi()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    titleWidget_ = new QWidget(this);
    titleWidget_->setObjectName(QStringLiteral("titleWidget"));
    auto* titleRow = new QHBoxLayout(titleWidget_);
    titleRow->setContentsMargins(20, 0, 20, 0);
    basicInfoButton_ = new QPushButton(tr("VideoEditDialog.BasicInfo"), titleWidget_);
    basicInfoButton_->setObjectName(QStringLiteral("basicInfoButton"));
    coverInfoButton_ = new QPushButton(tr("VideoEditDialog.CoverInfo"), titleWidget_);
    coverInfoButton_->setObjectName(QStringLiteral("coverInfoButton"));
    auto* pages = new QButtonGroup(this);
    for (QPushButton* button : {basicInfoButton_, coverInfoButton_}) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        pages->addButton(button);
        titleRow->addWidget(button);
    }
    basicInfoButton_->setChecked(true);
    titleRow->addStretch();
    root->addWidget(titleWidget_);

    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName(QStringLiteral("stackedWidget"));
    auto* basicPage = new QWidget(stackedWidget_);
    basicPage->setObjectName(QStringLiteral("basicPage"));
    auto* coverPage = new QWidget(stackedWidget_);
    coverPage->setObjectName(QStringLiteral("coverPage"));
    stackedWidget_->addWidget(basicPage);
    stackedWidget_->addWidget(coverPage);
    root->addWidget(stackedWidget_, 1);
    connect(basicInfoButton_, &QPushButton::clicked, this, [this] { stackedWidget_->setCurrentIndex(0); });
    connect(coverInfoButton_, &QPushButton::clicked, this, [this] { stackedWidget_->setCurrentIndex(1); });

    auto* grid = new QGridLayout(basicPage);
    grid->setContentsMargins(24, 20, 24, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    int row = 0;
    auto caption = [basicPage](const QString& text) {
        auto* label = new QLabel(text, basicPage);
        label->setProperty("caption", true);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        return label;
    };
    auto counter = [basicPage](const char* name) {
        auto* label = new QLabel(basicPage);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };

    titleLineEdit_ = new QLineEdit(basicPage);
    titleLineEdit_->setObjectName(QStringLiteral("titleLineEdit"));
    titleLineEdit_->setMaxLength(kMaxTitleLength);
    titleLineEdit_->setPlaceholderText(tr("VideoEditDialog.VideoTiltePlaceholder"));
    titleCountLabel_ = counter("titleCountLabel");
    grid->addWidget(caption(tr("VideoEditDialog.Title:")), row, 0);
    grid->addWidget(titleLineEdit_, row, 1);
    grid->addWidget(titleCountLabel_, row++, 2);

    descPlainTextEdit_ = new QPlainTextEdit(basicPage);
    descPlainTextEdit_->setObjectName(QStringLiteral("descPlainTextEdit"));
    descPlainTextEdit_->setPlaceholderText(tr("VideoEditDialog.VideoDescPlaceholder"));
    descPlainTextEdit_->setTabChangesFocus(true);
    descCountLabel_ = counter("descCountLabel");
    descCountLabel_->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    grid->addWidget(caption(tr("VideoEditDialog.Desc:")), row, 0);
    grid->addWidget(descPlainTextEdit_, row, 1);
    grid->addWidget(descCountLabel_, row++, 2);

    tagsLineEdit_ = new QLineEdit(basicPage);
    tagsLineEdit_->setObjectName(QStringLiteral("tagsLineEdit"));
    tagsLineEdit_->setMaxLength(kMaxTagsLength);
    tagsLineEdit_->setPlaceholderText(tr("VideoEditDialog.VideoTagsPlaceholder"));
    tagsCountLabel_ = counter("tagsCountLabel");
    grid->addWidget(caption(tr("VideoEditDialog.Tags:")), row, 0);
    grid->addWidget(tagsLineEdit_, row, 1);
    grid->addWidget(tagsCountLabel_, row++, 2);

    auto fact = [&](const QString& text, QLabel*& value, const char* name, bool libraryOnly) {
        QLabel* label = caption(text);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value = new QLabel(basicPage);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row++, 1, 1, 2);
        if (libraryOnly)
            libraryOnlyRows_ << label << value;
    };
    fact(tr("VideoEditDialog.Vid:"), vidLabel_, "vidLabel", true);
    fact(tr("VideoEditDialog.Duration:"), durationLabel_, "durationLabel", true);
    fact(tr("VideoEditDialog.FileSize:"), fileSizeLabel_, "fileSizeLabel", false);
    fact(tr("VideoEditDialog.UploadTime:"), uploadTimeLabel_, "uploadTimeLabel", true);
    fact(tr("VideoEditDialog.ModifyTime:"), modifyTimeLabel_, "modifyTimeLabel", true);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("buttonWidget"));
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(24, 8, 24, 20);
    buttonRow->addStretch();
    cancelButton_ = new QPushButton(tr("VideoEditDialog.Cancel"), buttons);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    confirmButton_ = new QPushButton(tr("VideoEditDialog.Confirm"), buttons);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    cancelButton_->setAutoDefault(false);
    confirmButton_->setAutoDefault(false);
    buttonRow->addWidget(cancelButton_);
    buttonRow->addWidget(confirmButton_);
    root->addWidget(buttons);

    connect(confirmButton_, &QPushButton::clicked, this, &VideoEditDialog::OnConfirm);
    connect(cancelButton_, &QPushButton::clicked, this, &VideoEditDialog::reject);
    connect(titleLineEdit_, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(tagsLineEdit_, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(descPlainTextEdit_, &QPlainTextEdit::textChanged, this, &VideoEditDialog::OnDescChanged);

    UpdateCounters();
    resize(560, 460);
}

void VideoEditDialog::SetUploadMode(const QString& title, const QString& tags, const QString& desc,
                                    qint64 fileSize)
{
    uploadMode_ = true;
    title_ = title;
    tags_ = tags;
    desc_ = desc;
    for (QWidget* widget : qAsConst(libraryOnlyRows_))
        widget->hide();
    coverInfoButton_->hide();
    basicInfoButton_->setChecked(true);
    stackedWidget_->setCurrentIndex(0);
    titleLineEdit_->setText(title);
    tagsLineEdit_->setText(tags);
    descPlainTextEdit_->setPlainText(desc);
    fileSizeLabel_->setText(FormatSize(fileSize, 4));
    UpdateCounters();
}

void VideoEditDialog::UpdateCounters()
{
    const QString form = QStringLiteral("%1/%2");
    titleCountLabel_->setText(form.arg(titleLineEdit_->text().size()).arg(kMaxTitleLength));
    tagsCountLabel_->setText(form.arg(tagsLineEdit_->text().size()).arg(kMaxTagsLength));
    descCountLabel_->setText(form.arg(descPlainTextEdit_->toPlainText().size()).arg(kMaxDescLength));
}

void VideoEditDialog::OnDescChanged()
{
    if (cutting_)
        return;
    const QString text = descPlainTextEdit_->toPlainText();
    if (text.size() > kMaxDescLength) {
        // A paste may overshoot the limit; keep the first part and go on typing at its end.
        cutting_ = true;
        descPlainTextEdit_->setPlainText(text.left(kMaxDescLength));
        descPlainTextEdit_->moveCursor(QTextCursor::End);
        cutting_ = false;
    }
    UpdateCounters();
}

bool VideoEditDialog::Validate()
{
    const bool titleOk = TransferUi::IsBmpText(titleLineEdit_->text());
    const bool tagsOk = TransferUi::IsBmpText(tagsLineEdit_->text());
    const bool descOk = TransferUi::IsBmpText(descPlainTextEdit_->toPlainText());
    SetErrorStatus(titleLineEdit_, !titleOk);
    SetErrorStatus(tagsLineEdit_, !tagsOk);
    SetErrorStatus(descPlainTextEdit_, !descOk);
    if (titleOk && tagsOk && descOk)
        return true;
    ShowMessage(tr("VideoEditDialog.InvalidInput"));
    return false;
}

void VideoEditDialog::ShowMessage(const QString& text)
{
    ShowToastInParent(this, text, 1, Qt::AlignTop | Qt::AlignVCenter, true);
}

void VideoEditDialog::SetButtonsEnabled(bool enabled)
{
    confirmButton_->setEnabled(enabled);
    cancelButton_->setEnabled(enabled);
}

void VideoEditDialog::OnConfirm()
{
    SetButtonsEnabled(false);
    if (titleLineEdit_->text().isEmpty()) {
        basicInfoButton_->setChecked(true);
        stackedWidget_->setCurrentIndex(0);
        ShowMessage(tr("VideoEditDialog.EmptyTitle"));
        SetButtonsEnabled(true);
        return;
    }
    if (!Validate()) {
        SetButtonsEnabled(true);
        return;
    }
    title_ = titleLineEdit_->text();
    tags_ = tagsLineEdit_->text();
    desc_ = descPlainTextEdit_->toPlainText();
    SetButtonsEnabled(true);
    accept();
}

void VideoEditDialog::accept()
{
    QDialog::accept();
}

void VideoEditDialog::reject()
{
    QDialog::reject();
}
