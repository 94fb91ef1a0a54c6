// The stored-password and appSecret decryption: Base64 text, then
// AES-128-CBC with PKCS#7 padding under a key and IV taken from the input.

#include "fuzz.h"

#include "app/legacyaccounts.h"
#include "storage/aescipher.h"
#include "storage/dbmanager.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    const QByteArray in(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (in.size() >= 32) {
        bool ok = false;
        AesCbcDecrypt(in.mid(32), in.left(16), in.mid(16, 16), &ok);
    }
    DBManager::DecryptPassword(QString::fromUtf8(in));
    DecryptLegacyInfo(in);
    return 0;
}
