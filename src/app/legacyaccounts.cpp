#include "app/legacyaccounts.h"

#include <QDebug>
#include <QFile>

#include <jansson.h>
#include <openssl/evp.h>

#include <memory>

namespace {

struct JsonDeleter
{
    void operator()(json_t* json) const { json_decref(json); }
};
using JsonPtr = std::unique_ptr<json_t, JsonDeleter>;

struct CipherCtxDeleter
{
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter>;

// Key and IV of the old "info" file, put together at run time so that neither
// appears as one string in the binary.
QByteArray LegacyKey()
{
    static const char a[] = "0rv@n3";
    static const char b[] = "-l3g4cy";
    static const char c[] = "-k3";
    return QByteArray(a) + b + c;
}

QByteArray LegacyIv()
{
    static const char a[] = "1nf0";
    static const char b[] = "-v3ct0r";
    static const char c[] = "-iv.1";
    return QByteArray(a) + b + c;
}

QByteArray AesCbc(const QByteArray& input, bool encrypt)
{
    const QByteArray key = LegacyKey();
    const QByteArray iv = LegacyIv();
    if (key.size() != 16 || iv.size() != 16)
        return QByteArray();
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return QByteArray();
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* v = reinterpret_cast<const unsigned char*>(iv.constData());
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, k, v, encrypt ? 1 : 0) != 1)
        return QByteArray();
    QByteArray out(input.size() + 16, Qt::Uninitialized);
    int len = 0;
    int total = 0;
    if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &len,
                         reinterpret_cast<const unsigned char*>(input.constData()), input.size()) != 1)
        return QByteArray();
    total = len;
    if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + total, &len) != 1)
        return QByteArray();
    total += len;
    out.resize(total);
    return out;
}

bool ReadWhole(const QString& path, QByteArray* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    file.close();
    return true;
}

// Stores the accounts of one legacy file and deletes the file when that worked.
int ImportFile(const QString& path, const QByteArray& json, const LegacyAccountStore& store)
{
    bool parsed = false;
    const QList<LegacyAccount> accounts = ParseLegacyAccounts(json, &parsed);
    int stored = 0;
    bool allStored = true;
    for (const LegacyAccount& a : accounts) {
        if (store && store(a.account, a.password, a.rememberPassword)) {
            ++stored;
        } else {
            allStored = false;
        }
    }
    if (!parsed)
        qWarning() << "legacy account file unreadable, dropped:" << path;
    if (allStored) {
        QFile::remove(path);
    } else {
        qWarning() << "legacy accounts not stored, file kept:" << path;
    }
    return stored;
}

} // namespace

QList<LegacyAccount> ParseLegacyAccounts(const QByteArray& utf8Json, bool* ok)
{
    QList<LegacyAccount> accounts;
    if (ok)
        *ok = false;
    json_error_t error;
    JsonPtr root(json_loadb(utf8Json.constData(), static_cast<size_t>(utf8Json.size()),
                            JSON_REJECT_DUPLICATES, &error));
    if (!root || !json_is_array(root.get()))
        return accounts;
    if (ok)
        *ok = true;
    size_t index = 0;
    json_t* item = nullptr;
    json_array_foreach(root.get(), index, item)
    {
        if (!json_is_object(item))
            continue;
        LegacyAccount a;
        a.account = QString::fromUtf8(json_string_value(json_object_get(item, "usrName")));
        a.password = QString::fromUtf8(json_string_value(json_object_get(item, "usrPwd")));
        a.rememberPassword = json_is_true(json_object_get(item, "isRemberPwd"));
        if (a.account.isEmpty())
            continue;
        accounts << a;
    }
    return accounts;
}

int ImportLegacyAccounts(const QString& dir, const LegacyAccountStore& store)
{
    int stored = 0;
    const QString usersPath = dir + QStringLiteral("/users.json");
    QByteArray content;
    if (ReadWhole(usersPath, &content))
        stored += ImportFile(usersPath, QByteArray::fromBase64(content), store);

    const QString infoPath = dir + QStringLiteral("/info");
    if (ReadWhole(infoPath, &content))
        stored += ImportFile(infoPath, QByteArray::fromBase64(DecryptLegacyInfo(content)), store);
    return stored;
}

QByteArray EncryptLegacyInfo(const QByteArray& plain)
{
    return AesCbc(plain, true);
}

QByteArray DecryptLegacyInfo(const QByteArray& cipher)
{
    return AesCbc(cipher, false);
}
