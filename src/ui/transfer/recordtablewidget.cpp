#include "ui/transfer/recordtablewidget.h"

#include "model/uploadqueuemodel.h"
#include "ui/common/msgbox.h"
#include "ui/common/toast.h"
#include "upload/sdkmanager.h"

#include <QCoreApplication>
#include <QDialogButtonBox>

RecordTableWidget::RecordTableWidget(UploadQueueModel* model, SDKManager* uploads, QWidget* parent)
    : RecordTableBase(TransferDelegate::Mode::Queue, parent), model_(model), uploads_(uploads)
{
    setObjectName(QStringLiteral("uploadRecord"));
    setModel(model);
    SetupColumns({140, 140, 200, 80});
    connect(this, &RecordTableBase::SignalButtonClicked, this, &RecordTableWidget::OnButtonClicked);
    // A finished or deleted upload leaves; keep the rows around it in sight.
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int) {
        if (first > 0)
            scrollTo(model_->index(first - 1, 0));
    });
    connect(uploads, &SDKManager::SignalDeleteUploadFailed, this, [this] {
        ShowToastInParent(window(), QCoreApplication::translate("OperationWidget", "DeleteUploadTaskError"),
                          1, Qt::AlignTop | Qt::AlignVCenter, true);
    });
}

void RecordTableWidget::OnButtonClicked(const QModelIndex& index, TransferDelegate::Button button)
{
    const QString vid = index.data(TransferRole::Vid).toString();
    const auto status = static_cast<UploadStatus>(index.data(TransferRole::Status).toInt());
    switch (button) {
    case TransferDelegate::Button::Retry:
        uploads_->StartOrPause(vid, true);
        break;
    case TransferDelegate::Button::Upload:
        if (status != UploadStatus::FileError)
            uploads_->StartOrPause(vid, status != UploadStatus::Waiting && status != UploadStatus::Uploading);
        break;
    case TransferDelegate::Button::Delete: {
        const int answer = MsgBox::information(
            window(), QCoreApplication::translate("OperationWidget", "SystemTip"),
            QCoreApplication::translate(
                "OperationWidget",
                "The file has not been uploaded successfully. Are you sure you want to cancel the upload?"),
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel, QDialogButtonBox::NoButton);
        if (answer == QDialogButtonBox::Ok)
            uploads_->DeleteTask(vid);
        break;
    }
    default:
        break;
    }
}
