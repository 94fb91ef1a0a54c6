#pragma once
// AES-128-CBC with PKCS#7 padding, shared by the password store and the login
// reply (appSecret). Both functions are reentrant.

#include <QByteArray>

// Encrypts `data` with a 16-byte key and a 16-byte initialisation vector. The
// result is padded to the next multiple of 16 (a whole block of padding when
// the length already is one). Returns an empty array when the key or the vector
// has the wrong size or the cipher fails.
QByteArray AesCbcEncrypt(const QByteArray& data, const QByteArray& key, const QByteArray& iv);

// Decrypts `data` and strips its padding. Only well-formed input is accepted:
// a non-zero multiple of 16 bytes whose last block ends in valid PKCS#7 padding
// (1 to 16 bytes, all equal to the count). Anything else yields an empty array
// and, when `ok` is given, false in it, so that a failure can be told apart
// from a plaintext that is itself empty.
QByteArray AesCbcDecrypt(const QByteArray& data, const QByteArray& key, const QByteArray& iv,
                         bool* ok = nullptr);
