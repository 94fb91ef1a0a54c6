#pragma once
#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QSizeGrip;

// Title row of the frameless windows: title text, minimise / maximise / close
// buttons, double click to maximise, dragging through the platform's system
// move and a size grip in the window's bottom-right corner.
class TitleBar : public QWidget
{
    Q_OBJECT
public:
    explicit TitleBar(QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    void SetMovable(bool movable) { movable_ = movable; }
    bool IsMovable() const { return movable_; }
    // A grip that resizes the window from its bottom-right corner.
    void SetSizeGripEnabled(bool enabled);
    // Lets a frameless window without a title bar be dragged by `area`, the
    // same way a title bar drags its window.
    static void DragWindowBy(QWidget* area);

    QLabel* titleLabel() const { return titleLabel_; }
    QPushButton* minimumBtn() const { return minimumBtn_; }
    QPushButton* maximumBtn() const { return maximumBtn_; }
    QPushButton* closeBtn() const { return closeBtn_; }
    QWidget* controlWidget() const { return controlWidget_; }
    QWidget* titleWidget() const { return titleWidget_; }
    // The row of the title area, for windows that put their own widgets into
    // the bar; its free space still drags the window.
    QHBoxLayout* titleLayout() const { return titleLayout_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnMaximumToggled(bool checked);
    void SyncMaximumButton();
    void PlaceSizeGrip();
    void Retranslate();

    QWidget* titleWidget_ = nullptr;
    QHBoxLayout* titleLayout_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QWidget* controlWidget_ = nullptr;
    QPushButton* minimumBtn_ = nullptr;
    QPushButton* maximumBtn_ = nullptr;
    QPushButton* closeBtn_ = nullptr;
    QWidget* bottomLine_ = nullptr;
    QPointer<QSizeGrip> sizeGrip_;
    QPointer<QWidget> watchedWindow_;
    bool movable_ = true;
};
