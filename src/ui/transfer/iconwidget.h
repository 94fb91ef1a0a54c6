#pragma once
// First cell of a transfer row: a file icon and the title, elided to fit.

#include <QLabel>
#include <QVariant>
#include <QWidget>

class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    QString fullText() const { return property("originalText").toString(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
};

class IconWidget : public QWidget
{
    Q_OBJECT
public:
    IconWidget(const QString& name, QWidget* parent = nullptr);
    QLabel* iconLabel() const { return iconLabel_; }
    ElidedLabel* nameLabel() const { return nameLabel_; }

private:
    QLabel* iconLabel_;
    ElidedLabel* nameLabel_;
};
