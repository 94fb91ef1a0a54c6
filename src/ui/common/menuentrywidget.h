#pragma once
#include <QIcon>
#include <QWidget>

class QLabel;
class QMenu;
class QWidgetAction;

// One entry of the program's drop-down menus: an icon and a text in a row
// that the style sheet highlights on hover. Used through AddMenuEntry, which
// wraps it in a widget action that triggers on click.
class MenuEntryWidget : public QWidget
{
    Q_OBJECT
public:
    MenuEntryWidget(const QString& objectName, const QIcon& icon, const QString& text,
                    QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

signals:
    void SignalClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QLabel* iconLabel_ = nullptr;
    QLabel* textLabel_ = nullptr;
    QIcon icon_;
    bool pressed_ = false;
};

// Appends an entry to `menu`; the action and the widget both carry `objectName`.
// Clicking the entry closes the menu and triggers the action.
QWidgetAction* AddMenuEntry(QMenu* menu, const QString& objectName, const QIcon& icon, const QString& text);
