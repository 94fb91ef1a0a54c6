#pragma once
// A seeded demo platform server in a temporary directory on an ephemeral
// loopback port, for tests that talk to the platform over real HTTPS.
//
//   orvtest::ServerFixture server;
//   QVERIFY2(server.Start(), qPrintable(server.Error()));
//   ... server.BaseUrl(), server.CaFile(), server->AddFault(...)

#include "orvsrv/platform_server.h"

#include <QTemporaryDir>

#include <memory>

namespace orvtest {

class ServerFixture
{
public:
    // options.dataDir is replaced by a temporary directory; the demo seed is
    // used unless options.seed says otherwise.
    explicit ServerFixture(orvsrv::ServerOptions options = DemoOptions());
    ~ServerFixture();

    static orvsrv::ServerOptions DemoOptions();

    bool Start();
    void Stop();
    QString Error() const { return m_error; }

    QString BaseUrl() const;
    QString CaFile() const;
    QString DataDir() const;
    orvsrv::PlatformServer& Server() { return *m_server; }
    orvsrv::PlatformServer* operator->() { return m_server.get(); }

private:
    QTemporaryDir m_dir;
    orvsrv::ServerOptions m_options;
    std::unique_ptr<orvsrv::PlatformServer> m_server;
    QString m_error;
};

} // namespace orvtest
