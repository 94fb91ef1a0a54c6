#include "model/bmptextvalidator.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QThread>

namespace {
QRegularExpressionValidator* Create()
{
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x{0000}-\\x{ffff}]*")));
    // Widgets use it on the interface thread even if a worker created it.
    if (QCoreApplication* app = QCoreApplication::instance())
        if (validator->thread() != app->thread())
            validator->moveToThread(app->thread());
    return validator;
}
} // namespace

const QValidator* BmpTextValidator::Instance()
{
    static QRegularExpressionValidator* const validator = Create();
    return validator;
}

bool BmpTextValidator::IsValid(const QString& text)
{
    QString copy = text;
    int pos = 0;
    return Instance()->validate(copy, pos) == QValidator::Acceptable;
}

bool BmpTextValidator::AreValid(const QStringList& texts)
{
    for (const QString& text : texts)
        if (!IsValid(text))
            return false;
    return true;
}
