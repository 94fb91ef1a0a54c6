#pragma once
#include <QObject>
#include <QPointer>

namespace transfertest {
class ClientEnv;
}
class CategoryTreeModel;
class QStackedWidget;
class TransferListWidget;

// The upload dialog and the upload-mode edit dialog.
class UploadDialogTest : public QObject
{
    Q_OBJECT
public:
    explicit UploadDialogTest(transfertest::ClientEnv& env) : env_(env) {}

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void acceptsMediaAndRefusesOthers();
    void duplicatePathBlinks();
    void emojiTitleTurnsRowRed();
    void optimiseSwitchQueuesLuping();
    void twoFilesQueueSwitchAndClose();
    void editDialogLimits();
    void editButtonWritesBack();
    void withoutTreeUsesAccountCategory();
    void fileDialogStartsInExistingFolder_data();
    void fileDialogStartsInExistingFolder();

private:
    transfertest::ClientEnv& env_;
    CategoryTreeModel* categories_ = nullptr;
};

// The transfer page against real uploads.
class TransferPageTest : public QObject
{
    Q_OBJECT
public:
    explicit TransferPageTest(transfertest::ClientEnv& env) : env_(env) {}

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void emptyPage();
    void uploadsRunIntoHistory();
    void pauseResumeStartAllSuspendAll();
    void deleteAsksFirst();
    void cancelAll();
    void failedUploadRetries();
    void historyPaging();
    void cleanUpAndClearAll();

private:
    transfertest::ClientEnv& env_;
    CategoryTreeModel* categories_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    TransferListWidget* page_ = nullptr;
};
