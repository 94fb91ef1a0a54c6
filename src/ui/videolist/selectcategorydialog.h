#pragma once
// Picks the destination category of a move: of one category (mode 0) or of
// a set of videos (mode 1). Locked while the move runs.

#include "ui/common/toast.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class CategoryTreeModel;
class QLineEdit;
class QPushButton;
class QTreeView;
class RecursiveFilterProxyModel;
class VideoTableModel;

class SelectCategoryDialog : public QDialog
{
    Q_OBJECT
public:
    enum Mode
    {
        MoveCategoryMode = 0,
        MoveVideoMode = 1,
    };

    SelectCategoryDialog(Mode mode, CategoryTreeModel* categories, VideoTableModel* videos,
                         QWidget* parent = nullptr);

    void SetSourceCategory(qulonglong cateId) { srcCateId_ = cateId; }
    void SetVids(const QStringList& vids) { vids_ = vids; }
    // Selects a destination in the tree; false when it is not shown.
    bool SelectCateId(qulonglong cateId);
    bool busy() const { return busy_; }
    QLineEdit* searchEditor() const { return searchEditor_; }
    QTreeView* moveCateTree() const { return moveCateTree_; }
    Toast* slowToast() const { return slowToast_; }

public slots:
    void SlotUpdateCateFilter();
    void SlotConfirm();
    void SlotTaskRunningSlowly(bool isFinish);
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetBusy(bool busy);
    void Finished(bool success, const QString& errorKey, const QString& error);
    void RefuseClose();

    Mode mode_;
    CategoryTreeModel* categories_;
    VideoTableModel* videos_;
    qulonglong srcCateId_ = 0;
    QStringList vids_;
    bool busy_ = false;
    QLineEdit* searchEditor_ = nullptr;
    QTreeView* moveCateTree_ = nullptr;
    RecursiveFilterProxyModel* proxy_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPointer<Toast> slowToast_;
};
