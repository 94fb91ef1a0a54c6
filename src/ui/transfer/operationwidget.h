#pragma once
// Button cell of a transfer row. Queue mode: retry, start/pause and delete of
// an upload. History mode: open the file's folder and clean the entry up.

#include "storage/dbmanager.h"
#include "upload/sdkuploadtask.h"

#include <QPointer>
#include <QWidget>

class QPushButton;
class StatusButton;

class OperationWidget : public QWidget
{
    Q_OBJECT
public:
    // Queue mode.
    OperationWidget(const SharedUploadTaskPtr& task, QWidget* parent = nullptr);
    // History mode.
    OperationWidget(const DBManager::History& history, QWidget* parent = nullptr);

    QPushButton* retryButton() const { return retryButton_; }
    StatusButton* uploadButton() const { return uploadButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* openButton() const { return openButton_; }
    QPushButton* cleanupButton() const { return cleanupButton_; }

public slots:
    void OnStatus(int status);
    void OnResult(bool success, const QString& desc);
    void OnDeleteResult(bool result, const QString& vid);

private:
    QPushButton* MakeButton(const char* name, const QString& tip);

    QString vid_;
    QString fileName_;
    QPointer<SDKUploadTask> task_;
    QPushButton* retryButton_ = nullptr;
    StatusButton* uploadButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* cleanupButton_ = nullptr;
};
