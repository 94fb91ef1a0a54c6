#pragma once
// Names and creates a sub-category; stays locked while the request runs.

#include <QDialog>

class CategoryTreeModel;
class QLabel;
class QLineEdit;
class QPushButton;

class AddCategoryDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 40;

    AddCategoryDialog(CategoryTreeModel* categories, qulonglong parentCateId, QWidget* parent = nullptr);

    bool busy() const { return busy_; }
    QLineEdit* inputEditor() const { return inputEditor_; }
    QLabel* countLabel() const { return countLabel_; }

public slots:
    void SlotConfirm();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetBusy(bool busy);

    CategoryTreeModel* categories_;
    qulonglong parentCateId_;
    bool busy_ = false;
    QLineEdit* inputEditor_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QPushButton* okButton_ = nullptr;
};
