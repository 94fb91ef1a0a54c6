#include "storage/aescipher.h"

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr int kAesBlock = 16;

struct CipherCtxFree
{
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// One pass of EVP with its own PKCS#7 handling, which is byte-for-byte the
// padding the stored data uses; the final step rejects malformed padding.
bool RunCipher(bool encrypt, const QByteArray& in, const QByteArray& key, const QByteArray& iv,
               QByteArray* out)
{
    out->clear();
    if (key.size() != kAesBlock || iv.size() != kAesBlock)
        return false;
    if (!encrypt && (in.isEmpty() || in.size() % kAesBlock != 0))
        return false;

    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return false;
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* v = reinterpret_cast<const unsigned char*>(iv.constData());
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, k, v, encrypt ? 1 : 0) != 1)
        return false;
    if (EVP_CIPHER_CTX_set_padding(ctx.get(), 1) != 1)
        return false;

    QByteArray buffer(in.size() + kAesBlock, Qt::Uninitialized);
    auto* dst = reinterpret_cast<unsigned char*>(buffer.data());
    int written = 0;
    if (!in.isEmpty() &&
        EVP_CipherUpdate(ctx.get(), dst, &written, reinterpret_cast<const unsigned char*>(in.constData()),
                         in.size()) != 1)
        return false;
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), dst + written, &tail) != 1)
        return false;
    buffer.truncate(written + tail);
    *out = buffer;
    return true;
}

} // namespace

QByteArray AesCbcEncrypt(const QByteArray& data, const QByteArray& key, const QByteArray& iv)
{
    QByteArray out;
    RunCipher(true, data, key, iv, &out);
    return out;
}

QByteArray AesCbcDecrypt(const QByteArray& data, const QByteArray& key, const QByteArray& iv, bool* ok)
{
    QByteArray out;
    const bool good = RunCipher(false, data, key, iv, &out);
    if (ok)
        *ok = good;
    return good ? out : QByteArray();
}
