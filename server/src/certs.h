#pragma once
// The server's private certificate authority and its loopback certificate.

#include <QString>

namespace orvsrv {

struct CertPaths
{
    QString caFile;   // PEM of the CA that clients trust
    QString certFile; // server certificate chain (leaf, then CA)
    QString keyFile;  // server private key
};

// Creates the CA and a certificate for 127.0.0.1, ::1 and localhost in dir on
// first use; reuses them while they are readable and not about to expire.
// A `fault` ("wrong-host", "expired", "unknown-ca") makes a fresh, broken
// server certificate for TLS tests.
bool EnsureCertificates(const QString& dir, CertPaths* paths, QString* error,
                        const QString& fault = QString());

} // namespace orvsrv
