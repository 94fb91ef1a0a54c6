#include "serverfixture.h"

namespace orvtest {

orvsrv::ServerOptions ServerFixture::DemoOptions()
{
    orvsrv::ServerOptions o;
    o.seed = QStringLiteral("demo");
    return o;
}

ServerFixture::ServerFixture(orvsrv::ServerOptions options) : m_options(std::move(options))
{
    m_options.dataDir = m_dir.path();
    m_options.host = QStringLiteral("127.0.0.1");
    m_options.port = 0;
    m_server = std::make_unique<orvsrv::PlatformServer>(m_options);
}

ServerFixture::~ServerFixture()
{
    Stop();
}

bool ServerFixture::Start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory");
        return false;
    }
    return m_server->Start(&m_error);
}

void ServerFixture::Stop()
{
    if (m_server)
        m_server->Stop();
}

QString ServerFixture::BaseUrl() const
{
    return m_server->BaseUrl();
}
QString ServerFixture::CaFile() const
{
    return m_server->CaFile();
}
QString ServerFixture::DataDir() const
{
    return m_server->DataDir();
}

} // namespace orvtest
