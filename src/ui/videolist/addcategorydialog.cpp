#include "ui/videolist/addcategorydialog.h"

#include "model/bmptextvalidator.h"
#include "model/categorytreemodel.h"
#include "ui/common/toast.h"
#include "ui/videolist/dialogframe.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

AddCategoryDialog::AddCategoryDialog(CategoryTreeModel* categories, qulonglong parentCateId, QWidget* parent)
    : QDialog(parent), categories_(categories), parentCateId_(parentCateId)
{
    setObjectName(QStringLiteral("AddCategoryDialog"));
    QVBoxLayout* body =
        BuildDialogFrame(this, tr("AddCategoryDialog.Title"), {QStringLiteral("CategoryDialog.qss")});
    setMinimumSize(560, 240);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(tr("AddCategoryDialog.CateName:"), this);
    label->setObjectName(QStringLiteral("cateNameLabel"));
    inputEditor_ = new QLineEdit(this);
    inputEditor_->setObjectName(QStringLiteral("inputEditor"));
    inputEditor_->setFixedHeight(40);
    inputEditor_->setMaxLength(kMaxNameLength);
    inputEditor_->setPlaceholderText(tr("AddCategoryDialog.InputEditorPlaceholder"));
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("countLabel"));
    row->addWidget(label);
    row->addWidget(inputEditor_, 1);
    row->addWidget(countLabel_);
    body->addStretch(1);
    body->addLayout(row);
    body->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    okButton_ = new QPushButton(tr("Ok"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(okButton_);
    buttons->addWidget(cancel);
    body->addLayout(buttons);

    const auto count = [this] {
        countLabel_->setText(QStringLiteral("%1/%2").arg(inputEditor_->text().size()).arg(kMaxNameLength));
    };
    count();
    connect(inputEditor_, &QLineEdit::textChanged, this, count);
    connect(okButton_, &QPushButton::clicked, this, &AddCategoryDialog::SlotConfirm);
    connect(cancel, &QPushButton::clicked, this, &AddCategoryDialog::reject);
    connect(categories_, &CategoryTreeModel::SignalAddCategorySucceed, this, [this] {
        if (busy_) {
            SetBusy(false);
            accept();
        }
    });
    connect(categories_, &CategoryTreeModel::SignalAddCategoryFailed, this, [this](const QString& error) {
        if (!busy_)
            return;
        SetBusy(false);
        ShowToastInParent(this, tr("AddCategoryDialog.AddCategoryFailed:") + error);
    });
}

void AddCategoryDialog::SlotConfirm()
{
    if (busy_)
        return;
    const QString name = inputEditor_->text();
    if (name.isEmpty()) {
        ShowToastInParent(this, tr("AddCategoryDialog.EmptyCateName"));
        qWarning() << "AddCategory: empty category name";
    } else if (!BmpTextValidator::IsValid(name)) {
        ShowToastInParent(this, tr("AddCategoryDialog.CateNameMySQLIncompatible"));
        qWarning() << "AddCategory: category name is MySQL incompatible";
    } else if (categories_->IsCateNameAlreadyInCateId(parentCateId_, name)) {
        ShowToastInParent(this, tr("AddCategoryDialog.CateNameDuplicated"));
        qWarning().noquote() << "AddCategory: category name exists:" << name;
    } else {
        qInfo().noquote() << "AddCategory:" << name << "in" << categories_->CateNameOf(parentCateId_)
                          << "parentCateId:" << parentCateId_;
        SetBusy(true);
        if (categories_->AddCategory(parentCateId_, name).isNull()) {
            SetBusy(false);
            ShowToastInParent(this, tr("AddCategoryDialog.AddCategoryFailed:") + tr("IsOperatingCategory"));
        }
    }
}

void AddCategoryDialog::SetBusy(bool busy)
{
    busy_ = busy;
    inputEditor_->setEnabled(!busy);
    okButton_->setEnabled(!busy);
}

void AddCategoryDialog::reject()
{
    if (busy_) {
        ShowToastInParent(this, tr("AddCategoryDialog.IsAddingCategory"));
        return;
    }
    QDialog::reject();
}

void AddCategoryDialog::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        ShowToastInParent(this, tr("AddCategoryDialog.IsAddingCategory"));
        return;
    }
    QDialog::closeEvent(event);
}
