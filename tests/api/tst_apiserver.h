#pragma once
#include "apitestutil.h"

#include <orvsrv/platform_server.h>

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class ApiServerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void login();
    void categories();
    void videos();
    void coverUploadHasNoStall();
    void transportStatusAndFaults();
    void certificateMismatch();
    void abortWhileBodyArrives();
    void multiDownloadBatch();
    void multiDownloadFailuresAndSkips();
    void multiDownloadAbortAndEmpty();
    void updateCheck();
    void updateCheckTimeout();
    void proxyTinyproxy();

private:
    void PointAtServer();
    bool LoginDemo(const char* email);
    QList<QUrl> ThumbnailUrls(int count);

    QTemporaryDir serverDir_;
    std::unique_ptr<orvsrv::PlatformServer> server_;
    std::unique_ptr<ScopedConfig> config_;
    quint64 root_ = 0; // the demo account's top category
};
