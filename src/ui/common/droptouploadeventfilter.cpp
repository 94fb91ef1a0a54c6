#include "ui/common/droptouploadeventfilter.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

DropToUploadEventFilter::DropToUploadEventFilter(QWidget* target, Callback callback)
    : QObject(target), callback_(std::move(callback))
{
    if (target) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

bool DropToUploadEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::DragEnter) {
        auto* e = static_cast<QDragEnterEvent*>(event);
        if (e->mimeData() && e->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
            e->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto* e = static_cast<QDropEvent*>(event);
        const QMimeData* data = e->mimeData();
        if (data && data->hasUrls() && !data->urls().isEmpty()) {
            e->acceptProposedAction();
            if (callback_)
                callback_(data->urls());
        } else {
            qWarning() << "acceptProposedAction of DragEnterEvent, but mimeData hasUrls() is false"
                       << "or urls() or urls() is empty, other info:" << e
                       << (data ? data->text() : QString());
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}
