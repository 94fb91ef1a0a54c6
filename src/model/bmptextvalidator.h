#pragma once
// The one validator shared by every name, title and search field: it refuses
// characters outside the Basic Multilingual Plane, which the platform's
// database cannot store.

#include <QString>
#include <QStringList>

class QValidator;

class BmpTextValidator
{
public:
    // Created on first use, lives until the process ends; safe from any thread.
    static const QValidator* Instance();
    // True when the validator accepts the whole text.
    static bool IsValid(const QString& text);
    // True when every text is valid.
    static bool AreValid(const QStringList& texts);
};
