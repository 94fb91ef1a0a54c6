#pragma once
#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>

class QWidget;

// Makes a widget a drop target for files: dropped URLs go to the callable.
class DropToUploadEventFilter : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void(const QList<QUrl>&)>;

    DropToUploadEventFilter(QWidget* target, Callback callback);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Callback callback_;
};
