#include "ui/transfer/operationwidget.h"

#include "ui/common/msgbox.h"
#include "ui/common/statusbutton.h"
#include "ui/common/toast.h"
#include "ui/transfer/transfercommon.h"
#include "upload/sdkmanager.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>

namespace {
constexpr QSize kButtonSize(24, 24);
}

QPushButton* OperationWidget::MakeButton(const char* name, const QString& tip)
{
    auto* button = new QPushButton(this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setFixedSize(kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    layout()->addWidget(button);
    return button;
}

OperationWidget::OperationWidget(const SharedUploadTaskPtr& task, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("operationWidget"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);
    row->addStretch();
    if (task) {
        vid_ = task->record().vid;
        task_ = task.data();
    }
    retryButton_ = MakeButton("retryButton", tr("RetryUpload"));
    retryButton_->hide();
    uploadButton_ = new StatusButton(this, QStringLiteral("uploadButton"), tr("StartUpload"),
                                     tr("StopUpload"), kButtonSize, true);
    uploadButton_->setFocusPolicy(Qt::NoFocus);
    uploadButton_->setCursor(Qt::PointingHandCursor);
    row->addWidget(uploadButton_);
    deleteButton_ = MakeButton("deleteButton", tr("Delete"));
    row->addStretch();

    const QString vid = vid_;
    connect(retryButton_, &QPushButton::clicked, this,
            [vid] { SDKManager::instance()->StartOrPause(vid, true); });
    // `clicked` rather than `toggled`: a status change sets the check state
    // programmatically and must not call back into the queue.
    connect(uploadButton_, &QPushButton::clicked, this,
            [vid](bool checked) { SDKManager::instance()->StartOrPause(vid, checked); });
    connect(deleteButton_, &QPushButton::clicked, this, [this, vid] {
        const int answer = MsgBox::information(
            window(), tr("SystemTip"),
            tr("The file has not been uploaded successfully. Are you sure you want to cancel the upload?"),
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
        if (answer == QDialogButtonBox::Ok)
            SDKManager::instance()->DeleteTask(vid);
    });

    if (!task)
        return;
    OnStatus(task->status());
    connect(task.data(), &SDKUploadTask::SignalStatus, this, &OperationWidget::OnStatus);
    connect(task.data(), &SDKUploadTask::SignalResult, this, &OperationWidget::OnResult);
    connect(task.data(), &SDKUploadTask::SignalDeleteResult, this, &OperationWidget::OnDeleteResult);
}

OperationWidget::OperationWidget(const DBManager::History& history, QWidget* parent)
    : QWidget(parent), vid_(history.vid), fileName_(history.fileName)
{
    setObjectName(QStringLiteral("operationWidget"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);
    row->addStretch();
    openButton_ = MakeButton("openButton", tr("OpenPath"));
    cleanupButton_ = MakeButton("cleanupButton", tr("CleanUp"));
    row->addStretch();
    const QString fileName = fileName_;
    const QString vid = vid_;
    connect(openButton_, &QPushButton::clicked, this, [fileName] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(fileName).absolutePath()));
    });
    connect(cleanupButton_, &QPushButton::clicked, this,
            [vid] { DBManager::instance()->DeleteHistory(vid, true); });
}

void OperationWidget::OnStatus(int status)
{
    if (!uploadButton_)
        return;
    uploadButton_->setChecked(status == UploadStatus::Waiting || status == UploadStatus::Uploading);
    retryButton_->hide();
    uploadButton_->show();
    // A broken file can never be started again.
    uploadButton_->setEnabled(status != UploadStatus::FileError);
}

void OperationWidget::OnResult(bool success, const QString& desc)
{
    Q_UNUSED(desc);
    if (success || !uploadButton_)
        return;
    const int status = task_ ? task_->status() : UploadStatus::Failed;
    if (status == UploadStatus::FileError) {
        // A broken file can never be started again: no retry.
        uploadButton_->setChecked(false);
        uploadButton_->setEnabled(false);
        return;
    }
    uploadButton_->hide();
    retryButton_->show();
}

void OperationWidget::OnDeleteResult(bool result, const QString& vid)
{
    Q_UNUSED(vid);
    if (result)
        return;
    ShowToastInParent(window(), tr("DeleteUploadTaskError"), 1, Qt::AlignTop | Qt::AlignVCenter, true);
}
