#pragma once
#include <QPointer>
#include <QWidget>

class QLabel;
class QPropertyAnimation;
class QTimer;

// A transient message shown over a window. It never takes the focus, waits,
// fades out and deletes itself.
class Toast : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWaitMs = 2000;
    static constexpr int kFadeMs = 500;

    explicit Toast(QWidget* parent);

    void SetText(const QString& text);
    // 1 = warning; anything else is the neutral look.
    void SetType(int type);
    void SetAlignment(int alignment);
    void SetAutoHide(bool autoHide);

    // Where the toast goes for a parent rectangle in global coordinates.
    static QPoint PlaceInRect(const QRect& parentRect, const QSize& toastSize, int alignment);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Place();

    QWidget* container_ = nullptr;
    QLabel* icon_ = nullptr;
    QLabel* msg_ = nullptr;
    QPropertyAnimation* fade_ = nullptr;
    QTimer* waitTimer_ = nullptr;
    int alignment_ = Qt::AlignTop | Qt::AlignHCenter;
    bool autoHide_ = true;
    QPointer<QWidget> anchor_;
};

// Shows `text` over `parent`. Returns the toast, or null when the parent is not
// visible (then nothing is shown).
Toast* ShowToastInParent(QWidget* parent, const QString& text, int type = 1,
                         int alignment = Qt::AlignTop | Qt::AlignVCenter, bool autoHide = true);
