#pragma once
#include <QWidget>

class QLabel;
class QPushButton;

// One row of the login dialog's remembered-accounts list. Deletable rows show
// a small delete button while highlighted; the non-deletable row is the
// "clear all" entry, which reports its own clicks.
class AccountItemWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 40;

    AccountItemWidget(const QString& text, bool deletable, QWidget* parent = nullptr);

    QString Text() const { return text_; }
    bool IsDeletable() const { return deletable_; }
    void SetSelected(bool selected);
    QLabel* accountLabel() const { return accountLabel_; }
    QPushButton* delBtn() const { return delBtn_; }

signals:
    void AccountDelete();
    // Left press and release both inside a non-deletable row.
    void SignalClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetHighlighted(bool highlighted);
    void Elide();

    QString text_;
    bool deletable_ = true;
    bool pressed_ = false;
    QLabel* accountLabel_ = nullptr;
    QPushButton* delBtn_ = nullptr;
};
