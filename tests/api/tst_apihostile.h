#pragma once
// The web API client and the upload library against a platform server that
// answers garbage or presents a broken certificate.

#include <orvsrv/platform_server.h>

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class ScopedConfig;

class ApiHostileTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void garbageAnswers_data();
    void garbageAnswers();
    void tlsRefusals_data();
    void tlsRefusals();

private:
    QTemporaryDir dir_;
    std::unique_ptr<orvsrv::PlatformServer> server_;
    std::unique_ptr<ScopedConfig> config_;
};
