#pragma once
// Page navigation under the video table: previous/next, a window of five
// page buttons, a jump-to box and the page size. It shows a page as current
// only once the owner calls SetPages after that page has loaded.

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

class Paginator : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kButtons = 5;

    explicit Paginator(QWidget* parent = nullptr);

    // Ignored when any value is 0.
    void SetPages(qulonglong current, qulonglong total, qulonglong pageSize);

    qulonglong current() const { return current_; }
    qulonglong total() const { return total_; }
    qulonglong pageSize() const { return pageSize_; }
    // The first page of the five-button window for a current and a total page.
    static qulonglong WindowStart(qulonglong current, qulonglong total);
    QPushButton* pageButton(int i) const { return pageButtons_[i]; }
    QPushButton* previousButton() const { return previousBtn_; }
    QPushButton* nextButton() const { return nextBtn_; }
    QComboBox* pageComboBox() const { return pageComboBox_; }
    QComboBox* pageSizeComboBox() const { return pageSizeComboBox_; }

signals:
    void SignalPageChanged(qulonglong current, qulonglong pageSize);

protected:
    void changeEvent(QEvent* event) override;

private:
    void Update();
    void RequestPage(qulonglong page, qulonglong pageSize);
    void Retranslate();

    qulonglong current_ = 0;
    qulonglong total_ = 0;
    qulonglong pageSize_ = 0;
    QPushButton* pageButtons_[kButtons] = {};
    QPushButton* previousBtn_ = nullptr;
    QPushButton* nextBtn_ = nullptr;
    QComboBox* pageComboBox_ = nullptr;
    QComboBox* pageSizeComboBox_ = nullptr;
    QLabel* jumpToStr_ = nullptr;
    QLabel* pageStr_ = nullptr;
    QLabel* totalPage_ = nullptr;
};
