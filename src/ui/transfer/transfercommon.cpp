#include "ui/transfer/transfercommon.h"

#include "model/bmptextvalidator.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QMetaMethod>
#include <QWidget>

namespace TransferUi {

namespace {
constexpr int kCateIdRole = 256;
}

QString StyleSheet(const QString& fileName)
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/themes/") + fileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "load qss file failed" << path << file.error();
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

void ApplyStyleSheet(QWidget* widget, const QString& fileName)
{
    widget->setStyleSheet(StyleSheet(fileName));
    // The application object announces a reload of every window's style; a
    // plain QApplication (tests) has no such signal, so look it up by name.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    const int signalIndex = app->metaObject()->indexOfSignal("SignalReloadQss()");
    if (signalIndex < 0)
        return;
    auto* reloader = new StyleReloader(widget, fileName);
    QObject::connect(app, app->metaObject()->method(signalIndex), reloader,
                     reloader->metaObject()->method(reloader->metaObject()->indexOfSlot("Reload()")));
}

StyleReloader::StyleReloader(QWidget* widget, const QString& fileName)
    : QObject(widget), widget_(widget), fileName_(fileName)
{
}

void StyleReloader::Reload()
{
    widget_->setStyleSheet(StyleSheet(fileName_));
}

bool IsBmpText(const QString& text)
{
    return BmpTextValidator::IsValid(text);
}

QModelIndex FindCategory(const QAbstractItemModel* model, qint64 cateId)
{
    if (!model || model->rowCount() == 0)
        return QModelIndex();
    const QModelIndexList hits =
        model->match(model->index(0, 0), kCateIdRole, QVariant::fromValue(static_cast<qulonglong>(cateId)), 1,
                     Qt::MatchExactly | Qt::MatchRecursive | Qt::MatchWrap);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

QString CategoryName(const QAbstractItemModel* model, qint64 cateId)
{
    const QModelIndex index = FindCategory(model, cateId);
    return index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
}

qint64 TopCategoryId(const QAbstractItemModel* model)
{
    if (!model || model->rowCount() == 0)
        return 0;
    return model->index(0, 0).data(kCateIdRole).toLongLong();
}

} // namespace TransferUi
