#include "certs.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace orvsrv {
namespace {

struct PkeyFree
{
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free
{
    void operator()(X509* p) const { X509_free(p); }
};
struct BioFree
{
    void operator()(BIO* p) const { BIO_free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

constexpr long kValidDays = 825;

PkeyPtr NewKey()
{
    return PkeyPtr(EVP_EC_gen("P-256"));
}

bool AddExt(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

struct LeafShape
{
    const char* san = "IP:127.0.0.1,IP:::1,DNS:localhost";
    long notBefore = -3600;
    long notAfter = kValidDays * 24 * 3600;
};

X509Ptr NewCert(EVP_PKEY* key, const char* cn, X509* issuer, EVP_PKEY* issuerKey, bool ca,
                const LeafShape& shape = LeafShape())
{
    X509Ptr cert(X509_new());
    if (!cert)
        return nullptr;
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), shape.notBefore);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), shape.notAfter);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Orvane local platform"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn), -1, -1,
                               0);
    X509* iss = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(iss));
    bool ok = AddExt(cert.get(), iss, NID_subject_key_identifier, "hash");
    if (ca) {
        ok = ok && AddExt(cert.get(), iss, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
        ok = ok && AddExt(cert.get(), iss, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && AddExt(cert.get(), iss, NID_authority_key_identifier, "keyid:always");
        ok = ok && AddExt(cert.get(), iss, NID_basic_constraints, "critical,CA:FALSE");
        ok = ok && AddExt(cert.get(), iss, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        ok = ok && AddExt(cert.get(), iss, NID_ext_key_usage, "serverAuth");
        ok = ok && AddExt(cert.get(), iss, NID_subject_alt_name, shape.san);
    }
    if (!ok || X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0)
        return nullptr;
    return cert;
}

QByteArray CertPem(X509* cert)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), cert);
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(n));
}

QByteArray KeyPem(EVP_PKEY* key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(n));
}

bool WriteFile(const QString& path, const QByteArray& data, bool secret = false)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (secret)
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(data);
    return f.commit();
}

// The existing server certificate is usable when it parses and stays valid
// for at least another day.
bool Reusable(const CertPaths& p)
{
    if (!QFile::exists(p.caFile) || !QFile::exists(p.keyFile))
        return false;
    QFile f(p.certFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pem = f.readAll();
    BioPtr bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!cert)
        return false;
    return ASN1_TIME_cmp_time_t(X509_get0_notAfter(cert.get()), time(nullptr) + 86400) > 0;
}

} // namespace

bool EnsureCertificates(const QString& dir, CertPaths* paths, QString* error, const QString& fault)
{
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    paths->caFile = QDir(dir).filePath(QStringLiteral("ca.pem"));
    paths->certFile = QDir(dir).filePath(QStringLiteral("server.pem"));
    paths->keyFile = QDir(dir).filePath(QStringLiteral("server.key"));
    if (fault.isEmpty() && Reusable(*paths))
        return true;

    PkeyPtr caKey = NewKey();
    PkeyPtr srvKey = NewKey();
    if (!caKey || !srvKey) {
        if (error)
            *error = QStringLiteral("key generation failed");
        return false;
    }
    X509Ptr ca = NewCert(caKey.get(), "Orvane Local Platform CA", nullptr, nullptr, true);
    LeafShape shape;
    if (fault == QLatin1String("wrong-host")) {
        shape.san = "DNS:elsewhere.invalid";
    } else if (fault == QLatin1String("expired")) {
        shape.notBefore = -10L * 24 * 3600;
        shape.notAfter = -24L * 3600;
    } else if (!fault.isEmpty() && fault != QLatin1String("unknown-ca")) {
        if (error)
            *error = QStringLiteral("unknown TLS fault %1").arg(fault);
        return false;
    }
    // "unknown-ca": the leaf comes from a CA that nobody is told to trust.
    PkeyPtr strangerKey = fault == QLatin1String("unknown-ca") ? NewKey() : nullptr;
    X509Ptr stranger =
        strangerKey ? NewCert(strangerKey.get(), "Stranger CA", nullptr, nullptr, true) : nullptr;
    X509* signer = stranger ? stranger.get() : ca.get();
    EVP_PKEY* signerKey = stranger ? strangerKey.get() : caKey.get();
    X509Ptr srv = ca ? NewCert(srvKey.get(), "localhost", signer, signerKey, false, shape) : nullptr;
    if (!srv) {
        if (error)
            *error = QStringLiteral("certificate creation failed");
        return false;
    }
    const QByteArray caPem = CertPem(ca.get());
    if (!WriteFile(QDir(dir).filePath(QStringLiteral("ca.key")), KeyPem(caKey.get()), true) ||
        !WriteFile(paths->keyFile, KeyPem(srvKey.get()), true) ||
        !WriteFile(paths->certFile, CertPem(srv.get()) + CertPem(signer)) ||
        !WriteFile(paths->caFile, caPem, false)) {
        if (error)
            *error = QStringLiteral("cannot write the certificates into %1").arg(dir);
        return false;
    }
    return true;
}

} // namespace orvsrv
