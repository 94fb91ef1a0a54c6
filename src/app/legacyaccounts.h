#pragma once
// Remembered accounts of older installations: "users.json" (Base64 of a JSON
// array) and "info" (the same, AES-128-CBC encrypted) beside the executable.
// They are imported once and then deleted.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct LegacyAccount
{
    QString account;
    QString password;
    bool rememberPassword = false;
};

// Stores one account; false when it could not be stored.
using LegacyAccountStore =
    std::function<bool(const QString& account, const QString& password, bool rememberPassword)>;

// The accounts of a JSON array of {"usrName", "usrPwd", "isRemberPwd"}
// objects; ok is false when the text is not such an array.
QList<LegacyAccount> ParseLegacyAccounts(const QByteArray& utf8Json, bool* ok = nullptr);

// Imports "users.json" and "info" from dir. A file is deleted only once all of
// its accounts were stored, so a store that is not ready loses nothing; files
// that hold no accounts at all are deleted. Returns the number of accounts stored.
int ImportLegacyAccounts(const QString& dir, const LegacyAccountStore& store);

// The cipher of the "info" file (AES-128-CBC, PKCS#7 padding); decryption
// yields an empty array for a damaged file.
QByteArray EncryptLegacyInfo(const QByteArray& plain);
QByteArray DecryptLegacyInfo(const QByteArray& cipher);
