#pragma once
// The queue side of the transfer page: one painted row per queued upload.
// The row buttons drive the upload manager it is given.

#include "ui/transfer/recordtablebase.h"

class SDKManager;
class UploadQueueModel;

class RecordTableWidget : public RecordTableBase
{
    Q_OBJECT
public:
    RecordTableWidget(UploadQueueModel* model, SDKManager* uploads, QWidget* parent = nullptr);

    UploadQueueModel* queueModel() const { return model_; }

public slots:
    // What a click on a row's button does (also reachable without a mouse).
    void OnButtonClicked(const QModelIndex& index, TransferDelegate::Button button);

private:
    UploadQueueModel* model_;
    SDKManager* uploads_;
};
