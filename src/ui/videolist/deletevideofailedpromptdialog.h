#pragma once
// Lists the videos that a delete request could not remove, one label each
// with the reason, under a header that counts them.

#include <QDialog>

class QLabel;
class QVBoxLayout;
class VideoTableModel;

class DeleteVideoFailedPromptDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMargin = 12;
    static constexpr int kMaxWidth = 560;

    // Titles come from `videos` (the vid stands in for an unknown one).
    explicit DeleteVideoFailedPromptDialog(const VideoTableModel* videos, QWidget* parent = nullptr);

    void AddFailure(const QString& vid, const QString& error);
    int count() const { return count_; }
    QLabel* headerLabel() const { return header_; }

private:
    const VideoTableModel* videos_;
    int count_ = 0;
    QLabel* header_ = nullptr;
    QWidget* msgLabelArea_ = nullptr;
    QVBoxLayout* msgLayout_ = nullptr;
};
