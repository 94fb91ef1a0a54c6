#pragma once
#include <QObject>
#include <QVariant>

namespace transfertest {
class ClientEnv;
}
class CategoryTreeModel;
class QStackedWidget;
class TransferListWidget;

// The transfer page against real uploads, the upload dialog and the
// upload-mode edit dialog.
class TransferTest : public QObject
{
    Q_OBJECT
public:
    explicit TransferTest(transfertest::ClientEnv& env) : env_(env) {}

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    // tst_uploaddialog.cpp
    void acceptsMediaAndRefusesOthers();
    void duplicatePathBlinks();
    void twoFilesQueueSwitchAndClose();
    void editDialogLimits();
    void editButtonWritesBack();
    void withoutTreeUsesAccountCategory();
    void fileDialogStartsInExistingFolder_data();
    void fileDialogStartsInExistingFolder();

    // tst_transferpage.cpp
    void uploadsRunIntoHistory();
    void pauseResumeStartAllSuspendAll();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void failedUploadFreesSlotAndRetries();
    void historyPaging();
    void cleanUpAndClearAll();

private:
    // Queues new files of `size` bytes in the top category; returns their vids.
    QStringList Queue(const QString& name, int count, qint64 size);
    // A role of the row of `vid` in the page's queue model (by default in the status column).
    QVariant Role(const QString& vid, int role, int column = 3) const;

    transfertest::ClientEnv& env_;
    CategoryTreeModel* categories_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    TransferListWidget* page_ = nullptr;
};
