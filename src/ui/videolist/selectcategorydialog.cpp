#include "ui/videolist/selectcategorydialog.h"

#include "model/categorytreemodel.h"
#include "model/recursivefilterproxymodel.h"
#include "model/videotablemodel.h"
#include "ui/common/toast.h"
#include "ui/videolist/dialogframe.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

SelectCategoryDialog::SelectCategoryDialog(Mode mode, CategoryTreeModel* categories, VideoTableModel* videos,
                                           QWidget* parent)
    : QDialog(parent), mode_(mode), categories_(categories), videos_(videos)
{
    setObjectName(QStringLiteral("SelectCategoryDialog"));
    QVBoxLayout* body =
        BuildDialogFrame(this,
                         mode == MoveCategoryMode ? tr("SelectCategoryDialog.TitleMoveCategory")
                                                  : tr("SelectCategoryDialog.TitleMoveVideo"),
                         {QStringLiteral("SelectCategoryDialog.qss")});
    setMinimumSize(560, 456);
    auto* searchRow = new QHBoxLayout;
    searchEditor_ = new QLineEdit(this);
    searchEditor_->setObjectName(QStringLiteral("searchEditor"));
    searchEditor_->setFixedHeight(40);
    searchEditor_->setPlaceholderText(tr("SelectCategoryDialog.SearchEditorPlaceholder"));
    auto* searchButton = new QPushButton(this);
    searchButton->setObjectName(QStringLiteral("searchCateButton"));
    searchButton->setIcon(QIcon(QStringLiteral(":/image/videoList/icon_search.svg")));
    searchButton->setFixedSize(40, 40);
    searchRow->addWidget(searchEditor_, 1);
    searchRow->addWidget(searchButton);
    body->addLayout(searchRow);

    proxy_ = new RecursiveFilterProxyModel(this);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setSourceModel(categories_);
    moveCateTree_ = new QTreeView(this);
    moveCateTree_->setObjectName(QStringLiteral("moveCateTree"));
    moveCateTree_->header()->hide();
    moveCateTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    moveCateTree_->setSelectionMode(QAbstractItemView::SingleSelection);
    moveCateTree_->setModel(proxy_);
    moveCateTree_->expandToDepth(0);
    body->addWidget(moveCateTree_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    okButton_ = new QPushButton(tr("Ok"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {okButton_, cancel}) {
        b->setFixedHeight(32);
        buttons->addWidget(b);
    }
    body->addLayout(buttons);

    connect(searchEditor_, &QLineEdit::textChanged, this, &SelectCategoryDialog::SlotUpdateCateFilter);
    connect(searchButton, &QPushButton::clicked, this, &SelectCategoryDialog::SlotUpdateCateFilter);
    connect(okButton_, &QPushButton::clicked, this, &SelectCategoryDialog::SlotConfirm);
    connect(cancel, &QPushButton::clicked, this, &SelectCategoryDialog::reject);
    if (mode_ == MoveCategoryMode) {
        connect(categories_, &CategoryTreeModel::SignalMoveCategorySucceed, this,
                [this] { Finished(true, QString(), QString()); });
        connect(categories_, &CategoryTreeModel::SignalMoveCategoryFailed, this,
                [this](const QString& error) {
                    Finished(false, tr("SelectCategoryDialog.MoveCategoryFailed:"), error);
                });
        connect(categories_, &CategoryTreeModel::SignalTaskRunningSlowly, this,
                [this](CategoryTreeModel::TaskType, bool isFinish) { SlotTaskRunningSlowly(isFinish); });
    } else if (videos_) {
        connect(videos_, &VideoTableModel::SignalMoveVideoSucceed, this,
                [this] { Finished(true, QString(), QString()); });
        connect(videos_, &VideoTableModel::SignalMoveVideoFailed, this, [this](const QString& error) {
            Finished(false, tr("SelectCategoryDialog.MoveVideoFailed:"), error);
        });
        connect(videos_, &VideoTableModel::SignalTaskRunningSlowly, this,
                [this](VideoTableModel::TaskType, bool isFinish) { SlotTaskRunningSlowly(isFinish); });
    }
}

bool SelectCategoryDialog::SelectCateId(qulonglong cateId)
{
    const QModelIndex index = proxy_->mapFromSource(categories_->IndexOfCateId(cateId));
    if (!index.isValid())
        return false;
    moveCateTree_->setCurrentIndex(index);
    moveCateTree_->scrollTo(index);
    return true;
}

void SelectCategoryDialog::SlotUpdateCateFilter()
{
    // The same filtering as the library page's category search.
    const QString text = searchEditor_->text();
    proxy_->setFilterFixedString(text);
    if (text.isEmpty()) {
        moveCateTree_->collapseAll();
        moveCateTree_->expandToDepth(0);
    } else {
        moveCateTree_->clearSelection();
        moveCateTree_->expandAll();
    }
}

void SelectCategoryDialog::SlotConfirm()
{
    if (busy_)
        return;
    const QModelIndexList selected = moveCateTree_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        ShowToastInParent(this, tr("SelectCategoryDialog.NoSelected"));
        qWarning() << "SelectCategory: no Selected Category";
        return;
    }
    const qulonglong dst = selected.first().data(CategoryRole::CateId).toULongLong();
    const QString dstName = categories_->CateNameOf(dst);
    if (mode_ == MoveCategoryMode) {
        const QString srcName = categories_->CateNameOf(srcCateId_);
        if (dst == categories_->ParentCateIdOf(srcCateId_)) {
            ShowToastInParent(this, tr("SelectCategoryDialog.MoveCategoryToSrcCategory"));
            qInfo().noquote() << "MoveCategory:" << srcName << srcCateId_ << "to src category:" << dstName
                              << dst;
            return;
        }
        if (dst == srcCateId_) {
            ShowToastInParent(this, tr("SelectCategoryDialog.MoveCategoryToSelfCategory"));
            moveCateTree_->clearSelection();
            qInfo().noquote() << "MoveCategory:" << srcName << srcCateId_ << "to self category:" << dstName
                              << dst;
            return;
        }
        qInfo().noquote() << "MoveCategory:" << srcName
                          << QStringLiteral("(%1 -> %2)").arg(srcCateId_).arg(dst);
        SetBusy(true);
        if (categories_->MoveCategory(srcCateId_, dst).isNull())
            Finished(false, tr("SelectCategoryDialog.MoveCategoryFailed:"), tr("IsOperatingCategory"));
    } else {
        qInfo().noquote() << "MoveVideo:"
                          << "dst category:" << dstName << "videos:" << vids_.join(QLatin1Char(','));
        SetBusy(true);
        if (!videos_ || videos_->MoveVideo(vids_, dst).isNull())
            Finished(false, tr("SelectCategoryDialog.MoveVideoFailed:"), QString());
    }
}

void SelectCategoryDialog::Finished(bool success, const QString& errorKey, const QString& error)
{
    if (!busy_)
        return;
    SetBusy(false);
    SlotTaskRunningSlowly(true);
    if (success)
        accept();
    else
        ShowToastInParent(this, errorKey + error);
}

void SelectCategoryDialog::SlotTaskRunningSlowly(bool isFinish)
{
    if (isFinish) {
        if (slowToast_)
            slowToast_->hide();
        return;
    }
    if (!slowToast_)
        slowToast_ = ShowToastInParent(this, tr("TaskRunningSlowly"), 0, Qt::AlignCenter, false);
    else
        slowToast_->show();
}

void SelectCategoryDialog::SetBusy(bool busy)
{
    busy_ = busy;
    moveCateTree_->setEnabled(!busy);
    okButton_->setEnabled(!busy);
}

void SelectCategoryDialog::RefuseClose()
{
    ShowToastInParent(this, mode_ == MoveCategoryMode ? tr("SelectCategoryDialog.IsMovingCategory")
                                                      : tr("SelectCategoryDialog.IsMovingVideo"));
}

void SelectCategoryDialog::reject()
{
    if (busy_)
        return RefuseClose();
    QDialog::reject();
}

void SelectCategoryDialog::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        return RefuseClose();
    }
    QDialog::closeEvent(event);
}
