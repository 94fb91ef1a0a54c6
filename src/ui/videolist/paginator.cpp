#include "ui/videolist/paginator.h"

#include "ui/common/stylehelper.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
const char* const kButtonNames[Paginator::kButtons] = {"firstBtn", "secondBtn", "thirdBtn", "fourthBtn",
                                                       "fifthBtn"};
const int kPageSizes[] = {20, 50, 100};
} // namespace

Paginator::Paginator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("paginator"));
    setAttribute(Qt::WA_StyledBackground);
    BindStyleSheet(this, {QStringLiteral("Paginator.qss")});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto makeButton = [this](const char* name, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    previousBtn_ = makeButton("previousBtn", QStringLiteral("<"));
    layout->addWidget(previousBtn_);
    for (int i = 0; i < kButtons; ++i) {
        pageButtons_[i] = makeButton(kButtonNames[i], QString());
        pageButtons_[i]->setCheckable(true);
        layout->addWidget(pageButtons_[i]);
        connect(pageButtons_[i], &QPushButton::clicked, this,
                [this, i] { RequestPage(pageButtons_[i]->text().toULongLong(), pageSize_); });
    }
    nextBtn_ = makeButton("nextBtn", QStringLiteral(">"));
    layout->addWidget(nextBtn_);
    layout->addSpacing(12);
    jumpToStr_ = new QLabel(this);
    jumpToStr_->setObjectName(QStringLiteral("jumpToStr"));
    pageComboBox_ = new QComboBox(this);
    pageComboBox_->setObjectName(QStringLiteral("pageComboBox"));
    pageStr_ = new QLabel(this);
    pageStr_->setObjectName(QStringLiteral("PageStr"));
    totalPage_ = new QLabel(this);
    totalPage_->setObjectName(QStringLiteral("totalPage"));
    pageSizeComboBox_ = new QComboBox(this);
    pageSizeComboBox_->setObjectName(QStringLiteral("pageSizeComboBox"));
    for (int size : kPageSizes)
        pageSizeComboBox_->addItem(QString(), size);
    layout->addWidget(jumpToStr_);
    layout->addWidget(pageComboBox_);
    layout->addWidget(pageStr_);
    layout->addWidget(totalPage_);
    layout->addWidget(pageSizeComboBox_);

    connect(previousBtn_, &QPushButton::clicked, this, [this] {
        if (current_ > 1)
            RequestPage(current_ - 1, pageSize_);
    });
    connect(nextBtn_, &QPushButton::clicked, this, [this] { RequestPage(current_ + 1, pageSize_); });
    connect(pageComboBox_, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { RequestPage(pageComboBox_->itemText(index).toULongLong(), pageSize_); });
    connect(pageSizeComboBox_, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        const qulonglong size = pageSizeComboBox_->itemData(index).toULongLong();
        if (size == pageSize_ && current_ == 1) {
            Update();
            return;
        }
        Update();
        emit SignalPageChanged(1, size);
    });
    Retranslate();
    hide();
}

qulonglong Paginator::WindowStart(qulonglong current, qulonglong total)
{
    if (total <= kButtons)
        return 1;
    qulonglong middle = qMin(current, total - 2);
    if (middle < 3)
        middle = 3;
    return middle - 2;
}

void Paginator::SetPages(qulonglong current, qulonglong total, qulonglong pageSize)
{
    if (current == 0 || total == 0 || pageSize == 0)
        return;
    current_ = current;
    total_ = total;
    pageSize_ = pageSize;
    show();
    Update();
}

void Paginator::Update()
{
    const QSignalBlocker blockPages(pageComboBox_);
    const QSignalBlocker blockSizes(pageSizeComboBox_);
    previousBtn_->setEnabled(current_ > 1);
    nextBtn_->setEnabled(current_ < total_);
    const qulonglong start = WindowStart(current_, total_);
    for (int i = 0; i < kButtons; ++i) {
        const qulonglong page = start + qulonglong(i);
        const QSignalBlocker block(pageButtons_[i]);
        pageButtons_[i]->setText(QString::number(page));
        pageButtons_[i]->setVisible(page <= total_);
        pageButtons_[i]->setChecked(page == current_);
    }
    if (qulonglong(pageComboBox_->count()) != total_) {
        pageComboBox_->clear();
        QStringList pages;
        pages.reserve(int(qMin<qulonglong>(total_, 100000)));
        for (qulonglong page = 1; page <= total_ && page <= 100000; ++page)
            pages.append(QString::number(page));
        pageComboBox_->addItems(pages);
        totalPage_->setText(tr("total %1 pages").arg(total_));
    }
    pageComboBox_->setCurrentIndex(int(current_) - 1);
    const int sizeIndex = pageSizeComboBox_->findData(int(pageSize_));
    if (sizeIndex >= 0)
        pageSizeComboBox_->setCurrentIndex(sizeIndex);
}

void Paginator::RequestPage(qulonglong page, qulonglong pageSize)
{
    // Shows the stored page again; the new one appears once it has loaded.
    Update();
    if (page == 0 || page == current_)
        return;
    emit SignalPageChanged(page, pageSize);
}

void Paginator::Retranslate()
{
    jumpToStr_->setText(tr("Paginator.JumpTo"));
    pageStr_->setText(tr("Paginator.Pages"));
    totalPage_->setText(tr("total %1 pages").arg(total_));
    for (int i = 0; i < pageSizeComboBox_->count(); ++i)
        pageSizeComboBox_->setItemText(i, tr("%1/Page").arg(pageSizeComboBox_->itemData(i).toInt()));
}

void Paginator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}
